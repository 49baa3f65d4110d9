// The start-up of the program as far as it touches no window: the global
// settings and the preparation of the data directory (its lock, the missing
// tables, the first-run flag of CONTROL, the index files, every table open).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "store/data_dir_lock.h"
#include "store/reorganisation.h"
#include "store/retry_locks.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::shell {

inline constexpr std::string_view kFirstRunTitle = " Información importante de CANALIX";
inline constexpr std::string_view kWaitNotice =
    "Otro puesto está reorganizando los archivos de CANALIX; espere, por favor.";
inline constexpr std::string_view kWaitQuestion =
    "Otro puesto sigue reorganizando los archivos de CANALIX.\r\n¿Desea seguir esperando?";
inline constexpr std::string_view kReorgPostponed =
    "La reorganización automática se hará cuando CANALIX se abra sin otros puestos trabajando.";

// Date format "dd-mm-yyyy", epoch 1935, at least 60 file handles. Deleted
// records are hidden by the engine itself.
void makeGlobalSettings();

// How start-up waits and reorganises; the program gives the dialog, tests
// their own.
struct StartupSteps {
  // The reorganisation in automatic mode (INDICES). The default runs
  // INDEXAYA with the UI port's progress meter.
  std::function<store::ReorgResult(store::Workspace&, store::DataDirLock&, ui::UiPort&)> reorganiseAutomatically;
  // Waits between attempts at the data directory's lock.
  store::Sleeper sleep;
};
StartupSteps defaultStartupSteps();

struct PreparedData {
  bool ready = false;                // false: the user gave up waiting; the program ends
  std::vector<std::string> created;  // table files CREAFI created
  bool firstRun = false;             // the first-run flag was found set
  bool reorganised = false;          // the automatic reorganisation ran
};

// Takes the data directory's lock shared, waiting with a notice while another
// copy reorganises (asking every minute whether to go on waiting); creates
// every missing table (CREAFI); then, when the first-run flag is set, runs the
// automatic reorganisation, clears the flag and shows the first-run box, and
// otherwise builds the missing index files (INDEXAFI) and opens every table
// (ABREFI). A refused reorganisation keeps the flag for a later start. Every
// table is open shared on return when ready. Throws EngineError.
PreparedData prepareDataDirectory(store::Workspace& ws, store::DataDirLock& lock, ui::UiPort& ui,
                                  const StartupSteps& steps = defaultStartupSteps());

// Reads ControlCl6 from CONTROL. A CONTROL held by another copy starting at
// the same moment is retried for 5 seconds and then read as not set.
bool readFirstRunFlag(store::Workspace& ws);
// Clears ControlCl6 in CONTROL opened exclusively, retrying for 5 seconds.
void clearFirstRunFlag(store::Workspace& ws);

// The text of the first-run box, with its CR LF line breaks and the version tag.
std::string firstRunText();

}  // namespace canalix::shell
