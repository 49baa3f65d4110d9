// CREAFI: creates the missing tables of the data directory from the catalogue.
//
// Each table is built aside, under a private name in the data directory, and
// put in place only when complete (header, descriptors and, for four tables,
// the initial record). A crash therefore never leaves, say, a configuration
// table without its record, which no later start would repair since the file
// would count as present. The final name is taken with a hard link, which
// fails when the name exists: when two copies of the program start at once in
// an empty directory, the first table put in place wins and the other copy's
// is discarded, so a table another copy already uses is never replaced.
#include "store/creafi.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "store/catalogue.h"
#include "store/file_layer.h"

namespace canalix::store {
namespace {

namespace fs = std::filesystem;

bool present(const Workspace& ws, const std::string& fileName) {
  std::error_code ec;
  return fs::exists(ws.resolve(fileName), ec);
}

// A name no other table or copy of the program uses, with a stem of its own so
// that no index file is attached when it is opened.
std::string asideName(const CatalogueTable& table) {
  return "~CREAFI-" + std::to_string(::getpid()) + "-" + std::string(table.name) + ".DBF";
}

void writeInitialRecord(Workspace& ws, const std::string& fileName, const CatalogueTable& table) {
  const auto record = initialRecord(table.name);
  if (record.empty()) return;
  const std::string alias = "CREAFI$" + std::string(table.name);
  if (!ws.DBUSEAREA(true, fileName, alias, false)) {
    throw EngineError(err::kCreate, err::kCreateSub, "CREAFI", fileName, "tabla en uso");
  }
  WorkArea& area = ws.area(alias);
  area.DBAPPEND();
  for (const auto& [field, value] : record) area.put(field, value);
  area.DBCLOSEAREA();
}

// Moves the finished table from `aside` to `final` unless `final` has appeared meanwhile.
void putInPlace(const fs::path& aside, const fs::path& final) {
  std::error_code ec;
  fs::create_hard_link(aside, final, ec);
  if (ec && ec != std::errc::file_exists && !fs::exists(final)) {
    // File systems without hard links: a plain rename.
    fs::rename(aside, final, ec);
    if (ec) throw EngineError(err::kCreate, err::kCreateSub, "CREAFI", final.string(), ec.message());
    return;
  }
  fs::remove(aside, ec);
}

// An index file without its table describes records that no longer exist:
// it is kept aside, intact, so that a fresh one is built.
void setAsideStaleIndex(Workspace& ws, const CatalogueTable& table) {
  if (!table.hasIndex) return;
  std::error_code ec;
  const fs::path index = ws.resolve(table.indexFileName());
  if (fs::exists(index, ec)) renameAside(ws.env(), index, ".antiguo");
}

void createTable(Workspace& ws, const CatalogueTable& table) {
  const std::string aside = asideName(table);
  const fs::path asidePath = ws.dataDir() / aside;
  try {
    ws.DBCREATE(aside, table.structure());
    writeInitialRecord(ws, aside, table);
  } catch (...) {
    if (WorkArea* area = ws.find("CREAFI$" + std::string(table.name))) area->DBCLOSEAREA();
    std::error_code ec;
    fs::remove(asidePath, ec);
    throw;
  }
  setAsideStaleIndex(ws, table);
  putInPlace(asidePath, ws.dataDir() / table.fileName());
}

}  // namespace

std::vector<std::string> CREAFI(Workspace& ws) {
  std::vector<std::string> created;
  for (const CatalogueTable* table : dataDirectoryTables()) {
    if (present(ws, table->fileName())) continue;
    createTable(ws, *table);
    created.push_back(table->fileName());
  }
  return created;
}

}  // namespace canalix::store
