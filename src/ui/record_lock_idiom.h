// The record-lock idiom every write of a record follows, with its retrying
// lock (RECLOCK), its two tones and its message through the UI port.
//
//   1. a new record is appended first (the engine locks it);
//   2. lockForWrite: RECLOCK with 5 seconds;
//   3. on failure: a 400 Hz and a 200 Hz tone, then the caller's message;
//      the caller writes nothing;
//   4. on success the caller assigns its fields and calls releaseAndCommit.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>

#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::ui {

inline constexpr std::string_view kLockMessage =
    "No es posible la modificación;inténtelo más tarde, por favor.";
inline constexpr std::string_view kAppendMessage =
    "No es posible añadir el registro;inténtelo más tarde, por favor.";

// How the idiom waits between attempts; tests give one that only counts.
using Sleeper = std::function<void(std::chrono::milliseconds)>;

// RECLOCK: locks the current record of `area`, retrying for `seconds`: two
// attempts at once, then one every half second while time is left (11 attempts
// for 5 seconds); 0 seconds retries without end. True when locked.
bool RECLOCK(store::WorkArea& area, int seconds = 2, const Sleeper& sleep = {});

enum class LockBox { kInfo, kStop };

// Steps 2 and 3 of the idiom. True when the record is locked and may be written.
bool lockForWrite(UiPort& ui, store::WorkArea& area, std::string_view message = kLockMessage,
                  LockBox box = LockBox::kInfo, const Sleeper& sleep = {});

// The idiom's failure report alone (tones and message), for a failed append.
void reportLockFailure(UiPort& ui, std::string_view message, LockBox box = LockBox::kInfo);

// Step 4: releases the record locks (writing the record) and commits.
void releaseAndCommit(store::WorkArea& area);

}  // namespace canalix::ui
