// The start-up steps that need no window: global settings, CREAFI, the
// first-run flag of CONTROL and the opening of the tables.
#include "shell/startup.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "output/format_settings.h"
#include "shell/open_tables.h"
#include "shell/session.h"
#include "store/creafi.h"

namespace canalix::shell {
namespace {

constexpr rlim_t kFileHandles = 60;

void askForFileHandles() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kFileHandles) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? kFileHandles : std::min(kFileHandles, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

// Opens CONTROL exclusively, retrying for 5 seconds as another copy may be
// reading it at the same moment of its own start.
bool openControlExclusive(store::Workspace& ws) {
  for (int attempt = 0; attempt < 11; ++attempt) {
    if (ws.DBUSEAREA(true, "CONTROL.DBF", "CONTROL", false)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return false;
}

}  // namespace

void makeGlobalSettings() {
  output::FormatSettings settings;
  settings.dateFormat = "dd-mm-yyyy";
  settings.century = true;
  settings.epoch = 1935;
  output::setFormatSettings(settings);
  askForFileHandles();
}

DataDirectorySteps standInDataDirectorySteps() {
  return DataDirectorySteps{
      [](store::Workspace& ws, ui::UiPort&) { openTablesShared(ws); },
      [](store::Workspace&) {},
  };
}

bool takeFirstRunFlag(store::Workspace& ws) {
  if (!openControlExclusive(ws)) return false;
  store::WorkArea& control = ws.area("CONTROL");
  control.DBGOTOP();
  const bool set = !control.Eof() && control.getLogical("ControlCl6");
  if (set) {
    control.put("ControlCl6", false);
    control.DBCOMMIT();
  }
  control.DBCLOSEAREA();
  return set;
}

std::string firstRunText() {
  const std::string crlf = "\r\n";
  return "   Por favor, una vez entre en el programa :" + crlf + crlf + crlf +
         "   Pulse F1 para obtener AYUDA si ha instalado CANALIX por primera vez." + crlf + crlf +
         "   Si ha actualizado CANALIX desde una versión anterior, consulte la sección de la AYUDA" + crlf +
         "   'Novedades de las nuevas versiones y actualizaciones', para conocer lo nuevo de la versión " +
         versionTag();
}

PreparedData prepareDataDirectory(store::Workspace& ws, ui::UiPort& ui, const DataDirectorySteps& steps) {
  PreparedData prepared;
  prepared.created = store::CREAFI(ws);
  prepared.firstRun = takeFirstRunFlag(ws);
  if (prepared.firstRun) {
    steps.reorganiseAutomatically(ws, ui);
    ui.info(firstRunText(), kFirstRunTitle);
  } else {
    steps.buildMissingIndexes(ws);
    openTablesShared(ws);
  }
  return prepared;
}

}  // namespace canalix::shell
