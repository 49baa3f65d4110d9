// Sharing between real processes: each child is a forked copy that opens the
// table on its own, as another copy of the program on the network would.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "common/child_process.h"
#include "store/table_engine.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

using canalix::testing::Child;

// True when any open file holds a lock over the range at `offset` of `path`
// (asked through a fresh open file, which every lock conflicts with).
bool byteLocked(const std::filesystem::path& path, uint64_t offset, uint64_t length = 1) {
  const int fd = open(path.c_str(), O_RDWR);
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = off_t(offset);
  fl.l_len = off_t(length);
  fcntl(fd, F_OFD_GETLK, &fl);
  close(fd);
  return fl.l_type != F_UNLCK;
}

class SharingTest : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    Workspace ws(dir);
    ws.DBCREATE("T.DBF", {{"WHO", 'N', 1, 0}, {"SEQ", 'N', 5, 0}});
  }
  static constexpr uint32_t kHeader = 32 + 64 + 2, kRecord = 7;
};

TEST_F(SharingTest, TwoProcessesAppendingAtOnceLoseNothing) {
  constexpr int kEach = 300;
  auto appender = [&](int who) {
    return [this, who](Child& self) {
      Workspace ws(dir);
      if (!ws.DBUSEAREA(true, "T.DBF", "", true)) return 1;
      WorkArea& t = ws.current();
      self.signalParent();
      self.waitParent();  // both start together
      for (int i = 1; i <= kEach; ++i) {
        if (!t.DBAPPEND()) return 2;
        t.put("WHO", double(who));
        t.put("SEQ", double(i));
      }
      ws.DBCLOSEALL();
      return 0;
    };
  };
  Child a(appender(1)), b(appender(2));
  a.waitChild();
  b.waitChild();
  a.signalChild();
  b.signalChild();
  ASSERT_EQ(a.wait(), 0);
  ASSERT_EQ(b.wait(), 0);

  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
  WorkArea& t = ws.current();
  ASSERT_EQ(t.LASTREC(), uint32_t(2 * kEach));
  EXPECT_EQ(headerCount(bytes("T.DBF")), uint32_t(2 * kEach));
  std::set<std::pair<int, int>> seen;
  int last[3] = {0, 0, 0};
  for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) {
    const int who = int(t.getNumber("WHO")), seq = int(t.getNumber("SEQ"));
    ASSERT_TRUE(who == 1 || who == 2) << "record " << t.RECNO();
    EXPECT_EQ(seq, last[who] + 1) << "each copy's records in its own order";
    last[who] = seq;
    seen.insert({who, seq});
  }
  EXPECT_EQ(seen.size(), size_t(2 * kEach));
}

TEST_F(SharingTest, LockedRecordIsRefusedAtOnceInAnotherProcess) {
  {
    Workspace ws(dir);
    ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
    for (int i = 0; i < 3; ++i) ws.current().DBAPPEND();
  }
  Child holder([&](Child& self) {
    Workspace ws(dir);
    if (!ws.DBUSEAREA(true, "T.DBF", "", true)) return 1;
    ws.current().DBGOTO(2);
    if (!ws.current().RLOCK()) return 2;
    self.signalParent();
    self.waitParent();
    ws.current().DBRUNLOCK();
    self.signalParent();
    self.waitParent();
    return 0;
  });
  holder.waitChild();

  // The record lock sits at 1 GiB plus the record's offset in a table without index.
  EXPECT_TRUE(byteLocked(dir / "T.DBF", 0x40000000 + kHeader + kRecord));
  EXPECT_FALSE(byteLocked(dir / "T.DBF", 0x40000000 + kHeader));
  EXPECT_FALSE(byteLocked(dir / "T.DBF", 0x40000000));  // the append byte is free

  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& t = ws.current();
  t.DBGOTO(2);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(t.RLOCK());
  EXPECT_FALSE(t.FLOCK());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "the refusal waited";
  t.DBGOTO(3);
  EXPECT_TRUE(t.RLOCK());  // other records stay free
  t.DBRUNLOCK();

  holder.signalChild();
  holder.waitChild();
  t.DBGOTO(2);
  EXPECT_TRUE(t.RLOCK());
  t.DBRUNLOCK();
  EXPECT_TRUE(t.FLOCK());
  holder.signalChild();
  EXPECT_EQ(holder.wait(), 0);
}

TEST_F(SharingTest, FileLockCoversEveryRecordLock) {
  Child holder([&](Child& self) {
    Workspace ws(dir);
    if (!ws.DBUSEAREA(true, "T.DBF", "", true)) return 1;
    ws.current().DBAPPEND();
    ws.current().DBAPPEND();
    if (!ws.current().FLOCK()) return 2;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  holder.waitChild();
  EXPECT_TRUE(byteLocked(dir / "T.DBF", 0x40000001, 0x3FFFFFFD));
  EXPECT_TRUE(byteLocked(dir / "T.DBF", 0x40000000 + kHeader));
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  ws.current().DBGOTO(1);
  EXPECT_FALSE(ws.current().RLOCK());
  holder.signalChild();
  EXPECT_EQ(holder.wait(), 0);
  EXPECT_TRUE(ws.current().RLOCK());
}

TEST_F(SharingTest, AppendRefusedWhenTheNewRecordIsLockedReleasesTheAppendByte) {
  // Another copy holds the lock of what would be record 2.
  Child holder([&](Child& self) {
    const int fd = open((dir / "T.DBF").c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(0x40000000 + kHeader + kRecord);
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_SETLK, &fl) != 0) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  holder.waitChild();
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& t = ws.current();
  ASSERT_TRUE(t.DBAPPEND());
  t.put("SEQ", 1.0);
  EXPECT_FALSE(t.DBAPPEND());
  EXPECT_TRUE(ws.NETERR());
  EXPECT_EQ(t.RECNO(), 1u);  // stays where it stood
  EXPECT_EQ(t.LASTREC(), 1u);
  EXPECT_FALSE(byteLocked(dir / "T.DBF", 0x40000000)) << "append byte left locked";
  holder.signalChild();
  EXPECT_EQ(holder.wait(), 0);
  EXPECT_TRUE(t.DBAPPEND());
  EXPECT_FALSE(ws.NETERR());
  EXPECT_EQ(t.RECNO(), 2u);
}

TEST_F(SharingTest, ExclusiveUseAndSharedUseExcludeEachOther) {
  for (bool childShared : {true, false}) {
    SCOPED_TRACE(childShared ? "child shared" : "child exclusive");
    Child holder([&](Child& self) {
      Workspace ws(dir);
      if (!ws.DBUSEAREA(true, "T.DBF", "", childShared)) return 1;
      self.signalParent();
      self.waitParent();
      return 0;
    });
    holder.waitChild();
    Workspace ws(dir);
    EXPECT_FALSE(ws.DBUSEAREA(true, "T.DBF", "", false));
    EXPECT_TRUE(ws.NETERR());
    EXPECT_FALSE(ws.used("T"));
    EXPECT_EQ(ws.DBUSEAREA(true, "T.DBF", "", true), childShared);
    EXPECT_EQ(ws.NETERR(), !childShared);
    holder.signalChild();
    EXPECT_EQ(holder.wait(), 0);
  }
}

}  // namespace
}  // namespace canalix::store
