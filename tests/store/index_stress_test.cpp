// The index under load and under damage: long random runs of appends, key
// changes and deletes checked against the records and a plain model; two
// processes changing one indexed table; index files damaged at random.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/index_check.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

class IndexStressTest : public ScratchDir {
 protected:
  // PARCELAS-like: a wide name (long shared prefixes), a descending number
  // as text, and a date; every tag with "!DELETED()".
  void createTable(Workspace& ws) {
    ws.DBCREATE("P.DBF", {{"Nombre", 'C', 30, 0}, {"Consumo", 'N', 8, 0}, {"Fecha", 'D', 8, 0}});
    ASSERT_TRUE(ws.DBUSEAREA(true, "P.DBF", "", false));
    WorkArea& t = ws.current();
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("P", "NOMBRE", "P->Nombre");
    t.ORDCONDSET("!DELETED()", true);
    t.ORDCREATE("P", "CONSUMO", "str(P->Consumo,8)");
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("P", "FECHA", "DTOS(P->Fecha)+P->Nombre");
    ws.DBCLOSEALL();
  }
  static std::string name(std::mt19937& rng) {
    static const char* kFirst[] = {"GARCIA LOPEZ ", "GARCIA MARTIN ", "LOPEZ ", "MARTINEZ RUIZ ", "PEREZ "};
    return kFirst[rng() % 5] + std::to_string(rng() % 4000);
  }
  static void fill(WorkArea& t, std::mt19937& rng) {
    t.put("Nombre", name(rng));
    t.put("Consumo", double(rng() % 100000));
    t.put("Fecha", makeDate(2010 + int(rng() % 5), 1 + int(rng() % 12), 1 + int(rng() % 28)));
  }
  static std::string problems(WorkArea& t) {
    std::string all;
    for (const std::string& p : checkIndex(t)) all += p + "\n";
    return all;
  }
};

TEST_F(IndexStressTest, RandomChangesKeepEveryTagSound) {
  Workspace ws(dir);
  createTable(ws);
  ASSERT_TRUE(ws.DBUSEAREA(true, "P.DBF", "", false));
  WorkArea& t = ws.current();
  std::mt19937 rng(2014);
  // The model: the name of every live record (for the NOMBRE order), and the
  // live records as a list to pick from.
  std::map<uint32_t, std::string> live;
  std::vector<uint32_t> pick;
  auto drop = [&](size_t i) {
    live.erase(pick[i]);
    pick[i] = pick.back();
    pick.pop_back();
  };
  constexpr int kBatches = 10, kPerBatch = 20000;
  for (int batch = 0; batch < kBatches; ++batch) {
    for (int i = 0; i < kPerBatch; ++i) {
      const unsigned op = rng() % 10;
      if (op < 5 || pick.size() < 100) {
        t.DBAPPEND();
        fill(t, rng);
        live[t.RECNO()] = t.getText("Nombre");
        pick.push_back(t.RECNO());
        continue;
      }
      const size_t at = rng() % pick.size();
      t.DBGOTO(pick[at]);
      if (op < 8) {
        fill(t, rng);
        live[pick[at]] = t.getText("Nombre");
      } else {
        t.DBDELETE();
        drop(at);
      }
    }
    // The last batches delete nearly everything, so pages empty out at every level.
    if (batch >= kBatches - 2) {
      for (size_t i = 0; i < pick.size();) {
        if (rng() % 20 == 0) {
          ++i;
          continue;
        }
        t.DBGOTO(pick[i]);
        t.DBDELETE();
        drop(i);
      }
    }
    SCOPED_TRACE("batch " + std::to_string(batch));
    ASSERT_EQ(problems(t), "");
    t.DBSETORDER(1);
    std::multimap<std::string, uint32_t> expected;
    for (const auto& [recno, n] : live) expected.insert({n, recno});
    auto want = expected.begin();
    size_t seen = 0;
    for (t.DBGOTOP(); !t.Eof(); t.DBSKIP(), ++want, ++seen) {
      ASSERT_NE(want, expected.end());
      ASSERT_EQ(t.RECNO(), want->second);
    }
    EXPECT_EQ(seen, live.size());
    EXPECT_EQ(t.ORDKEYCOUNT(), live.size());
    t.DBSETORDER(0);
  }
}

