// The reorganisation over a filled data directory: what it leaves (tags of the
// order table, no deleted records, the catalogue structure, the access log
// thinned), its progress, its refusals when another copy is at work, and a
// process killed at many points of it losing or doubling no record.
#include "store/reorganisation.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <map>
#include <set>

#include "common/child_process.h"
#include "store/catalogue.h"
#include "store/cdx_file.h"
#include "store/creafi.h"
#include "store/index_check.h"
#include "store/names.h"
#include "store/table_orders.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using canalix::testing::Child;
using testing::ScratchDir;

const Date kToday = makeDate(2026, 6, 15);

// A value for field `f` of record `i` that fits the field.
Value sampleValue(const FieldSpec& field, int i, int f) {
  switch (field.type) {
    case 'C': {
      std::string text = std::to_string(i) + "-" + std::to_string(f) + field.name;
      return text.substr(0, size_t(field.width));
    }
    case 'N': {
      const int digits = std::min(6, field.width - (field.decimals ? field.decimals + 1 : 0));
      const double whole = double((i * 37 + f) % int(std::pow(10, digits)));
      return field.decimals ? whole + 0.25 : whole;
    }
    case 'D':
      return makeDate(2026, 1 + i % 5, 1 + i % 28);  // before kToday, so the access log keeps them all
    default:
      return i % 2 == 0;
  }
}

// Appends `count` records to `table` (open shared) and deletes every 7th.
void fill(Workspace& ws, const std::string& table, int count) {
  WorkArea& a = ws.area(table);
  for (int i = 1; i <= count; ++i) {
    ASSERT_TRUE(a.DBAPPEND());
    int f = 0;
    for (const FieldSpec& field : a.structure()) a.put(field.name, sampleValue(field, i, f++));
    if (i % 7 == 0) a.DBDELETE();
    a.DBRUNLOCK();
  }
  a.DBCOMMIT();
}

// The tables that have records, and how many each receives.
const std::map<std::string, int> kFilled = {{"SOCIOS", 25},  {"PARCELAS", 30}, {"RECIBOS", 40}, {"GASTOS", 8},
                                            {"CODIGOS", 6},  {"CONCEPTO", 5},  {"USUARIOS", 3}, {"ACCESOS", 9},
                                            {"CAJA", 8},     {"ARQUEO", 4},    {"BIC", 6},      {"FRECU2", 2}};

constexpr std::string_view kAllTables[] = {"SOCIOS",  "PARCELAS", "RECIBOS",  "GASTOS", "CODIGOS",
                                           "CONCEPTO", "FRECU2",  "CONTROL",  "USUARIOS", "ACCESOS",
                                           "CAJA",    "ARQUEO",   "BIC"};

std::string text(const Value& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::string>) return x;
        if constexpr (std::is_same_v<T, double>) return std::to_string(x);
        if constexpr (std::is_same_v<T, Date>) return std::to_string(x.julian);
        if constexpr (std::is_same_v<T, bool>) return x ? "T" : "F";
      },
      v);
}

// The live records of every table, in record order, each field as text.
using Contents = std::map<std::string, std::vector<std::string>>;
Contents contents(const std::filesystem::path& dir) {
  Workspace ws(dir);
  Contents all;
  for (std::string_view t : kAllTables) {
    const std::string name(t);
    EXPECT_TRUE(ws.DBUSEAREA(true, name + ".DBF", name, true, true)) << name;
    WorkArea& a = ws.area(name);
    a.DBSETORDER(0);
    for (a.DBGOTOP(); !a.Eof(); a.DBSKIP()) {
      std::string row;
      for (const FieldSpec& field : a.structure()) row += text(a.get(field.name)) + "|";
      all[name].push_back(row);
    }
    a.DBCLOSEAREA();
  }
  return all;
}

// A structure as comparable text: names (any case), types and widths.
std::vector<std::string> shape(const Structure& structure) {
  std::vector<std::string> out;
  for (const FieldSpec& f : structure)
    out.push_back(upperAscii(f.name) + " " + f.type + std::to_string(f.width) + "." + std::to_string(f.decimals));
  return out;
}

