// The retrying lock, append, file lock and open against another copy of the
// program (a forked child with its own workspace) that holds what they need.
// Attempts are counted as the refusals the file layer hands out, so the
// counts are the engine's own and no test sleeps.
#include "store/retry_locks.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "store/file_layer.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using canalix::testing::Child;
using std::chrono::milliseconds;

// The real file layer, counting the locks another open file refused.
class RefusalCounter : public FileLayer {
 public:
  LockResult lock(int fd, uint64_t offset, uint64_t length, LockKind kind, bool wait) override {
    const LockResult result = FileLayer::lock(fd, offset, length, kind, wait);
    if (result == LockResult::kBusy) ++refused;
    return result;
  }
  int refused = 0;
};

// What the other copy holds.
enum class Hold { kRecordOne, kWholeFile, kExclusiveUse, kSharedUse };

// The operation under test, on PRUEBA (two records).
enum class Op { kReclock, kAddrec, kFillock, kNetuseShared, kNetuseExclusive };

class RetryLocks : public testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    Workspace ws(dir);
    ws.DBCREATE("PRUEBA.DBF", {{"Nombre", 'C', 10, 0}});
    ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", false));
    for (const char* name : {"UNO", "DOS"}) {
      ws.area("PRUEBA").DBAPPEND();
      ws.area("PRUEBA").put("Nombre", std::string(name));
    }
    ws.area("PRUEBA").DBCLOSEAREA();
  }

  // A child holding `hold` on PRUEBA until told to let go. It must exist
  // before the test opens the table: a forked copy shares the open files (and
  // their locks) of its parent.
  std::unique_ptr<Child> holder(Hold hold) {
    auto child = std::make_unique<Child>([this, hold](Child& self) {
      Workspace other(dir);
      if (!other.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", hold != Hold::kExclusiveUse)) return 1;
      WorkArea& area = other.area("PRUEBA");
      area.DBGOTO(1);
      if (hold == Hold::kRecordOne && !area.RLOCK()) return 2;
      if (hold == Hold::kWholeFile && !area.FLOCK()) return 3;
      self.signalParent();
      self.waitParent();
      return 0;
    });
    child->waitChild();
    return child;
  }
};

bool run(Op op, Workspace& ws, int seconds, const Sleeper& sleep) {
  if (op == Op::kNetuseShared || op == Op::kNetuseExclusive)
    return NETUSE(ws, "PRUEBA", op == Op::kNetuseExclusive, seconds, sleep);
  if (!ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true)) throw std::runtime_error("PRUEBA not opened");
  WorkArea& area = ws.area("PRUEBA");
  area.DBGOTO(1);
  switch (op) {
    case Op::kReclock:
      return RECLOCK(area, seconds, sleep);
    case Op::kAddrec:
      return ADDREC(area, seconds, sleep);
    default:
      return FILLOCK(area, seconds, sleep);
  }
}

