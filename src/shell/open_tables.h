// Opening of every table of the data directory for the whole run.
#pragma once

#include <array>
#include <string_view>

#include "store/table_engine.h"

namespace canalix::shell {

// The tables kept open, in the order they are opened. CONTROL is not kept open.
inline constexpr std::array<std::string_view, 12> kOpenOrder = {"PARCELAS", "RECIBOS",  "ACCESOS", "USUARIOS",
                                                                "FRECU2",   "CONCEPTO", "CODIGOS", "GASTOS",
                                                                "CAJA",     "ARQUEO",   "BIC",     "SOCIOS"};

// Opens every table shared, each in a new work area under its own name, and
// stands each at its first record; SOCIOS is left current. This stands in for
// ABREFI until the orders exist: no index file is attached.
// Requires: no work area open. Throws EngineError when a table cannot be
// opened, also when another copy holds it exclusively (21/1001), since the
// program cannot run without it.
void openTablesShared(store::Workspace& ws);

}  // namespace canalix::shell
