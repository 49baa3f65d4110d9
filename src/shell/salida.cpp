// SALIDA: confirmation, the access row in ACCESOS, closing the tables.
#include "shell/salida.h"

namespace canalix::shell {
namespace {

// The automatic backup on leaving (COPIASAUTO with moment "S") comes here once
// backups exist; until then there is nothing to run.
void runExitBackup(ui::UiPort&, store::Workspace&) {}

}  // namespace

bool writeAccessRow(ui::UiPort& ui, store::Workspace& ws, const Session& session, const std::string& endTime,
                    const store::Sleeper& sleep) {
  store::WorkArea& users = ws.area("USUARIOS");
  users.DBGOTO(session.userRecord);
  const auto assign = [&](store::WorkArea& accesses) {
    accesses.put("Clave", users.getText("Clave"));
    accesses.put("Nombre", users.getText("Nombre"));
    accesses.put("Passw", users.getText("Passw"));
    accesses.put("Fecha", session.startDate);
    accesses.put("Inicio", session.startTime);
    accesses.put("Fin", endTime);
  };
  return ui::writeRecord(ui, ws.area("ACCESOS"), assign, {.append = true, .sleep = sleep});
}

bool SALIDA(ui::UiPort& ui, store::Workspace& ws, const Session& session) {
  if (!ui.yesNo(kExitQuestion, kExitTitle)) return false;
  writeAccessRow(ui, ws, session, timeText());
  runExitBackup(ui, ws);
  ws.DBCLOSEALL();
  return true;
}

}  // namespace canalix::shell