class Reorganisation : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    Workspace ws(dir);
    CREAFI(ws);
    INDEXAFI(ws);
    ABREFI(ws);
    for (const auto& [table, count] : kFilled) fill(ws, table, count);
  }

  ReorgResult reorganise(std::vector<ReorgProgress>* seen = nullptr) {
    Workspace ws(dir);
    DataDirLock lock(dir);
    EXPECT_EQ(lock.share(), LockResult::kGranted);
    ReorgOptions options;
    options.today = kToday;
    if (seen) options.progress = [seen](const ReorgProgress& p) { seen->push_back(p); };
    const ReorgResult result = INDEXAYA(ws, lock, options);
    EXPECT_EQ(ws.aliases().size(), 12u);  // every table open shared again
    EXPECT_EQ(ws.currentAlias(), "SOCIOS");
    EXPECT_TRUE(lock.held() && !lock.exclusive());
    return result;
  }


};

TEST_F(Reorganisation, LeavesTheOrderTableTagsNoDeletedRecordsAndEveryRecordInOrder) {
  const Contents before = contents(dir);
  ASSERT_EQ(before.at("SOCIOS").size(), 25u - 3u);
  ASSERT_TRUE(reorganise().done);
  EXPECT_EQ(contents(dir), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "TEMP.DBF"));
  EXPECT_FALSE(std::filesystem::exists(dir / "TEMP.CDX"));

  Workspace ws(dir);
  for (std::string_view t : kAllTables) {
    const std::string name(t);
    SCOPED_TRACE(name);
    // No deleted record is left in the file itself.
    const std::string file = bytes(name + ".DBF");
    const uint32_t count = headerCount(file);
    EXPECT_EQ(count, before.at(name).size());
    for (uint32_t n = 1; n <= count; ++n) EXPECT_EQ(recordBytes(name + ".DBF", n)[0], ' ');
    ASSERT_TRUE(ws.DBUSEAREA(true, name + ".DBF", name, true, true));
    EXPECT_EQ(shape(ws.area(name).structure()), shape(catalogueStructure(name)));
    const auto orders = tableOrders(name);
    if (orders.empty()) {
      EXPECT_FALSE(std::filesystem::exists(dir / (name + ".CDX")));
      continue;
    }
    int rc = 0;
    FileLayer env;
    auto index = CdxFile::open(env, dir / (name + ".CDX"), true, rc);
    ASSERT_TRUE(index);
    const std::vector<CdxTag> tags = index->tags();
    ASSERT_EQ(tags.size(), orders.size());
    for (size_t i = 0; i < tags.size(); ++i) {
      EXPECT_EQ(tags[i].name, name == "USUARIOS" ? "USUARIOS" : std::string(orders[i].name));
      EXPECT_EQ(tags[i].keyExpression, orders[i].keyExpression);
      EXPECT_EQ(tags[i].forExpression, "!DELETED()");
      EXPECT_EQ(tags[i].descending, orders[i].descending);
    }
    EXPECT_TRUE(checkIndex(ws.area(name)).empty());
  }
}

TEST_F(Reorganisation, BringsATableOfAnOlderStructureToTheCatalogue) {
  // SOCIOS as an older version left it: no Nif, and a field since dropped.
  Structure old;
  for (const FieldSpec& f : catalogueStructure("SOCIOS"))
    if (!sameName(f.name, "Nif")) old.push_back(f);
  old.push_back({"VIEJO", 'C', 5, 0});
  std::filesystem::remove(dir / "SOCIOS.DBF");
  std::filesystem::remove(dir / "SOCIOS.CDX");
  {
    Workspace ws(dir);
    ws.DBCREATE("SOCIOS.DBF", old);
    ASSERT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", false));
    WorkArea& a = ws.area("SOCIOS");
    a.DBAPPEND();
    a.put("Nombre", std::string("GARCIA PEREZ, ANA"));
    a.put("NumSocio", std::string("0007"));
    a.put("Viejo", std::string("XX"));
    a.DBCLOSEAREA();
  }
  ASSERT_TRUE(reorganise().done);
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", true));
  WorkArea& a = ws.area("SOCIOS");
  EXPECT_EQ(a.structure().size(), catalogueStructure("SOCIOS").size());
  EXPECT_LT(a.fieldIndex("Viejo"), 0);
  ASSERT_EQ(a.LASTREC(), 1u);
  a.DBGOTO(1);
  EXPECT_EQ(a.getText("Nombre").substr(0, 17), "GARCIA PEREZ, ANA");
  EXPECT_EQ(a.getText("NumSocio"), "0007");
  EXPECT_EQ(a.getText("Nif"), std::string(10, ' '));
  EXPECT_EQ(a.orderCount(), 5);
}

