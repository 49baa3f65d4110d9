// Orders of a work area over a real compound index file: key order, seeks,
// scopes, key counts, upkeep on every write, pack, and a second process
// changing the index while this one reads it.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "store/work_area_state.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

std::string hex(const std::string& b) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : b) out += d[c >> 4], out += d[c & 15];
  return out;
}

class OrdersTest : public ScratchDir {
 protected:
  // SOCIOS-like members: number, name, payment method; and the three orders.
  WorkArea& members(Workspace& ws, bool shared = false) {
    ws.DBCREATE("SOCIOS.DBF", {{"NumSocio", 'C', 4, 0}, {"Nombre", 'C', 10, 0}, {"Pago", 'N', 1, 0}});
    EXPECT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "", false));
    WorkArea& t = ws.current();
    const struct {
      const char* num;
      const char* name;
      int pago;
    } rows[] = {{"0003", "PEREZ", 1}, {"0010", "ALONSO", 2}, {"0002", "PEREZ", 1}, {"0005", "GARCIA", 0},
                {"0007", "ZAFRA", 2}};
    for (const auto& r : rows) {
      t.DBAPPEND();
      t.put("NumSocio", std::string(r.num));
      t.put("Nombre", std::string(r.name));
      t.put("Pago", double(r.pago));
    }
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("SOCIOS", "NOMBRE", "SOCIOS->Nombre");
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("SOCIOS", "NUMSOCIO", "SOCIOS->NumSocio");
    t.ORDCONDSET("!DELETED()", true);
    t.ORDCREATE("SOCIOS", "PAGO", "str(SOCIOS->Pago,1)");
    if (!shared) return t;
    ws.DBCLOSEALL();
    EXPECT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "", true));
    return ws.current();
  }
  static std::string walk(WorkArea& t, bool backwards = false) {
    std::string seen;
    if (backwards) {
      for (t.DBGOBOTTOM(); !t.Bof(); t.DBSKIP(-1)) seen += std::to_string(t.RECNO());
    } else {
      for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) seen += std::to_string(t.RECNO());
    }
    return seen;
  }
};

TEST_F(OrdersTest, RecordsAreVisitedInKeyOrderBothWays) {
  Workspace ws(dir);
  WorkArea& t = members(ws);
  EXPECT_EQ(t.orderCount(), 3);
  EXPECT_EQ(t.INDEXORD(), 3);  // the last tag built is controlling
  EXPECT_EQ(t.orderNumber("numsocio"), 2);
  struct Case {
    int order;
    const char* forward;
  } cases[] = {
      {0, "12345"},
      {1, "24135"},  // ALONSO, GARCIA, PEREZ (1), PEREZ (3), ZAFRA: equal keys by record number
      {2, "31452"},
      {3, "52314"},  // descending on Pago: equal keys reversed too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    t.DBSETORDER(c.order);
    EXPECT_EQ(walk(t), c.forward);
    std::string back = c.forward;
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(walk(t, true), back);
  }
  t.DBSETORDER(9);
  EXPECT_EQ(t.INDEXORD(), 0);
}

TEST_F(OrdersTest, SeekFindsPrefixesAndSoftSeekStandsOnTheNextKey) {
  Workspace ws(dir);
  WorkArea& t = members(ws);
  t.DBSETORDER(2);
  EXPECT_TRUE(t.DBSEEK(std::string("0005")));
  EXPECT_EQ(t.RECNO(), 4u);
  EXPECT_TRUE(t.Found());
  EXPECT_FALSE(t.DBSEEK(std::string("0001")));
  EXPECT_TRUE(t.Eof());
  EXPECT_FALSE(t.Found());
  EXPECT_FALSE(t.DBSEEK(std::string("0001"), true));
  EXPECT_EQ(t.RECNO(), 3u);  // 0002, the next member number
  ws.setSoftSeek(true);
  EXPECT_FALSE(t.DBSEEK(std::string("0004")));
  EXPECT_EQ(t.RECNO(), 4u);
  EXPECT_FALSE(t.DBSEEK(std::string("9")));
  EXPECT_TRUE(t.Eof());
  ws.setSoftSeek(false);
  t.DBSETORDER(1);
  EXPECT_TRUE(t.DBSEEK(std::string("PER")));
  EXPECT_EQ(t.RECNO(), 1u);  // the first of the two PEREZ
  t.DBSKIP();
  EXPECT_EQ(t.RECNO(), 3u);
  t.DBSETORDER(3);  // descending: "first" follows the descending sequence
  EXPECT_TRUE(t.DBSEEK(std::string("1")));
  EXPECT_EQ(t.RECNO(), 3u);
  EXPECT_FALSE(t.DBSEEK(std::string("3"), true));
  EXPECT_EQ(t.RECNO(), 5u);  // after "3" in descending order comes the first "2"
}

