// openTablesShared: every table of the run, open shared.
#include "shell/open_tables.h"

#include <string>

namespace canalix::shell {

void openTablesShared(store::Workspace& ws) {
  for (std::string_view name : kOpenOrder) {
    const std::string table(name);
    if (!ws.DBUSEAREA(true, table + ".DBF", table, true)) {
      throw store::EngineError(store::err::kOpen, store::err::kOpenSub, "ABREFI", table + ".DBF",
                               "la tabla está en uso exclusivo por otro puesto");
    }
    ws.area(table).DBGOTOP();
  }
  ws.select("SOCIOS");
}

}  // namespace canalix::shell
