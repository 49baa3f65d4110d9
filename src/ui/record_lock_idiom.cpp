// The record-lock idiom: RECLOCK's retries and the failure's tones and message.
#include "ui/record_lock_idiom.h"

#include <thread>

namespace canalix::ui {
namespace {

constexpr std::chrono::milliseconds kRetryWait{500};
constexpr int kToneMilliseconds = 110;  // two clock ticks of 1/18.2 s

void sleepFor(const Sleeper& sleep, std::chrono::milliseconds wait) {
  if (sleep) {
    sleep(wait);
  } else {
    std::this_thread::sleep_for(wait);
  }
}

}  // namespace

bool RECLOCK(store::WorkArea& area, int seconds, const Sleeper& sleep) {
  if (area.RLOCK()) return true;
  const bool forever = seconds == 0;
  std::chrono::milliseconds left = std::chrono::seconds(seconds);
  while (forever || left.count() > 0) {
    if (area.RLOCK()) return true;
    sleepFor(sleep, kRetryWait);
    left -= kRetryWait;
  }
  return false;
}

void reportLockFailure(UiPort& ui, std::string_view message, LockBox box) {
  ui.tone(400, kToneMilliseconds);
  ui.tone(200, kToneMilliseconds);
  if (box == LockBox::kStop) {
    ui.stop(message);
  } else {
    ui.info(message);
  }
}

bool lockForWrite(UiPort& ui, store::WorkArea& area, std::string_view message, LockBox box,
                  const Sleeper& sleep) {
  if (RECLOCK(area, 5, sleep)) return true;
  reportLockFailure(ui, message, box);
  return false;
}

void releaseAndCommit(store::WorkArea& area) {
  area.DBRUNLOCK();
  area.DBCOMMIT();
}

}  // namespace canalix::ui
