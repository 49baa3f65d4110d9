// SALIDA: the exit sequence run whenever the main window is asked to close.
#pragma once

#include <string>
#include <string_view>

#include "shell/session.h"
#include "store/table_engine.h"
#include "ui/record_lock_idiom.h"
#include "ui/ui_port.h"

namespace canalix::shell {

inline constexpr std::string_view kExitTitle = "Salida del Sistema";
inline constexpr std::string_view kExitQuestion = "¿ Desea salir de Canalix ?";

// Asks whether to leave; on "Sí" writes the access row, runs the exit steps
// and closes every table, then returns true (the window may close). On "No"
// returns false and writes nothing.
// Requires: the tables open (ABREFI). Throws EngineError.
bool SALIDA(ui::UiPort& ui, store::Workspace& ws, const Session& session);

// Appends the run's row to ACCESOS under the record-lock idiom: Clave, Nombre
// and Passw of the user record of USUARIOS, Fecha and Inicio of the start,
// Fin = `endTime`. When the append or the lock fails the idiom's tones and
// message are given and nothing is written. True when the row was written.
bool writeAccessRow(ui::UiPort& ui, store::Workspace& ws, const Session& session, const std::string& endTime,
                    const store::Sleeper& sleep = {});

}  // namespace canalix::shell