TEST_F(RetryLocks, AttemptsAndWaitsFollowTheHalfSecondRule) {
  struct Case {
    const char* name;
    Op op;
    Hold hold;
    int seconds;  // 0: the child lets go at the third wait
    bool got;
    int attempts;
    int waits;
    int attemptsBeforeFirstWait;  // 2 when the first retry is immediate, 1 when it waits first
  };
  const std::vector<Case> cases = {
      {"RECLOCK 5 s", Op::kReclock, Hold::kRecordOne, 5, false, 11, 10, 2},
      {"RECLOCK 2 s", Op::kReclock, Hold::kRecordOne, 2, false, 5, 4, 2},
      {"RECLOCK 0 s", Op::kReclock, Hold::kRecordOne, 0, true, 5, 3, 2},
      // The other copy's file lock covers the byte of the record to come.
      {"ADDREC 5 s", Op::kAddrec, Hold::kWholeFile, 5, false, 11, 10, 2},
      {"ADDREC 2 s", Op::kAddrec, Hold::kWholeFile, 2, false, 5, 4, 2},
      {"ADDREC 0 s", Op::kAddrec, Hold::kWholeFile, 0, true, 5, 3, 2},
      {"FILLOCK 5 s", Op::kFillock, Hold::kRecordOne, 5, false, 11, 10, 1},
      {"FILLOCK 2 s", Op::kFillock, Hold::kRecordOne, 2, false, 5, 4, 1},
      {"FILLOCK 0 s", Op::kFillock, Hold::kRecordOne, 0, true, 4, 3, 1},
      {"NETUSE shared 5 s", Op::kNetuseShared, Hold::kExclusiveUse, 5, false, 11, 10, 2},
      {"NETUSE shared 2 s", Op::kNetuseShared, Hold::kExclusiveUse, 2, false, 5, 4, 2},
      {"NETUSE shared 0 s", Op::kNetuseShared, Hold::kExclusiveUse, 0, true, 5, 3, 2},
      {"NETUSE exclusive 2 s", Op::kNetuseExclusive, Hold::kSharedUse, 2, false, 5, 4, 2},
      {"NETUSE exclusive 0 s", Op::kNetuseExclusive, Hold::kSharedUse, 0, true, 5, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Child> child = holder(c.hold);
    RefusalCounter layer;
    Workspace ws(dir, &layer);
    std::vector<int> refusedAtWait;
    milliseconds waited{0};
    const Sleeper count = [&](milliseconds m) {
      refusedAtWait.push_back(layer.refused);
      waited += m;
      if (c.seconds == 0 && refusedAtWait.size() == 3) {
        child->signalChild();
        EXPECT_EQ(child->wait(), 0);
      }
    };
    EXPECT_EQ(run(c.op, ws, c.seconds, count), c.got);
    EXPECT_EQ(layer.refused + (c.got ? 1 : 0), c.attempts);
    EXPECT_EQ(int(refusedAtWait.size()), c.waits);
    EXPECT_EQ(waited, milliseconds(500) * c.waits);
    if (!refusedAtWait.empty()) {
      EXPECT_EQ(refusedAtWait[0], c.attemptsBeforeFirstWait);
    }
    if (c.seconds != 0) {
      child->signalChild();
      EXPECT_EQ(child->wait(), 0);
    }
  }
}

TEST_F(RetryLocks, AFreeTableIsTakenAtTheFirstAttempt) {
  for (Op op : {Op::kReclock, Op::kAddrec, Op::kFillock, Op::kNetuseShared, Op::kNetuseExclusive}) {
    SCOPED_TRACE(int(op));
    RefusalCounter layer;
    Workspace ws(dir, &layer);
    int waits = 0;
    EXPECT_TRUE(run(op, ws, 5, [&](milliseconds) { ++waits; }));
    EXPECT_EQ(layer.refused, 0);
    EXPECT_EQ(waits, 0);
    EXPECT_FALSE(ws.NETERR());
  }
}

TEST_F(RetryLocks, AGivenUpAppendAddsNothingAndKeepsThePosition) {
  std::unique_ptr<Child> child = holder(Hold::kWholeFile);
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  WorkArea& area = ws.area("PRUEBA");
  area.DBGOTO(2);
  EXPECT_FALSE(ADDREC(area, 1, [](milliseconds) {}));
  EXPECT_TRUE(ws.NETERR());
  EXPECT_EQ(area.RECNO(), 2u);
  EXPECT_EQ(area.getText("Nombre"), "DOS       ");
  EXPECT_EQ(area.LASTREC(), 2u);
  child->signalChild();
  EXPECT_EQ(child->wait(), 0);

  // Once the other copy has let go the record is added, standing locked.
  ASSERT_TRUE(ADDREC(area, 1, [](milliseconds) {}));
  EXPECT_EQ(area.RECNO(), 3u);
  EXPECT_TRUE(area.isLocked(3));
  EXPECT_EQ(area.LASTREC(), 3u);
}

TEST_F(RetryLocks, NetuseOpensUnderTheTableNameOrLeavesNoArea) {
  {
    std::unique_ptr<Child> child = holder(Hold::kExclusiveUse);
    Workspace ws(dir);
    EXPECT_FALSE(NETUSE(ws, "PRUEBA", false, 1, [](milliseconds) {}));
    EXPECT_TRUE(ws.NETERR());
    EXPECT_TRUE(ws.aliases().empty());
    child->signalChild();
    EXPECT_EQ(child->wait(), 0);
  }
  Workspace ws(dir);
  ASSERT_TRUE(NETUSE(ws, "PRUEBA", true, 1, [](milliseconds) {}));
  EXPECT_EQ(ws.currentAlias(), "PRUEBA");
  EXPECT_FALSE(ws.area("PRUEBA").shared());
  // Opened exclusively, it keeps every other copy out.
  Child other([this](Child&) {
    Workspace ws2(dir);
    return ws2.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true) ? 1 : 0;
  });
  EXPECT_EQ(other.wait(), 0);
}

}  // namespace
}  // namespace canalix::store
