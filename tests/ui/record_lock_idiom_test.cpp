// The record-lock idiom against another copy of the program holding the
// record: a forked child with its own workspace on the same table.
#include "ui/record_lock_idiom.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "store/table_engine.h"
#include "common/child_process.h"
#include "ui/scripted_port.h"

namespace canalix::ui {
namespace {

using canalix::testing::Child;
using std::chrono::milliseconds;

class RecordLockIdiom : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/canalix-ui-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    store::Workspace ws(dir);
    ws.DBCREATE("PRUEBA.DBF", {{"Nombre", 'C', 10, 0}});
    ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", false));
    ws.area("PRUEBA").DBAPPEND();
    ws.area("PRUEBA").put("Nombre", std::string("ANTES"));
    ws.area("PRUEBA").DBCLOSEAREA();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // A child holding record 1 locked until told to let go.
  Child holder() {
    return Child([this](Child& self) {
      store::Workspace other(dir);
      if (!other.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true)) return 1;
      other.area("PRUEBA").DBGOTO(1);
      if (!other.area("PRUEBA").RLOCK()) return 2;
      self.signalParent();
      self.waitParent();
      other.area("PRUEBA").DBRUNLOCK();
      return 0;
    });
  }

  std::filesystem::path dir;
};

TEST_F(RecordLockIdiom, GivesUpAfterFiveSecondsWithTwoTonesAndTheMessage) {
  Child child = holder();
  child.waitChild();
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  store::WorkArea& area = ws.area("PRUEBA");
  area.DBGOTO(1);
  ScriptedPort port;
  milliseconds waited{0};
  int waits = 0;
  const Sleeper count = [&](milliseconds m) {
    waited += m;
    ++waits;
  };
  EXPECT_FALSE(lockForWrite(port, area, kLockMessage, LockBox::kInfo, count));
  // Eleven attempts: two at once, then one every half second up to 4.5 s.
  EXPECT_EQ(waits, 10);
  EXPECT_EQ(waited, milliseconds(5000));
  EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200}));
  ASSERT_EQ(port.callsOf(CallKind::kInfo).size(), 1u);
  EXPECT_EQ(port.callsOf(CallKind::kInfo)[0].text,
            "No es posible la modificación;inténtelo más tarde, por favor.");
  EXPECT_EQ(port.callsOf(CallKind::kInfo)[0].title, "Information");
  EXPECT_FALSE(area.isLocked(1));

  port.clear();
  EXPECT_FALSE(lockForWrite(port, area, kAppendMessage, LockBox::kStop, count));
  EXPECT_EQ(port.callsOf(CallKind::kStop).at(0).title, "Stop");
  EXPECT_EQ(port.callsOf(CallKind::kStop).at(0).text,
            "No es posible añadir el registro;inténtelo más tarde, por favor.");
  child.signalChild();
  EXPECT_EQ(child.wait(), 0);
}

TEST_F(RecordLockIdiom, AFreeRecordIsLockedAtOnceAndWrittenOnCommit) {
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  store::WorkArea& area = ws.area("PRUEBA");
  area.DBGOTO(1);
  ScriptedPort port;
  int waits = 0;
  ASSERT_TRUE(lockForWrite(port, area, kLockMessage, LockBox::kInfo, [&](milliseconds) { ++waits; }));
  EXPECT_EQ(waits, 0);
  EXPECT_TRUE(port.calls().empty());
  area.put("Nombre", std::string("DESPUES"));
  releaseAndCommit(area);
  EXPECT_FALSE(area.isLocked(1));

  store::Workspace reader(dir);
  ASSERT_TRUE(reader.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  reader.area("PRUEBA").DBGOTO(1);
  EXPECT_EQ(reader.area("PRUEBA").getText("Nombre"), "DESPUES   ");
}

TEST_F(RecordLockIdiom, ZeroSecondsRetriesUntilTheOtherCopyLetsGo) {
  Child child = holder();
  child.waitChild();
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  store::WorkArea& area = ws.area("PRUEBA");
  area.DBGOTO(1);
  int waits = 0;
  const Sleeper releaseAfterThree = [&](milliseconds) {
    if (++waits == 3) {
      child.signalChild();
      child.wait();
    }
  };
  EXPECT_TRUE(RECLOCK(area, 0, releaseAfterThree));
  EXPECT_EQ(waits, 3);
}

}  // namespace
}  // namespace canalix::ui
