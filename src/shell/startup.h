// The start-up of the program as far as it touches no window: the global
// settings and the preparation of the data directory (create the missing
// tables, handle the first-run flag of CONTROL, open every table).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::shell {

inline constexpr std::string_view kFirstRunTitle = " Información importante de CANALIX";

// Date format "dd-mm-yyyy", epoch 1935, at least 60 file handles. Deleted
// records are hidden by the engine itself.
void makeGlobalSettings();

// The steps of start-up that later work provides. Each default stands in for
// it, as named, until it exists.
struct DataDirectorySteps {
  // INDICES in automatic mode, which ends with every table open. The stand-in
  // only opens every table (openTablesShared): there is no reorganisation yet.
  std::function<void(store::Workspace&, ui::UiPort&)> reorganiseAutomatically;
  // INDEXAFI, before the tables are opened. The stand-in does nothing: there
  // are no orders yet.
  std::function<void(store::Workspace&)> buildMissingIndexes;
};
DataDirectorySteps standInDataDirectorySteps();

struct PreparedData {
  std::vector<std::string> created;  // table files CREAFI created
  bool firstRun = false;             // the first-run flag was found set
};

// Creates every missing table (CREAFI), then either runs the automatic
// reorganisation and shows the first-run box (first-run flag set, and cleared
// here) or builds the missing index files and opens every table. Every table
// is open shared on return. Throws EngineError.
PreparedData prepareDataDirectory(store::Workspace& ws, ui::UiPort& ui,
                                  const DataDirectorySteps& steps = standInDataDirectorySteps());

// Reads ControlCl6 from CONTROL opened exclusively and, when it is set, clears
// it. True when it was set. A CONTROL held by another copy starting at the
// same moment is retried for 5 seconds and then read as not set: that copy
// handles the first run.
bool takeFirstRunFlag(store::Workspace& ws);

// The text of the first-run box, with its CR LF line breaks and the version tag.
std::string firstRunText();

}  // namespace canalix::shell
