// Work areas within one process: navigation over visible records, the record
// buffer and its errors, the header rules of shared and exclusive use, pack.
#include <gtest/gtest.h>

#include "store/file_layer.h"
#include "store/table_engine.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

class WorkAreaTest : public ScratchDir {
 protected:
  // Table T with records numbered 1..n in field K; those in `deleted` marked deleted.
  WorkArea& table(Workspace& ws, int n, std::initializer_list<int> deleted = {}, bool shared = false) {
    ws.DBCREATE("T.DBF", {{"K", 'N', 3, 0}, {"S", 'C', 4, 0}});
    EXPECT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
    WorkArea& t = ws.area("T");
    for (int i = 1; i <= n; ++i) {
      t.DBAPPEND();
      t.put("K", double(i));
    }
    for (int d : deleted) {
      t.DBGOTO(uint32_t(d));
      t.DBDELETE();
    }
    t.DBCLOSEAREA();
    EXPECT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", shared));
    return ws.area("T");
  }
  static std::string visit(WorkArea& t) {
    std::string seen;
    for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) seen += std::to_string(t.RECNO()) + " ";
    return seen;
  }
};

TEST_F(WorkAreaTest, NavigationSkipsDeletedRecordsBothWays) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 5, {2, 4});
  EXPECT_EQ(visit(t), "1 3 5 ");
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RECNO(), 6u);
  EXPECT_EQ(t.getNumber("K"), 0);
  EXPECT_EQ(t.getText("S"), "    ");

  t.DBSKIP(-1);  // from end of file back onto the last visible record
  EXPECT_EQ(t.RECNO(), 5u);
  t.DBSKIP(-1);
  EXPECT_EQ(t.RECNO(), 3u);
  t.DBSKIP(-5);  // before the first: stands on it with BOF
  EXPECT_TRUE(t.Bof());
  EXPECT_FALSE(t.Eof());
  EXPECT_EQ(t.RECNO(), 1u);
  t.DBSKIP(2);
  EXPECT_EQ(t.RECNO(), 5u);
  EXPECT_FALSE(t.Bof());
  t.DBGOBOTTOM();
  EXPECT_EQ(t.RECNO(), 5u);

  t.DBGOTO(4);  // deleted records are reachable by number
  EXPECT_FALSE(t.Eof());
  EXPECT_TRUE(t.DELETED());
  EXPECT_EQ(t.getNumber("K"), 4);
  t.DBGOTO(99);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RECNO(), 6u);
}

TEST_F(WorkAreaTest, NoVisibleRecordGivesEndOfFileAtTopAndBottom) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 2, {1, 2});
  t.DBGOTOP();
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  t.DBGOBOTTOM();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RECNO(), 3u);
}

TEST_F(WorkAreaTest, FilterHidesRecordsAndEvalRunsOverVisibleOnes) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 6, {3});
  t.DBSETFILTER([](WorkArea& a) { return int(a.getNumber("K")) % 2 == 1; }, "K % 2 = 1");
  EXPECT_EQ(t.filterText(), "K % 2 = 1");
  EXPECT_EQ(visit(t), "1 5 ");
  double sum = 0;
  t.DBEVAL([&](WorkArea& a) { sum += a.getNumber("K"); }, [](WorkArea& a) { return a.getNumber("K") > 1; });
  EXPECT_EQ(sum, 5);
  t.DBCLEARFILTER();
  EXPECT_EQ(visit(t), "1 2 4 5 6 ");
}

TEST_F(WorkAreaTest, ExclusiveAppendsRewriteTheHeaderAtCommitWithEndByte) {
  Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"K", 'N', 3, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
  WorkArea& t = ws.current();
  t.DBAPPEND();
  t.put("K", 7.0);
  t.DBAPPEND();
  EXPECT_EQ(t.LASTREC(), 2u);
  EXPECT_EQ(headerCount(bytes("T.DBF")), 0u);  // not before the commit
  t.DBCOMMIT();
  const std::string b = bytes("T.DBF");
  EXPECT_EQ(headerCount(b), 2u);
  EXPECT_EQ(b.size(), size_t(32 + 32 + 2 + 2 * 4 + 1));
  EXPECT_EQ(b.substr(b.size() - 9), std::string("   7    \x1A"));
}

TEST_F(WorkAreaTest, SharedAppendWritesTheCountAtOnceWithoutEndByte) {
  Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"K", 'N', 3, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& t = ws.current();
  ASSERT_TRUE(t.DBAPPEND());
  EXPECT_TRUE(t.isLocked(1));
  std::string b = bytes("T.DBF");
  EXPECT_EQ(headerCount(b), 1u);
  EXPECT_EQ(b.size(), size_t(66 + 4));
  t.put("K", 5.0);
  ASSERT_TRUE(t.DBAPPEND());  // releases record 1, writing it first
  EXPECT_FALSE(t.isLocked(1));
  EXPECT_TRUE(t.isLocked(2));
  EXPECT_EQ(recordBytes("T.DBF", 1), "   5");
  ws.DBCLOSEALL();
  b = bytes("T.DBF");
  EXPECT_EQ(headerCount(b), 2u);
  EXPECT_EQ(b.size(), size_t(66 + 8));  // closing a shared table never cuts it
}

TEST_F(WorkAreaTest, ChangesReachTheFileWhenTheAreaLeavesTheRecord) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 2);
  t.DBGOTO(1);
  t.put("S", std::string("ab"));
  EXPECT_EQ(recordBytes("T.DBF", 1), "   1    ");
  t.DBSKIP();
  EXPECT_EQ(recordBytes("T.DBF", 1), "   1ab  ");
  t.put("S", std::string("cd"));
  t.DBCOMMIT();
  EXPECT_EQ(recordBytes("T.DBF", 2), "   2cd  ");
}