TEST_F(OrdersTest, DescendingCompoundKeyFindsTheLatestYearOfAParcel) {
  Workspace ws(dir);
  ws.DBCREATE("RECIBOS.DBF", {{"NumParcela", 'C', 5, 0}, {"Ano", 'C', 4, 0}, {"NumRecibo", 'C', 2, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "RECIBOS.DBF", "", false));
  WorkArea& t = ws.current();
  const char* rows[][3] = {{"00012", "2012", "01"}, {"00012", "2014", "01"}, {"00012", "2014", "02"},
                           {"00013", "2015", "01"}, {"00012", "2013", "05"}};
  for (auto& r : rows) {
    t.DBAPPEND();
    t.put("NumParcela", std::string(r[0]));
    t.put("Ano", std::string(r[1]));
    t.put("NumRecibo", std::string(r[2]));
  }
  t.ORDCONDSET("!DELETED()", true);
  t.ORDCREATE("RECIBOS", "NUMPARCELA", "RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo");
  EXPECT_TRUE(t.DBSEEK(std::string("00012")));
  EXPECT_EQ(t.RECNO(), 3u);  // 2014, receipt 02
  t.DBSKIP();
  EXPECT_EQ(t.RECNO(), 2u);
  // Both scopes on one prefix limit the order to it, in a descending order too.
  t.ORDSCOPE(0, std::string("00012"));
  t.ORDSCOPE(1, std::string("00012"));
  EXPECT_EQ(walk(t), "3251");
  EXPECT_EQ(t.ORDKEYCOUNT(), 4u);
  t.ORDSCOPE(0, std::string("000122013"));  // the top of a descending order hides the keys above it
  EXPECT_EQ(walk(t), "51");
  t.ORDSCOPE(0, std::nullopt);
  t.ORDSCOPE(1, std::nullopt);
  EXPECT_EQ(t.ORDKEYCOUNT(), 5u);
}

TEST_F(OrdersTest, ScopesInAnAscendingOrder) {
  Workspace ws(dir);
  WorkArea& t = members(ws);
  t.DBSETORDER(2);
  t.ORDSCOPE(0, std::string("0003"));
  t.ORDSCOPE(1, std::string("0007"));
  EXPECT_EQ(walk(t), "145");
  EXPECT_EQ(walk(t, true), "541");
  EXPECT_EQ(t.ORDKEYCOUNT(), 3u);
  t.DBGOTOP();
  t.DBSKIP();
  EXPECT_EQ(t.ORDKEYNO(), 2u);
  t.DBSETFILTER([](WorkArea& a) { return a.getNumber("Pago") != 0; }, "Pago <> 0");
  EXPECT_EQ(t.ORDKEYCOUNT(), 2u);
  EXPECT_FALSE(t.DBSEEK(std::string("0002")));  // outside the scope
}

TEST_F(OrdersTest, EveryWriteKeepsEveryOrderUpToDate) {
  {
    Workspace ws(dir);
    WorkArea& t = members(ws, /*shared=*/true);
    t.DBSETORDER(2);
    ASSERT_TRUE(t.DBSEEK(std::string("0010")));
    ASSERT_TRUE(t.RLOCK());
    t.put("NumSocio", std::string("0001"));  // moves to the front
    t.put("Nombre", std::string("BAEZ"));
    t.DBRUNLOCK();
    ASSERT_TRUE(t.DBAPPEND());
    t.put("NumSocio", std::string("0004"));
    t.put("Nombre", std::string("ABAD"));
    ASSERT_TRUE(t.DBAPPEND());  // a blank record, keyed as blanks
    t.DBRUNLOCK();
    t.DBGOTO(4);
    ASSERT_TRUE(t.RLOCK());
    t.DBDELETE();
    t.DBRUNLOCK();
    EXPECT_EQ(walk(t), "723165");  // the blank number sorts first
  }
  Workspace ws(dir);  // from the files alone
  ASSERT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "", true));
  WorkArea& t = ws.current();
  EXPECT_TRUE(t.indexAttached());
  EXPECT_EQ(t.INDEXORD(), 0);
  t.DBSETINDEX("SOCIOS");
  EXPECT_EQ(t.INDEXORD(), 1);
  EXPECT_EQ(walk(t), "762135");  // blank name first, then ABAD, BAEZ, PEREZ, PEREZ, ZAFRA
  t.DBSETORDER(2);
  EXPECT_EQ(walk(t), "723165");
  for (int order = 1; order <= 3; ++order) {
    t.DBSETORDER(order);
    EXPECT_EQ(t.ORDKEYCOUNT(), 6u) << order;
  }
  t.DBGOTO(4);
  EXPECT_TRUE(t.DELETED());
  EXPECT_EQ(t.getText("NumSocio"), "0005");
}

TEST_F(OrdersTest, PackRebuildsEveryTag) {
  Workspace ws(dir);
  WorkArea& t = members(ws);
  t.DBGOTO(1);
  t.DBDELETE();
  t.DBGOTO(4);
  t.DBDELETE();
  t.DBPACK();
  t.DBSETORDER(1);
  EXPECT_EQ(walk(t), "123");  // ALONSO (was 2), PEREZ (was 3), ZAFRA (was 5)
  t.DBSETORDER(2);
  EXPECT_EQ(walk(t), "231");
  EXPECT_TRUE(t.DBSEEK(std::string("0007")));
  EXPECT_EQ(t.RECNO(), 3u);
}

