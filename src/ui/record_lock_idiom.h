// The record-lock idiom every write of a record follows, in one call:
//
//   1. a new record is appended first (ADDREC with 5 seconds; the engine locks it);
//   2. the record is locked (RECLOCK with 5 seconds);
//   3. when either fails: a 400 Hz and then a 200 Hz tone, the caller's
//      message, and nothing written;
//   4. otherwise the caller's fields are assigned, the record locks released
//      (which writes the record and its keys) and the table committed.
#pragma once

#include <functional>
#include <string_view>

#include "store/retry_locks.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::ui {

inline constexpr std::string_view kLockMessage =
    "No es posible la modificación;inténtelo más tarde, por favor.";
// The usual message of a write that appends.
inline constexpr std::string_view kAppendMessage =
    "No es posible añadir el registro;inténtelo más tarde, por favor.";

enum class LockBox { kInfo, kStop };

struct LockRequest {
  bool append = false;                      // a new record: appended before it is written
  std::string_view message = kLockMessage;  // shown when the append or the lock fails
  LockBox box = LockBox::kInfo;
  store::Sleeper sleep = {};  // the retries' waits; empty sleeps for real
};

// Writes one record of `area` under the idiom: the current record, or a new
// one with `request.append`. `assign` puts the fields. True when written; on
// false the tones and the message were given and the record that was current
// is unchanged (after a failed append nothing was added).
// Requires: `area` open for writing. Throws EngineError from the engine or
// from `assign`; the record locks are then released as after a write, so
// whatever of the assignment the engine kept is written.
bool writeRecord(UiPort& ui, store::WorkArea& area, const std::function<void(store::WorkArea&)>& assign,
                 const LockRequest& request = {});

}  // namespace canalix::ui