TEST_F(WorkAreaTest, WidthErrorDiscardsTheBufferAndNamesFieldAndValue) {
  Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"S", 'C', 2, 0}, {"IMPORTE", 'N', 6, 2}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& t = ws.current();
  ASSERT_TRUE(t.DBAPPEND());
  t.put("IMPORTE", 3.5);
  t.DBCOMMIT();
  const std::string before = bytes("T.DBF");
  t.put("S", std::string("zz"));
  try {
    t.put("importe", 12345.6);
    FAIL() << "no width error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.genCode(), 34);
    EXPECT_EQ(e.subCode(), 1021);
    EXPECT_NE(e.detail().find("IMPORTE"), std::string::npos) << e.detail();
    EXPECT_NE(e.detail().find("12345.6"), std::string::npos) << e.detail();
  }
  EXPECT_EQ(t.getNumber("importe"), 3.5);
  EXPECT_EQ(t.getText("S"), "  ");
  ws.DBCLOSEALL();
  EXPECT_EQ(bytes("T.DBF"), before);
  EXPECT_EQ(bytes("T.DBF").find('*'), std::string::npos);
}

TEST_F(WorkAreaTest, WritesThatMustFail) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 2, {}, /*shared=*/true);
  t.DBGOTO(1);
  expectError([&] { t.put("K", 1.0); }, 38, 1022);  // shared, not locked
  ASSERT_TRUE(t.RLOCK());
  expectError([&] { t.put("K", std::string("1")); }, 33, 1020);
  expectError([&] { t.put("S", 1.0); }, 33, 1020);
  expectError([&] { t.put("NOPE", 1.0); }, 14, 1003);
  t.DBGOTO(2);
  expectError([&] { t.DBDELETE(); }, 38, 1022);  // the lock was on record 1
  ASSERT_TRUE(t.FLOCK());
  t.DBDELETE();  // the file lock covers every record
  expectError([&] { t.DBPACK(); }, 37, 1023);
  ws.DBCLOSEALL();

  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true, /*readOnly=*/true));
  expectError([&] { ws.current().put("K", 1.0); }, 39, 1025);
  expectError([&] { ws.current().DBAPPEND(); }, 39, 1025);
  EXPECT_EQ(visit(ws.current()), "1 ");
}

TEST_F(WorkAreaTest, PackRemovesDeletedRecordsAndRenumbers) {
  Workspace ws(dir);
  WorkArea& t = table(ws, 5, {1, 4});
  t.DBPACK();
  EXPECT_EQ(t.LASTREC(), 3u);
  std::string keys;
  for (uint32_t n = 1; n <= 3; ++n) {
    t.DBGOTO(n);
    keys += std::to_string(int(t.getNumber("K")));
  }
  EXPECT_EQ(keys, "235");
  ws.DBCLOSEALL();
  const std::string b = bytes("T.DBF");
  EXPECT_EQ(headerCount(b), 3u);
  EXPECT_EQ(b.size(), size_t(98 + 3 * 8 + 1));
  EXPECT_EQ(b.back(), '\x1A');
  for (const auto& e : std::filesystem::directory_iterator(dir)) EXPECT_EQ(e.path().filename(), "T.DBF");
}

TEST_F(WorkAreaTest, AliasesAndAreas) {
  Workspace ws(dir);
  table(ws, 1, {}, /*shared=*/true);
  ASSERT_TRUE(ws.DBUSEAREA(true, "t.dbf", "otra", true));  // case-blind file name
  EXPECT_EQ(ws.current().alias(), "OTRA");
  EXPECT_TRUE(ws.used("t"));
  expectError([&] { ws.DBUSEAREA(true, "T.DBF", "Otra", true); }, 16, 1011);
  ws.select("T");
  EXPECT_EQ(ws.current().alias(), "T");
  ASSERT_TRUE(ws.DBUSEAREA(false, "T.DBF", "TERCERA", true));  // replaces the current area
  EXPECT_FALSE(ws.used("T"));
  EXPECT_EQ(ws.aliases(), (std::vector<std::string>{"OTRA", "TERCERA"}));
  expectError([&] { ws.area("NINGUNA"); }, 15, 1002);
  expectError([&] { ws.DBUSEAREA(true, "NOEXISTE.DBF", "", true); }, 21, 1001);
}

// A file layer whose writes fail once armed, as a full disk would.
class FailingWrites : public FileLayer {
 public:
  int write(int fd, uint64_t offset, const void* buf, size_t n) override {
    if (armed) return ENOSPC;
    return FileLayer::write(fd, offset, buf, n);
  }
  bool armed = false;
};

TEST_F(WorkAreaTest, FailedAppendWriteLeavesTheTableAsItWas) {
  FailingWrites env;
  Workspace ws(dir, &env);
  ws.DBCREATE("T.DBF", {{"K", 'N', 3, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  ASSERT_TRUE(ws.current().DBAPPEND());
  ws.current().DBCOMMIT();
  const std::string before = bytes("T.DBF");
  env.armed = true;
  expectError([&] { ws.current().DBAPPEND(); }, 24, 1011);
  env.armed = false;
  EXPECT_EQ(bytes("T.DBF"), before);
  EXPECT_EQ(ws.current().LASTREC(), 1u);
  ASSERT_TRUE(ws.current().DBAPPEND());  // the append byte was released
  EXPECT_EQ(ws.current().RECNO(), 2u);
}

}  // namespace
}  // namespace canalix::store
