// The reorganisation (INDEXAYA): every table of the data directory rebuilt
// without its deleted records, in the catalogue structure, with every index
// file built afresh, and the access log thinned to the current year.
//
// It first takes the whole data set for itself: the data directory's lock
// exclusively, then every table opened exclusively. When any of it is refused
// nothing is changed. Each table is then rebuilt beside itself, in TEMP.DBF
// and TEMP.CDX, and put in place by renaming, so that at every moment the
// table's name holds either the old table or the complete new one. A table
// whose index file is missing after an interruption gets it at the next start.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "store/data_dir_lock.h"
#include "store/julian.h"
#include "store/table_engine.h"

namespace canalix::store {

inline constexpr std::string_view kReorgWorkTable = "TEMP";
inline constexpr std::string_view kReorgFinished = "PROCESO FINALIZADO";

// What the reorganisation dialog shows: the bar's percentage and the text.
struct ReorgProgress {
  int percent = 0;
  std::string text;
};

struct ReorgOptions {
  Date today;  // the day the access log is thinned for
  // Called whenever the percentage or the text changes.
  std::function<void(const ReorgProgress&)> progress;
};

struct ReorgResult {
  bool done = false;
  bool otherCopies = false;  // refused: another copy of the program is running
  std::string refusedTable;  // refused: the table another copy holds
};

// INDEXAYA. Closes every work area, reorganises, and ends with every table
// open shared (INDEXAFI and ABREFI), also when refused. `lock` is this
// copy's data-directory lock; it is held shared again on return.
// Throws EngineError when a table cannot be read or written; the tables not
// yet rebuilt are then left as they were and none is left open.
ReorgResult INDEXAYA(Workspace& ws, DataDirLock& lock, const ReorgOptions& options);

// The message of a refused reorganisation, naming what was refused.
std::string refusalMessage(const ReorgResult& result);

// True when an access row dated `fecha` survives a reorganisation run on
// `today`: its year is not earlier than the year of five days before today.
bool accessRowKept(Date fecha, Date today);

}  // namespace canalix::store