TEST_F(IndexStressTest, TwoProcessesChangingOneIndexedTable) {
  {
    Workspace ws(dir);
    createTable(ws);
  }
  constexpr int kOps = 1500;
  auto worker = [&](unsigned seed) -> int {
    Workspace ws(dir);
    if (!ws.DBUSEAREA(true, "P.DBF", "", true)) return 1;
    WorkArea& t = ws.current();
    std::mt19937 rng(seed);
    for (int i = 0; i < kOps; ++i) {
      if (rng() % 3 != 0 || t.LASTREC() == 0) {
        if (!t.DBAPPEND()) return 2;
        fill(t, rng);
        t.put("Consumo", double(seed));  // which copy appended it
        t.DBRUNLOCK();
        continue;
      }
      t.DBGOTO(1 + uint32_t(rng() % t.LASTREC()));
      if (!t.RLOCK()) continue;  // the other copy holds it: try another
      if (rng() % 4 == 0)
        t.DBDELETE();
      else
        t.put("Nombre", name(rng));
      t.DBRUNLOCK();
    }
    ws.DBCLOSEALL();
    return 0;
  };
  pid_t pids[2];
  for (int c = 0; c < 2; ++c) {
    pids[c] = fork();
    if (pids[c] == 0) {
      int rc = 3;
      try {
        rc = worker(unsigned(c + 1));
      } catch (...) {
      }
      _exit(rc);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
  }
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "P.DBF", "", true));
  WorkArea& t = ws.current();
  EXPECT_EQ(problems(t), "");
  EXPECT_GT(t.LASTREC(), uint32_t(kOps));  // both copies' appends are there
  // Each copy sees the other's changes: the CONSUMO order holds keys of both.
  t.DBSETORDER(2);
  EXPECT_TRUE(t.DBSEEK(std::string("       2")));
  EXPECT_TRUE(t.DBSEEK(std::string("       1")));
}

TEST_F(IndexStressTest, DamagedIndexFilesGiveTheCorruptionErrorNeverACrash) {
  {
    Workspace ws(dir);
    createTable(ws);
    ASSERT_TRUE(ws.DBUSEAREA(true, "P.DBF", "", false));
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
      ws.current().DBAPPEND();
      fill(ws.current(), rng);
    }
  }
  const std::string good = bytes("P.CDX");
  const std::string table = bytes("P.DBF");
  std::mt19937 rng(99);
  int refused = 0;
  for (int round = 0; round < 150; ++round) {
    std::string b = good;
    if (round % 3 == 0) {  // a whole page of noise, as after a torn write
      const size_t page = 512 * (rng() % (b.size() / 512));
      for (size_t i = 0; i < 512; ++i) b[page + i] = char(rng());
    } else {
      for (unsigned n = 1 + rng() % 8; n > 0; --n) b[rng() % b.size()] = char(rng());
    }
    writeBytes("P.CDX", b);
    SCOPED_TRACE("round " + std::to_string(round));
    try {
      Workspace ws(dir);
      if (!ws.DBUSEAREA(true, "P.DBF", "", true, true)) continue;
      WorkArea& t = ws.current();
      for (int order = 1; order <= t.orderCount(); ++order) {
        t.DBSETORDER(order);
        uint32_t steps = 0;
        for (t.DBGOTOP(); !t.Eof() && steps <= 20000; t.DBSKIP()) ++steps;
        ASSERT_LE(steps, 20000u) << "navigation went round";
        for (t.DBGOBOTTOM(); !t.Bof() && steps <= 40000; t.DBSKIP(-1)) ++steps;
        ASSERT_LE(steps, 40000u) << "navigation went round";
        t.DBSEEK(std::string("PEREZ"), true);
        t.ORDKEYCOUNT();
      }
      checkIndex(t);
    } catch (const EngineError& e) {
      EXPECT_EQ(e.genCode(), 32) << e.what();
      ++refused;
    }
    ASSERT_EQ(bytes("P.CDX"), b) << "a read-only check wrote to the index";
    ASSERT_EQ(bytes("P.DBF"), table);
  }
  EXPECT_GT(refused, 25);
}

}  // namespace
}  // namespace canalix::store
