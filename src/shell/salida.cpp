// SALIDA: confirmation, the access row in ACCESOS, closing the tables.
#include "shell/salida.h"

namespace canalix::shell {
namespace {

// The automatic backup on leaving (COPIASAUTO with moment "S") comes here once
// backups exist; until then there is nothing to run.
void runExitBackup(ui::UiPort&, store::Workspace&) {}

}  // namespace

bool writeAccessRow(ui::UiPort& ui, store::Workspace& ws, const Session& session, const std::string& endTime,
                    const ui::Sleeper& sleep) {
  store::WorkArea& users = ws.area("USUARIOS");
  users.DBGOTO(session.userRecord);
  store::WorkArea& accesses = ws.area("ACCESOS");
  if (!accesses.DBAPPEND()) {
    // The append byte stayed with another copy: no row to lock, the same report.
    ui::reportLockFailure(ui, ui::kLockMessage);
    return false;
  }
  if (!ui::lockForWrite(ui, accesses, ui::kLockMessage, ui::LockBox::kInfo, sleep)) return false;
  accesses.put("Clave", users.getText("Clave"));
  accesses.put("Nombre", users.getText("Nombre"));
  accesses.put("Passw", users.getText("Passw"));
  accesses.put("Fecha", session.startDate);
  accesses.put("Inicio", session.startTime);
  accesses.put("Fin", endTime);
  ui::releaseAndCommit(accesses);
  return true;
}

bool SALIDA(ui::UiPort& ui, store::Workspace& ws, const Session& session) {
  if (!ui.yesNo(kExitQuestion, kExitTitle)) return false;
  writeAccessRow(ui, ws, session, timeText());
  runExitBackup(ui, ws);
  ws.DBCLOSEALL();
  return true;
}

}  // namespace canalix::shell
