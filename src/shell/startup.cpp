// The start-up steps that need no window: global settings, the data
// directory's lock, CREAFI, the first-run flag of CONTROL and the opening of
// the tables.
#include "shell/startup.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "output/format_settings.h"
#include "shell/session.h"
#include "store/creafi.h"
#include "store/retry_locks.h"
#include "store/table_orders.h"

namespace canalix::shell {
namespace {

constexpr rlim_t kFileHandles = 60;

void askForFileHandles() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kFileHandles) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? kFileHandles : std::min(kFileHandles, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

constexpr std::chrono::milliseconds kRetryWait{500};
constexpr std::chrono::seconds kWaitQuestionEvery{60};

// Opens CONTROL, retrying for 5 seconds as another copy may be reading it at
// the same moment of its own start.
bool openControl(store::Workspace& ws, bool shared) { return store::NETUSE(ws, "CONTROL", !shared, 5); }

// Takes the data directory's lock shared, waiting while another copy holds
// it exclusively. False when the user stops waiting.
bool waitForDataDirectory(store::DataDirLock& lock, ui::UiPort& ui, const StartupSteps& steps) {
  std::chrono::milliseconds waited{0};
  for (;;) {
    const store::LockResult result = lock.share();
    if (result == store::LockResult::kGranted) return true;
    if (result != store::LockResult::kBusy)
      throw store::EngineError(store::err::kOpen, store::err::kOpenSub, "DBUSEAREA",
                               std::string(store::kDataDirLockFile),
                               "el sistema de archivos no admite bloqueos; los datos no pueden compartirse");
    if (waited.count() == 0) ui.notice(kWaitNotice);
    steps.sleep(kRetryWait);
    waited += kRetryWait;
    if (waited % kWaitQuestionEvery == std::chrono::milliseconds(0) && !ui.yesNo(kWaitQuestion)) return false;
  }
}

store::ReorgResult reorganiseWithMeter(store::Workspace& ws, store::DataDirLock& lock, ui::UiPort& ui) {
  ui.progressBegin("Reorganizar archivos de CANALIX", "REORGANIZACION AUTOMATICA", 100);
  store::ReorgOptions options;
  options.today = store::today();
  options.progress = [&ui](const store::ReorgProgress& p) { ui.progressStep(p.percent, p.text); };
  const store::ReorgResult result = store::INDEXAYA(ws, lock, options);
  ui.progressEnd();
  return result;
}

void openWithIndexes(store::Workspace& ws, ui::UiPort& ui) {
  const store::IndexReport report = store::INDEXAFI(ws);
  for (const std::string& kept : report.setAside) ui.info(store::setAsideNotice(kept));
  store::ABREFI(ws);
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

StartupSteps defaultStartupSteps() {
  return StartupSteps{reorganiseWithMeter,
                      [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); }};
}

bool readFirstRunFlag(store::Workspace& ws) {
  if (!openControl(ws, true)) return false;
  store::WorkArea& control = ws.area("CONTROL");
  control.DBGOTOP();
  const bool set = !control.Eof() && control.getLogical("ControlCl6");
  control.DBCLOSEAREA();
  return set;
}

void clearFirstRunFlag(store::Workspace& ws) {
  if (!openControl(ws, false)) return;  // another copy at its start: it finds the flag set and clears it
  store::WorkArea& control = ws.area("CONTROL");
  control.DBGOTOP();
  if (!control.Eof() && control.getLogical("ControlCl6")) {
    control.put("ControlCl6", false);
    control.DBCOMMIT();
  }
  control.DBCLOSEAREA();
}

std::string firstRunText() {
  const std::string crlf = "\r\n";
  return "   Por favor, una vez entre en el programa :" + crlf + crlf + crlf +
         "   Pulse F1 para obtener AYUDA si ha instalado CANALIX por primera vez." + crlf + crlf +
         "   Si ha actualizado CANALIX desde una versión anterior, consulte la sección de la AYUDA" + crlf +
         "   'Novedades de las nuevas versiones y actualizaciones', para conocer lo nuevo de la versión " +
         versionTag();
}

PreparedData prepareDataDirectory(store::Workspace& ws, store::DataDirLock& lock, ui::UiPort& ui,
                                  const StartupSteps& steps) {
  PreparedData prepared;
  if (!waitForDataDirectory(lock, ui, steps)) return prepared;
  prepared.ready = true;
  prepared.created = store::CREAFI(ws);
  prepared.firstRun = readFirstRunFlag(ws);
  if (!prepared.firstRun) {
    openWithIndexes(ws, ui);
    return prepared;
  }
  const store::ReorgResult result = steps.reorganiseAutomatically(ws, lock, ui);
  prepared.reorganised = result.done;
  if (!result.done) {
    ui.notice(kReorgPostponed);
    return prepared;
  }
  // CONTROL is not kept open: the flag is cleared in an area of its own.
  const std::string current = ws.currentAlias();
  clearFirstRunFlag(ws);
  ws.select(current);
  ui.info(firstRunText(), kFirstRunTitle);
  return prepared;
}

}  // namespace canalix::shell