TEST(IndexKeys, NumbersAndDatesSortAsBytes) {
  const KeyType n{'N', 8}, d{'D', 8};
  EXPECT_EQ(hex(indexKey(makeDate(2014, 3, 14), d, false)), "c142be4d80000000");  // day 2456731
  EXPECT_EQ(hex(indexKey(-2.5, n, false)), "3ffbffffffffffff");
  EXPECT_EQ(hex(indexKey(0.0, n, false)), "8000000000000000");
  EXPECT_EQ(indexKey(-0.0, n, false), indexKey(0.0, n, false));
  const double values[] = {-1e9, -2.5, -1, -0.001, 0, 0.001, 1, 2.5, 1e9};
  for (size_t i = 1; i < std::size(values); ++i)
    EXPECT_LT(indexKey(values[i - 1], n, false), indexKey(values[i], n, false)) << values[i];
  EXPECT_EQ(indexKey(std::string("AB"), KeyType{'C', 4}, false), "AB  ");
  EXPECT_EQ(indexKey(true, KeyType{'L', 1}, false), "T");
}

TEST_F(OrdersTest, DateOrderDescendingLikeTheCashBook) {
  Workspace ws(dir);
  ws.DBCREATE("CAJA.DBF", {{"Fecha", 'D', 8, 0}, {"Importe", 'N', 8, 2}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "CAJA.DBF", "", false));
  WorkArea& t = ws.current();
  for (Date day : {makeDate(2014, 3, 14), makeDate(2013, 12, 31), makeDate(2014, 1, 2)}) {
    t.DBAPPEND();
    t.put("Fecha", day);
  }
  t.ORDCONDSET("!DELETED()", true);
  t.ORDCREATE("CAJA", "FECHA", "CAJA->Fecha");
  EXPECT_EQ(walk(t), "132");
  EXPECT_TRUE(t.DBSEEK(makeDate(2014, 1, 2)));
  EXPECT_EQ(t.RECNO(), 3u);
}

TEST_F(OrdersTest, ATagThatDoesNotMatchItsExpressionFailsTheOpen) {
  {
    Workspace ws(dir);
    members(ws);
  }
  // Make the NUMSOCIO tag claim 5-byte keys for a 4-character expression.
  std::string b = bytes("SOCIOS.CDX");
  int rc = 0;
  FileLayer env;
  const uint32_t header = CdxFile::open(env, dir / "SOCIOS.CDX", true, rc)->tags()[1].header;
  b[header + 12] = 5;
  writeBytes("SOCIOS.CDX", b);
  Workspace ws(dir);
  try {
    ws.DBUSEAREA(true, "SOCIOS.DBF", "", true);
    FAIL() << "opened";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.genCode(), 32);
    EXPECT_EQ(e.subCode(), 1012);
    EXPECT_NE(e.detail().find("NUMSOCIO"), std::string::npos) << e.detail();
  }
  EXPECT_FALSE(ws.used("SOCIOS"));
  EXPECT_EQ(bytes("SOCIOS.CDX"), b);
}

TEST_F(OrdersTest, AnotherProcessAppendingIsSeenInKeyOrder) {
  {
    Workspace ws(dir);
    members(ws);
  }
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "SOCIOS.DBF", "", true));
  WorkArea& t = ws.current();
  t.DBSETORDER(2);
  EXPECT_EQ(walk(t), "31452");
  const pid_t pid = fork();
  if (pid == 0) {
    int rc = 1;
    try {
      Workspace other(dir);
      if (other.DBUSEAREA(true, "SOCIOS.DBF", "", true)) {
        for (const char* num : {"0001", "0006", "0099"}) {
          if (!other.current().DBAPPEND()) _exit(2);
          other.current().put("NumSocio", std::string(num));
        }
        other.DBCLOSEALL();
        rc = 0;
      }
    } catch (...) {
      rc = 3;
    }
    _exit(rc);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(walk(t), "63147528");
  EXPECT_EQ(t.ORDKEYCOUNT(), 8u);
}

}  // namespace
}  // namespace canalix::store

namespace canalix::store {
namespace {

// A file layer that refuses access to index files, as a share that another
// user's rights close would.
class NoIndexAccess : public FileLayer {
 public:
  int open(const std::filesystem::path& path, bool writable, bool create, int& fd) override {
    if (path.extension() == ".CDX") return EACCES;
    return FileLayer::open(path, writable, create, fd);
  }
};

TEST_F(OrdersTest, AnIndexRefusedByTheSystemFailsTheOpenQuietly) {
  {
    Workspace ws(dir);
    members(ws);
  }
  NoIndexAccess env;
  Workspace ws(dir, &env);
  EXPECT_FALSE(ws.DBUSEAREA(true, "SOCIOS.DBF", "", true));
  EXPECT_TRUE(ws.NETERR());
  EXPECT_FALSE(ws.used("SOCIOS"));
}

}  // namespace
}  // namespace canalix::store