TEST_F(Reorganisation, ShowsEachTableAndThePercentagesInTheirOrder) {
  std::vector<ReorgProgress> seen;
  ASSERT_TRUE(reorganise(&seen).done);
  // The text on show at each step of the bar: six tables are named when their
  // new file exists, the other six (ACCESOS apart) only after their step.
  const std::vector<std::pair<int, std::string>> expected = {
      {7, "Reorganizando SOCIOS"},     {15, "Reorganizando PARCELAS"},
      {23, "Reorganizando RECIBOS"},   {30, "Reorganizando GASTOS"},
      {38, "Reorganizando CODIGOS"},   {46, "Reorganizando CONCEPTOS"},
      {53, "Reorganizando CONCEPTOS"}, {61, "Reorganizando Datos más frecuentes"},
      {69, "Reorganizando Datos de Control"}, {76, "Reorganizando ACCESOS"},
      {84, "Reorganizando ACCESOS"},   {92, "Reorganizando CAJA"},
      {100, "Reorganizando ARQUEO"},
  };
  std::vector<std::pair<int, std::string>> steps;
  int last = 0;
  for (const ReorgProgress& p : seen) {
    if (p.percent != last) steps.emplace_back(p.percent, p.text);
    last = p.percent;
  }
  EXPECT_EQ(steps, expected);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[seen.size() - 2].text, "Reorganizando BIC bancos");
  EXPECT_EQ(seen.back().text, "PROCESO FINALIZADO");
  EXPECT_EQ(seen.back().percent, 100);
}

TEST(AccessLog, KeepsTheRowsOfTheYearOfFiveDaysAgo) {
  struct Case {
    Date fecha, today;
    bool kept;
  } cases[] = {
      {makeDate(2025, 12, 31), makeDate(2026, 1, 3), true},   // still last year five days ago
      {makeDate(2025, 12, 31), makeDate(2026, 1, 5), true},   // 31 December is five days before
      {makeDate(2025, 12, 31), makeDate(2026, 1, 6), false},  // 1 January is
      {makeDate(2025, 12, 31), makeDate(2026, 1, 10), false},
      {makeDate(2024, 6, 1), makeDate(2026, 1, 3), false},    // two years back goes at once
      {makeDate(2026, 1, 1), makeDate(2026, 1, 3), true},
      {makeDate(2026, 3, 1), makeDate(2026, 12, 31), true},
      {Date{}, makeDate(2026, 3, 1), false},                  // a row without a date
  };
  for (const Case& c : cases) {
    int y, m, d;
    ymdFromJulian(c.today.julian, y, m, d);
    EXPECT_EQ(accessRowKept(c.fecha, c.today), c.kept) << "today " << d << "-" << m << "-" << y;
  }
}

TEST_F(Reorganisation, ThinsTheAccessLogByTheDatePassedIn) {
  {
    Workspace ws(dir);
    ASSERT_TRUE(ws.DBUSEAREA(true, "ACCESOS.DBF", "ACCESOS", false));
    WorkArea& a = ws.area("ACCESOS");
    a.DBAPPEND();
    a.put("Fecha", makeDate(2025, 12, 31));
    a.put("Clave", std::string("NOCHEVIEJA"));
    a.DBCLOSEAREA();
  }
  auto runOn = [this](Date today) {
    Workspace ws(dir);
    DataDirLock lock(dir);
    ReorgOptions options;
    options.today = today;
    EXPECT_TRUE(INDEXAYA(ws, lock, options).done);
    WorkArea& a = ws.area("ACCESOS");
    a.DBSETORDER(0);
    int lastYear = 0;
    for (a.DBGOTOP(); !a.Eof(); a.DBSKIP()) lastYear += a.getText("Clave") == "NOCHEVIEJA";
    return lastYear;
  };
  EXPECT_EQ(runOn(makeDate(2026, 1, 3)), 1);
  EXPECT_EQ(runOn(makeDate(2026, 1, 10)), 0);
}

