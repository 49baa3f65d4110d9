// The record-lock idiom over the store's retrying append and lock.
#include "ui/record_lock_idiom.h"

namespace canalix::ui {
namespace {

constexpr int kRetrySeconds = 5;
constexpr int kToneMilliseconds = 110;  // two clock ticks of 1/18.2 s

void reportFailure(UiPort& ui, const LockRequest& request) {
  ui.tone(400, kToneMilliseconds);
  ui.tone(200, kToneMilliseconds);
  if (request.box == LockBox::kStop) {
    ui.stop(request.message);
  } else {
    ui.info(request.message);
  }
}

}  // namespace

bool writeRecord(UiPort& ui, store::WorkArea& area, const std::function<void(store::WorkArea&)>& assign,
                 const LockRequest& request) {
  // A failed append is the same failure as a failed lock; the area stays on
  // the record it was on, which nothing touches.
  if (request.append && !store::ADDREC(area, kRetrySeconds, request.sleep)) {
    reportFailure(ui, request);
    return false;
  }
  if (!store::RECLOCK(area, kRetrySeconds, request.sleep)) {
    reportFailure(ui, request);
    return false;
  }
  try {
    assign(area);
  } catch (...) {
    area.DBRUNLOCK();
    throw;
  }
  area.DBRUNLOCK();
  area.DBCOMMIT();
  return true;
}

}  // namespace canalix::ui
