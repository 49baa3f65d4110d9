// INDEXAYA: the reorganisation of the data directory.
//
// For each table, in the order below:
//   1. TEMP.DBF is created with the catalogue structure and receives the
//      table's live records in record order, fields matched by name (the
//      access log only the rows of the current year);
//   2. TEMP.DBF is opened under the table's alias and its tags are built
//      into TEMP.CDX;
//   3. TEMP.DBF is renamed over the table file, then TEMP.CDX to the index
//      file name.
// The old index files are removed before the first table, once every table
// is held exclusively. An interruption therefore leaves each table either
// old or new under its name, never absent, and at worst without its index
// file, which the next start builds.
#include "store/reorganisation.h"

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "store/catalogue.h"
#include "store/engine_error.h"
#include "store/names.h"
#include "store/table_orders.h"

namespace canalix::store {
namespace {

namespace fs = std::filesystem;

struct ReorgTable {
  std::string_view name;
  std::string_view text;  // the progress text naming it
  bool textAfterCreate;   // the text is shown when its new file exists, else after its bar step
};

constexpr ReorgTable kReorgTables[] = {
    {"SOCIOS", "Reorganizando SOCIOS", true},
    {"PARCELAS", "Reorganizando PARCELAS", true},
    {"RECIBOS", "Reorganizando RECIBOS", true},
    {"GASTOS", "Reorganizando GASTOS", true},
    {"CODIGOS", "Reorganizando CODIGOS", true},
    {"CONCEPTO", "Reorganizando CONCEPTOS", true},
    {"FRECU2", "Reorganizando Datos más frecuentes", false},
    {"CONTROL", "Reorganizando Datos de Control", false},
    {"USUARIOS", "Reorganizando USUARIOS", false},
    {"ACCESOS", "Reorganizando ACCESOS", true},
    {"CAJA", "Reorganizando CAJA", false},
    {"ARQUEO", "Reorganizando ARQUEO", false},
    {"BIC", "Reorganizando BIC bancos", false},
};
constexpr int kTableCount = int(std::size(kReorgTables));

const std::string kTempDbf = std::string(kReorgWorkTable) + ".DBF";
const std::string kTempCdx = std::string(kReorgWorkTable) + ".CDX";
constexpr std::string_view kTempAlias = "TEMP";

class Progress {
 public:
  explicit Progress(const ReorgOptions& options) : options_(options) {}
  void text(std::string_view t) {
    state_.text = t;
    report();
  }
  void percent(int p) {
    state_.percent = p;
    report();
  }

