// RECLOCK, ADDREC, FILLOCK and NETUSE over one retry loop.
#include "store/retry_locks.h"

#include <thread>

namespace canalix::store {
namespace {

constexpr std::chrono::milliseconds kRetryWait{500};

void wait(const Sleeper& sleep) {
  if (sleep) {
    sleep(kRetryWait);
  } else {
    std::this_thread::sleep_for(kRetryWait);
  }
}

// Whether the wait of a round comes after its failed attempt (RECLOCK, ADDREC,
// NETUSE: the first retry follows the first attempt at once) or before it (FILLOCK).
enum class WaitFirst : bool { kNo, kYes };

bool retry(int seconds, const Sleeper& sleep, WaitFirst waitFirst, const std::function<bool()>& attempt) {
  if (attempt()) return true;
  const bool forever = seconds == 0;
  std::chrono::milliseconds left = std::chrono::seconds(seconds);
  while (forever || left.count() > 0) {
    if (waitFirst == WaitFirst::kYes) {
      wait(sleep);
      left -= kRetryWait;
      if (attempt()) return true;
    } else {
      if (attempt()) return true;
      wait(sleep);
      left -= kRetryWait;
    }
  }
  return false;
}

}  // namespace

bool RECLOCK(WorkArea& area, int seconds, const Sleeper& sleep) {
  return retry(seconds, sleep, WaitFirst::kNo, [&] { return area.RLOCK(); });
}

bool ADDREC(WorkArea& area, int seconds, const Sleeper& sleep) {
  return retry(seconds, sleep, WaitFirst::kNo, [&] {
    area.DBAPPEND();
    return !area.workspace().NETERR();
  });
}

bool FILLOCK(WorkArea& area, int seconds, const Sleeper& sleep) {
  return retry(seconds, sleep, WaitFirst::kYes, [&] { return area.FLOCK(); });
}

bool NETUSE(Workspace& ws, const std::string& table, bool exclusive, int seconds, const Sleeper& sleep) {
  return retry(seconds, sleep, WaitFirst::kNo, [&] {
    ws.DBUSEAREA(true, table + ".DBF", table, !exclusive);
    return !ws.NETERR();
  });
}

}  // namespace canalix::store