TEST_F(Reorganisation, IsRefusedWithoutChangingAFileWhileAnotherCopyWorks) {
  struct Case {
    const char* what;
    std::function<bool(const std::filesystem::path&)> other;  // what the other copy holds
    bool otherCopies;
    const char* table;
    const char* message;
  } cases[] = {
      {"a running copy",
       [](const std::filesystem::path& d) {
         static std::unique_ptr<DataDirLock> held;
         held = std::make_unique<DataDirLock>(d);
         return held->share() == LockResult::kGranted;
       },
       true, "",
       "No es posible reorganizar los archivos: CANALIX está abierto en otro puesto.\r\n"
       "No se ha modificado ningún archivo. Cierre CANALIX en los demás puestos e inténtelo de nuevo."},
      {"a table in use",
       [](const std::filesystem::path& d) {
         static std::unique_ptr<Workspace> held;
         held = std::make_unique<Workspace>(d);
         return held->DBUSEAREA(true, "RECIBOS.DBF", "RECIBOS", true);
       },
       false, "RECIBOS",
       "No es posible reorganizar los archivos: la tabla RECIBOS está en uso en otro puesto.\r\n"
       "No se ha modificado ningún archivo. Cierre CANALIX en los demás puestos e inténtelo de nuevo."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Child other([&](Child& self) {
      if (!c.other(dir)) return 1;
      self.signalParent();
      self.waitParent();
      return 0;
    });
    other.waitChild();
    const auto before = files();
    const ReorgResult result = reorganise();
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.otherCopies, c.otherCopies);
    EXPECT_EQ(result.refusedTable, c.table);
    EXPECT_EQ(refusalMessage(result), c.message);
    EXPECT_EQ(files(), before);
    other.signalChild();
    EXPECT_EQ(other.wait(), 0);
  }
}

// A file layer that kills its process at its n-th change of a file, standing
// for a crash, a power cut or a killed program at that very point.
class KillingLayer : public FileLayer {
 public:
  explicit KillingLayer(long killAt) : killAt_(killAt) {}
  long changes() const { return changes_; }
  int write(int fd, uint64_t offset, const void* buf, size_t n) override {
    change();
    return FileLayer::write(fd, offset, buf, n);
  }
  int truncate(int fd, uint64_t bytes) override {
    change();
    return FileLayer::truncate(fd, bytes);
  }
  int rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    change();
    return FileLayer::rename(from, to);
  }
  int remove(const std::filesystem::path& path) override {
    change();
    return FileLayer::remove(path);
  }
  int open(const std::filesystem::path& path, bool writable, bool create, int& fd) override {
    if (create) change();
    return FileLayer::open(path, writable, create, fd);
  }

 private:
  void change() {
    if (++changes_ == killAt_) ::raise(SIGKILL);
  }
  long killAt_;
  long changes_ = 0;
};

TEST_F(Reorganisation, KilledAtAnyPointItLosesAndDoublesNoRecord) {
  const Contents expected = contents(dir);
  // How many changes a whole run makes, on a copy of the directory.
  long total = 0;
  {
    const std::filesystem::path copy = dir.string() + "-copia";
    std::filesystem::copy(dir, copy);
    KillingLayer counter(-1);
    Workspace ws(copy, &counter);
    DataDirLock lock(copy);
    ReorgOptions options;
    options.today = kToday;
    ASSERT_TRUE(INDEXAYA(ws, lock, options).done);
    total = counter.changes();
    std::filesystem::remove_all(copy);
  }
  ASSERT_GT(total, 100);
  // Some 80 points spread over the run, the first and last changes among them.
  std::set<long> points = {1, 2, 3, total - 2, total - 1};
  for (long k = 1; k <= total; k += std::max(1L, total / 80)) points.insert(k);
  size_t killed = 0;
  for (long killAt : points) {
    SCOPED_TRACE("killed at change " + std::to_string(killAt) + " of " + std::to_string(total));
    Child run([&](Child&) {
      KillingLayer layer(killAt);
      Workspace ws(dir, &layer);
      DataDirLock lock(dir);
      ReorgOptions options;
      options.today = kToday;
      INDEXAYA(ws, lock, options);
      return 0;
    });
    killed += run.wait() == -1;
    // The next start: missing index files built, every table opened shared.
    {
      Workspace ws(dir);
      INDEXAFI(ws);
      ABREFI(ws);
      for (std::string_view t : kAllTables)
        if (WorkArea* a = ws.find(std::string(t))) EXPECT_TRUE(checkIndex(*a).empty()) << t;
    }
    ASSERT_EQ(contents(dir), expected);
  }
  EXPECT_EQ(killed, points.size());  // every run died where it was meant to
  // And a later reorganisation finishes from whatever was left.
  ASSERT_TRUE(reorganise().done);
  EXPECT_EQ(contents(dir), expected);
  EXPECT_FALSE(std::filesystem::exists(dir / "TEMP.DBF"));
}

}  // namespace
}  // namespace canalix::store
