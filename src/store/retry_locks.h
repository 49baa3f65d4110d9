// The retrying forms of the engine's quiet operations: a record lock, an
// append, a file lock and an open, each tried again every half second while
// another copy of the program is in the way.
//
// Timing, for `seconds` > 0: one attempt at once; while time is left, another
// attempt, and when that one fails a wait of half a second taken off the time
// left. Five seconds give eleven attempts (two at once, then one every half
// second up to 4.5 s) and a give-up at 5 s. FILLOCK waits before each retry
// instead, which gives the same count. With 0 seconds the retries never end.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "store/table_engine.h"

namespace canalix::store {

// How the retries wait; empty means sleeping for real. Tests give one that counts.
using Sleeper = std::function<void(std::chrono::milliseconds)>;

// Locks the current record of `area`. True when locked.
bool RECLOCK(WorkArea& area, int seconds = 2, const Sleeper& sleep = {});

// Appends a blank record to `area` and stands on it, locked by the engine.
// An attempt succeeds when the append leaves the network-error flag clear;
// on giving up nothing was added and the area keeps its position.
bool ADDREC(WorkArea& area, int seconds, const Sleeper& sleep = {});

// Locks the whole table of `area`. True when locked.
bool FILLOCK(WorkArea& area, int seconds, const Sleeper& sleep = {});

// Opens `table`.DBF of the data directory in a new area under the alias
// `table`, exclusive or shared. True when open (the area is then current);
// false with NETERR() set when another copy's use kept it closed all along.
// Throws EngineError as DBUSEAREA does.
bool NETUSE(Workspace& ws, const std::string& table, bool exclusive, int seconds, const Sleeper& sleep = {});

}  // namespace canalix::store