 private:
  void report() {
    if (options_.progress) options_.progress(state_);
  }
  const ReorgOptions& options_;
  ReorgProgress state_;
};

void check(int rc, const char* operation, const fs::path& path) {
  if (rc != 0) throw EngineError(err::kWrite, err::kWriteSub, operation, path.string(), std::strerror(rc));
}

void removeIfPresent(Workspace& ws, const fs::path& path) {
  std::error_code ec;
  if (fs::exists(path, ec)) check(ws.env().remove(path), "borrar", path);
}

fs::path indexPathOf(const fs::path& table) {
  return table.parent_path() / (table.stem().string() + ".CDX");
}

// Opens every table exclusively without its index file. Returns the first
// table refused (every area closed again), or empty when all are held.
std::string holdEveryTable(Workspace& ws) {
  for (const ReorgTable& t : kReorgTables) {
    const std::string name(t.name);
    if (!ws.DBUSEAREA(true, name + ".DBF", name, false, false, OpenIndex::kNone)) {
      ws.DBCLOSEALL();
      return name;
    }
  }
  return {};
}

// The field copy of an append matched by name: a field of another type is left blank.
void copyRecord(const WorkArea& from, WorkArea& to) {
  for (const FieldSpec& field : to.structure()) {
    const int i = from.fieldIndex(field.name);
    if (i < 0 || from.structure()[size_t(i)].type != field.type) continue;
    to.put(field.name, from.get(field.name));
  }
}

void copyLiveRecords(WorkArea& from, WorkArea& to, const ReorgOptions& options) {
  const bool accesos = sameName(from.alias(), "ACCESOS");
  for (from.DBGOTOP(); !from.Eof(); from.DBSKIP()) {
    if (accesos && !accessRowKept(from.getDate("Fecha"), options.today)) continue;
    if (!to.DBAPPEND()) throw EngineError(err::kAppendLock, err::kAppendLockSub, "INDEXAYA", kTempDbf, "");
    copyRecord(from, to);
  }
  to.DBCOMMIT();
}

// Builds the new table in TEMP.DBF and TEMP.CDX from the table held open
// under its name, which is closed on return.
void buildBeside(Workspace& ws, const ReorgTable& t, Progress& progress, const ReorgOptions& options) {
  const std::string name(t.name);
  ws.DBCREATE(kTempDbf, catalogueStructure(name));
  if (t.textAfterCreate) progress.text(t.text);
  if (!ws.DBUSEAREA(true, kTempDbf, std::string(kTempAlias), false, false, OpenIndex::kNone))
    throw EngineError(err::kOpen, err::kOpenSub, "INDEXAYA", kTempDbf, "tabla de trabajo en uso");
  copyLiveRecords(ws.area(name), ws.area(std::string(kTempAlias)), options);
  ws.area(std::string(kTempAlias)).DBCLOSEAREA();
  ws.area(name).DBCLOSEAREA();
  if (tableOrders(name).empty()) return;
  // The keys name the table's alias, so the tags are built under it.
  if (!ws.DBUSEAREA(true, kTempDbf, name, false, false, OpenIndex::kNone))
    throw EngineError(err::kOpen, err::kOpenSub, "INDEXAYA", kTempDbf, "tabla de trabajo en uso");
  WorkArea& area = ws.area(name);
  createOrders(area, name, "USUARIOS");
  area.DBCOMMIT();
  ws.area(name).DBCLOSEAREA();
}

// Puts TEMP.DBF and TEMP.CDX in place of the table, the table first.
void putInPlace(Workspace& ws, const ReorgTable& t) {
  const fs::path table = ws.resolve(std::string(t.name) + ".DBF");
  const fs::path temp = ws.dataDir() / kTempDbf;
  check(ws.env().rename(temp, table), "renombrar", temp);
  check(ws.env().syncDir(ws.dataDir()), "renombrar", table);
  if (tableOrders(t.name).empty()) return;
  const fs::path tempIndex = ws.dataDir() / kTempCdx;
  check(ws.env().rename(tempIndex, indexPathOf(table)), "renombrar", tempIndex);
  check(ws.env().syncDir(ws.dataDir()), "renombrar", indexPathOf(table));
}

void removeOldIndexes(Workspace& ws) {
  for (const ReorgTable& t : kReorgTables) {
    if (tableOrders(t.name).empty()) continue;
    removeIfPresent(ws, indexPathOf(ws.resolve(std::string(t.name) + ".DBF")));
  }
}

void rebuildEveryTable(Workspace& ws, const ReorgOptions& options) {
  Progress progress(options);
  // The remains of an interrupted run are only ever a copy.
  removeIfPresent(ws, ws.dataDir() / kTempDbf);
  removeIfPresent(ws, ws.dataDir() / kTempCdx);
  removeOldIndexes(ws);
  for (int i = 0; i < kTableCount; ++i) {
    const ReorgTable& t = kReorgTables[i];
    buildBeside(ws, t, progress, options);
    putInPlace(ws, t);
    progress.percent((i + 1) * 100 / kTableCount);
    if (!t.textAfterCreate) progress.text(t.text);
  }
  removeIfPresent(ws, ws.dataDir() / kTempDbf);
  progress.text(kReorgFinished);
}

void reopenShared(Workspace& ws, DataDirLock& lock) {
  lock.share();
  INDEXAFI(ws);
  ABREFI(ws);
}

}  // namespace

bool accessRowKept(Date fecha, Date today) {
  int year = 0, month = 0, day = 0, y = 0;
  ymdFromJulian(today.julian - 5, year, month, day);
  if (!fecha.empty()) ymdFromJulian(fecha.julian, y, month, day);
  return y >= year;
}

ReorgResult INDEXAYA(Workspace& ws, DataDirLock& lock, const ReorgOptions& options) {
  ReorgResult result;
  ws.DBCLOSEALL();
  if (lock.makeExclusive() != LockResult::kGranted) {
    result.otherCopies = true;
    reopenShared(ws, lock);
    return result;
  }
  result.refusedTable = holdEveryTable(ws);
  if (!result.refusedTable.empty()) {
    reopenShared(ws, lock);
    return result;
  }
  try {
    rebuildEveryTable(ws, options);
  } catch (...) {
    ws.DBCLOSEALL();
    std::error_code ec;
    fs::remove(ws.dataDir() / kTempDbf, ec);
    fs::remove(ws.dataDir() / kTempCdx, ec);
    lock.share();
    throw;
  }
  result.done = true;
  reopenShared(ws, lock);
  return result;
}

std::string refusalMessage(const ReorgResult& result) {
  const std::string what = result.otherCopies
                               ? "CANALIX está abierto en otro puesto"
                               : "la tabla " + result.refusedTable + " está en uso en otro puesto";
  return "No es posible reorganizar los archivos: " + what +
         ".\r\nNo se ha modificado ningún archivo. Cierre CANALIX en los demás puestos e inténtelo de nuevo.";
}

}  // namespace canalix::store
