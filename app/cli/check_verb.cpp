// canalix-cli check DIR TABLE: walks every tag of the table's index file and
// compares it with the keys of the records. Prints each problem and exits 1,
// or one line saying the index is sound. The table is opened shared and
// read-only, so other copies may keep working.
#include <cstdio>
#include <filesystem>

#include "cli_verbs.h"
#include "store/index_check.h"
#include "store/table_engine.h"

namespace canalix::cli {

int checkVerb(const Args& args) {
  if (args.size() != 2) return fail("uso: canalix-cli check DIRECTORIO TABLA");
  store::Workspace ws(args[0]);
  std::string fileName = args[1];
  if (std::filesystem::path(fileName).extension().empty()) fileName += ".DBF";
  std::error_code ec;
  if (!std::filesystem::exists(ws.resolve(fileName), ec)) return fail("no existe la tabla " + fileName + " en " + args[0]);
  if (!ws.DBUSEAREA(true, fileName, "", true, true))
    return fail("la tabla " + fileName + " está en uso exclusivo por otro usuario");
  store::WorkArea& area = ws.current();
  if (!area.indexAttached()) {
    std::printf("%s no tiene índice\n", fileName.c_str());
    return 0;
  }
  const auto problems = store::checkIndex(area);
  for (const std::string& p : problems) std::printf("%s\n", p.c_str());
  if (!problems.empty()) return 1;
  std::printf("Índice correcto: %d etiquetas, %u registros\n", area.orderCount(), area.LASTREC());
  return 0;
}

}  // namespace canalix::cli
