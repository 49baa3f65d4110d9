// Benchmark of the orders over a receipts table, against SQLite doing the same
// work in the same run: build the eleven RECIBOS tags over N receipts, run
// random seeks, scoped key counts and a full ordered walk. Prints each figure
// and the ratio ours / SQLite. Not a test: run it by hand,
//   build/bench_recibos [RECEIPTS]     (default 200000)
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "store/catalogue.h"
#include "store/table_engine.h"

namespace {

using namespace canalix::store;
using Clock = std::chrono::steady_clock;

struct Receipt {
  std::string parcela, ano, numRecibo, socio, nombre, finca;
  double superficie, consumo;
};

// The eleven tags of RECIBOS, as their stored texts.
const char* kTags[][2] = {
    {"NUMPARCELA", "RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo"},
    {"ANO", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumParcela"},
    {"ANO2", "RECIBOS->Ano+RECIBOS->NumRecibo"},
    {"ANO3", "RECIBOS->Ano+RECIBOS->NumParcela+RECIBOS->NumRecibo"},
    {"ANO4", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumParcela"},
    {"ANO5", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumSocio"},
    {"ANO6", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Nombre"},
    {"ANO7", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Parcela"},
    {"ANO8", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Superficie)"},
    {"ANO9", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Consumo)"},
    {"RECIPEN", "RECIBOS->NumSocio+RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo"},
};
const bool kDescending[] = {true, true, false, false, false, false, false, false, false, false, false};

// The same orders as SQLite indexes over plain columns.
const char* kSqlIndexes[] = {
    "(parcela DESC, ano DESC, numrecibo DESC)", "(ano DESC, numrecibo DESC, parcela DESC)", "(ano, numrecibo)",
    "(ano, parcela, numrecibo)", "(ano, numrecibo, parcela)", "(ano, numrecibo, socio)", "(ano, numrecibo, nombre)",
    "(ano, numrecibo, finca)", "(ano, numrecibo, superficie)", "(ano, numrecibo, consumo)",
    "(socio, parcela, ano, numrecibo)",
};

std::string digits(unsigned v, int width) {
  std::string s = std::to_string(v);
  return std::string(size_t(width) - s.size(), '0') + s;
}

std::vector<Receipt> receipts(size_t n) {
  std::mt19937 rng(1);
  std::vector<Receipt> out;
  for (size_t i = 0; i < n; ++i) {
    const unsigned parcel = unsigned(rng() % 20000) + 1;
    out.push_back({digits(parcel, 5), digits(2000 + unsigned(rng() % 15), 4), digits(unsigned(rng() % 12) + 1, 2),
                   digits(parcel / 4 + 1, 4), "SOCIO " + std::to_string(parcel / 4), "FINCA " + std::to_string(parcel),
                   double(rng() % 100000) / 100, double(rng() % 500000)});
  }
  return out;
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Figures {
  double build, seeks, counts, walk;
};

Figures ours(const std::filesystem::path& dir, const std::vector<Receipt>& rows, const std::vector<std::string>& probes,
             const std::vector<std::string>& years) {
  Workspace ws(dir);
  ws.DBCREATE("RECIBOS.DBF", catalogueStructure("RECIBOS"));
  ws.DBUSEAREA(true, "RECIBOS.DBF", "", false);
  WorkArea& t = ws.current();
  for (const Receipt& r : rows) {
    t.DBAPPEND();
    t.put("NumParcela", r.parcela);
    t.put("Ano", r.ano);
    t.put("NumRecibo", r.numRecibo);
    t.put("NumSocio", r.socio);
    t.put("Nombre", r.nombre);
    t.put("Parcela", r.finca);
    t.put("Superficie", r.superficie);
    t.put("Consumo", r.consumo);
  }
  t.DBCOMMIT();
  Figures f{};
  auto start = Clock::now();
  for (size_t i = 0; i < std::size(kTags); ++i) {
    t.ORDCONDSET("!DELETED()", kDescending[i]);
    t.ORDCREATE("RECIBOS", kTags[i][0], kTags[i][1]);
  }
  f.build = seconds(start);
  t.DBSETORDER(1);
  start = Clock::now();
  size_t hits = 0;
  for (const std::string& p : probes) hits += t.DBSEEK(p) ? 1 : 0;
  f.seeks = seconds(start);
  t.DBSETORDER(3);
  start = Clock::now();
  size_t keys = 0;
  for (const std::string& y : years) {
    t.ORDSCOPE(0, y);
    t.ORDSCOPE(1, y);
    keys += t.ORDKEYCOUNT();
  }
  f.counts = seconds(start);
  t.DBSETORDER(11);
  start = Clock::now();
  size_t walked = 0;
  for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) ++walked;
  f.walk = seconds(start);
  std::printf("  ours:   %zu seeks found, %zu keys counted, %zu walked\n", hits, keys, walked);
  return f;
}

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error);
    std::exit(1);
  }
}

Figures sqlite(const std::filesystem::path& dir, const std::vector<Receipt>& rows, const std::vector<std::string>& probes,
               const std::vector<std::string>& years) {
  sqlite3* db = nullptr;
  sqlite3_open((dir / "recibos.db").c_str(), &db);
  exec(db, "PRAGMA journal_mode=DELETE; CREATE TABLE r(parcela TEXT, ano TEXT, numrecibo TEXT, socio TEXT, "
           "nombre TEXT, finca TEXT, superficie REAL, consumo REAL)");
  exec(db, "BEGIN");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO r VALUES(?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
  for (const Receipt& r : rows) {
    const std::string* texts[] = {&r.parcela, &r.ano, &r.numRecibo, &r.socio, &r.nombre, &r.finca};
    for (int i = 0; i < 6; ++i) sqlite3_bind_text(ins, i + 1, texts[i]->c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_double(ins, 7, r.superficie);
    sqlite3_bind_double(ins, 8, r.consumo);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  exec(db, "COMMIT");
  Figures f{};
  auto start = Clock::now();
  for (size_t i = 0; i < std::size(kSqlIndexes); ++i)
    exec(db, "CREATE INDEX i" + std::to_string(i) + " ON r" + kSqlIndexes[i]);
  f.build = seconds(start);
  sqlite3_stmt* seek = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT rowid FROM r WHERE parcela = ? ORDER BY parcela DESC, ano DESC, numrecibo DESC LIMIT 1",
                     -1, &seek, nullptr);
  start = Clock::now();
  size_t hits = 0;
  for (const std::string& p : probes) {
    sqlite3_bind_text(seek, 1, p.c_str(), -1, SQLITE_STATIC);
    hits += sqlite3_step(seek) == SQLITE_ROW ? 1 : 0;
    sqlite3_reset(seek);
  }
  f.seeks = seconds(start);
  sqlite3_finalize(seek);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM r INDEXED BY i2 WHERE ano = ?", -1, &count, nullptr);
  start = Clock::now();
  size_t keys = 0;
  for (const std::string& y : years) {
    sqlite3_bind_text(count, 1, y.c_str(), -1, SQLITE_STATIC);
    if (sqlite3_step(count) == SQLITE_ROW) keys += size_t(sqlite3_column_int64(count, 0));
    sqlite3_reset(count);
  }
  f.counts = seconds(start);
  sqlite3_finalize(count);
  sqlite3_stmt* walk = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid FROM r INDEXED BY i10 ORDER BY socio, parcela, ano, numrecibo", -1, &walk,
                     nullptr);
  start = Clock::now();
  size_t walked = 0;
  while (sqlite3_step(walk) == SQLITE_ROW) ++walked;
  f.walk = seconds(start);
  sqlite3_finalize(walk);
  sqlite3_close(db);
  std::printf("  sqlite: %zu seeks found, %zu keys counted, %zu walked\n", hits, keys, walked);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? size_t(std::atol(argv[1])) : 200000;
  char tmpl[] = "/tmp/canalix-bench-XXXXXX";
  const std::filesystem::path dir = mkdtemp(tmpl);
  const std::vector<Receipt> rows = receipts(n);
  std::mt19937 rng(2);
  std::vector<std::string> probes, years;
  for (int i = 0; i < 100000; ++i) probes.push_back(digits(unsigned(rng() % 20000) + 1, 5));
  for (int i = 0; i < 200; ++i) years.push_back(digits(2000 + unsigned(rng() % 15), 4));
  std::printf("%zu receipts, %zu seeks, %zu scoped key counts, one ordered walk\n", n, probes.size(), years.size());
  const Figures a = ours(dir, rows, probes, years);
  const Figures b = sqlite(dir, rows, probes, years);
  auto line = [](const char* what, double x, double y) {
    std::printf("%-28s ours %8.3f s   sqlite %8.3f s   ours/sqlite %6.2f\n", what, x, y, x / y);
  };
  line("build the eleven orders", a.build, b.build);
  line("100000 random seeks", a.seeks, b.seeks);
  line("200 scoped key counts", a.counts, b.counts);
  line("ordered walk", a.walk, b.walk);
  std::filesystem::remove_all(dir);
  return 0;
}
