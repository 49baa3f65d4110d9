// The record-lock idiom against another copy of the program holding the
// record or the table: a forked child with its own workspace on the same
// files. What reached the disk is read back through a fresh workspace.
#include "ui/record_lock_idiom.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "store/file_layer.h"
#include "store/table_engine.h"
#include "store/table_file.h"
#include "ui/scripted_port.h"

namespace canalix::ui {
namespace {

using canalix::testing::Child;
using std::chrono::milliseconds;

// What the other copy holds: record 1; the whole table (which also covers the
// byte of the record an append would add); or that byte alone, as a copy
// appending at the same moment does, which leaves record 1 free.
enum class Hold { kRecordOne, kWholeFile, kNextRecord };

class RecordLockIdiom : public ::testing::Test {
 protected:
  // PRUEBA with records UNO and DOS and an order on the name, as the real
  // tables have one.
  void SetUp() override {
    char tmpl[] = "/tmp/canalix-ui-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    store::Workspace ws(dir);
    ws.DBCREATE("PRUEBA.DBF", {{"Nombre", 'C', 10, 0}});
    ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", false));
    store::WorkArea& area = ws.area("PRUEBA");
    for (const char* name : {"UNO", "DOS"}) {
      area.DBAPPEND();
      area.put("Nombre", std::string(name));
    }
    area.ORDCREATE("PRUEBA", "NOMBRE", "PRUEBA->Nombre");
    ws.DBCLOSEALL();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // A child holding `hold` until told to let go. Made before the test opens
  // the table: a forked copy shares its parent's open files and their locks.
  std::unique_ptr<Child> holder(Hold hold) {
    auto child = std::make_unique<Child>([this, hold](Child& self) {
      if (hold == Hold::kNextRecord) return holdNextRecord(self);
      store::Workspace other(dir);
      if (!other.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true)) return 1;
      store::WorkArea& area = other.area("PRUEBA");
      area.DBGOTO(1);
      if (!(hold == Hold::kRecordOne ? area.RLOCK() : area.FLOCK())) return 2;
      self.signalParent();
      self.waitParent();
      return 0;
    });
    child->waitChild();
    return child;
  }

  // Locks the byte of record 3 where the engine's append would lock it.
  int holdNextRecord(Child& self) {
    store::FileLayer layer;
    int rc = 0;
    std::unique_ptr<store::TableFile> file = store::TableFile::open(layer, dir / "PRUEBA.DBF", false, rc);
    if (!file) return 3;
    file->setIndexAttached(true);
    if (layer.lock(file->fd(), file->locks().record(3), 1, store::LockKind::kExclusive) !=
        store::LockResult::kGranted)
      return 4;
    self.signalParent();
    self.waitParent();
    return 0;
  }

  // PRUEBA open shared on record 1.
  store::WorkArea& openShared(store::Workspace& ws) {
    EXPECT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
    store::WorkArea& area = ws.area("PRUEBA");
    area.DBGOTO(1);
    return area;
  }

  std::string bytes(const std::string& file) const {
    std::ifstream in(dir / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The names on disk in record order.
  std::vector<std::string> namesOnDisk() const {
    store::Workspace reader(dir);
    EXPECT_TRUE(reader.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
    store::WorkArea& area = reader.area("PRUEBA");
    std::vector<std::string> names;
    for (uint32_t n = 1; n <= area.LASTREC(); ++n) {
      area.DBGOTO(n);
      names.push_back(area.getText("Nombre"));
    }
    return names;
  }

  static void expectTwoTones(const ScriptedPort& port) {
    const std::vector<PortCall> tones = port.callsOf(CallKind::kTone);
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].hertz, 400);
    EXPECT_EQ(tones[1].hertz, 200);
    EXPECT_EQ(tones[0].milliseconds, 110);
    EXPECT_EQ(tones[1].milliseconds, 110);
  }

  std::filesystem::path dir;
};

const auto kRenameToNuevo = [](store::WorkArea& area) { area.put("Nombre", std::string("NUEVO")); };

TEST_F(RecordLockIdiom, ARecordHeldElsewhereGivesUpAfterFiveSecondsWritingNothing) {
  std::unique_ptr<Child> child = holder(Hold::kRecordOne);
  store::Workspace ws(dir);
  store::WorkArea& area = openShared(ws);
  ScriptedPort port;
  bool assigned = false;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(writeRecord(port, area, [&](store::WorkArea&) { assigned = true; }));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(4500));
  EXPECT_LT(took, milliseconds(7000));

  EXPECT_FALSE(assigned);
  expectTwoTones(port);
  ASSERT_EQ(port.calls().size(), 3u);
  EXPECT_EQ(port.calls()[2].kind, CallKind::kInfo);  // after both tones
  EXPECT_EQ(port.calls()[2].title, "Information");
  EXPECT_EQ(port.calls()[2].text, "No es posible la modificación;inténtelo más tarde, por favor.");
  EXPECT_FALSE(area.isLocked(1));
  ws.DBCLOSEALL();
  EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"UNO       ", "DOS       "}));
  child->signalChild();
  EXPECT_EQ(child->wait(), 0);
}

// A refused append and a refused lock give the same report in the box the
// caller chose, and leave both files as they were.
TEST_F(RecordLockIdiom, EveryRefusalGivesTheTonesAndTheCallersMessageAndChangesNoFile) {
  const std::string modifyText = "No es posible la modificación;inténtelo más tarde, por favor.";
  const std::string appendText = "No es posible añadir el registro;inténtelo más tarde, por favor.";
  struct Case {
    const char* name;
    Hold hold;
    LockRequest request;
    CallKind box;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"record held", Hold::kRecordOne, {}, CallKind::kInfo, modifyText},
      {"record held, stop box", Hold::kRecordOne, {.box = LockBox::kStop}, CallKind::kStop, modifyText},
      // The append's request as the callers write it: new record, its message.
      {"append refused", Hold::kWholeFile, {true, kAppendMessage}, CallKind::kInfo, appendText},
      {"append, stop", Hold::kWholeFile, {true, kAppendMessage, LockBox::kStop}, CallKind::kStop, appendText},
      // Record 1 could be locked: a refused append must not write over it.
      {"next record held", Hold::kNextRecord, {true, kAppendMessage}, CallKind::kInfo, appendText},
      // An existing record under another copy's file lock: the lock is what fails.
      {"table held, existing record", Hold::kWholeFile, {}, CallKind::kInfo, modifyText},
  };
  const std::string table = bytes("PRUEBA.DBF");
  const std::string index = bytes("PRUEBA.CDX");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Child> child = holder(c.hold);
    {
      store::Workspace ws(dir);
      store::WorkArea& area = openShared(ws);
      ScriptedPort port;
      int waits = 0;
      LockRequest request = c.request;
      request.sleep = [&](milliseconds) { ++waits; };
      bool assigned = false;
      const auto assign = [&](store::WorkArea& a) {
        assigned = true;
        kRenameToNuevo(a);
      };
      EXPECT_FALSE(writeRecord(port, area, assign, request));
      EXPECT_FALSE(assigned);
      EXPECT_EQ(waits, 10);  // the five seconds of one retrying step, not of two
      expectTwoTones(port);
      ASSERT_EQ(port.calls().size(), 3u);
      EXPECT_EQ(port.calls()[2].kind, c.box);
      EXPECT_EQ(port.calls()[2].title, c.box == CallKind::kStop ? "Stop" : "Information");
      EXPECT_EQ(port.calls()[2].text, c.text);
      EXPECT_EQ(area.RECNO(), 1u);
      EXPECT_EQ(area.LASTREC(), 2u);
    }
    child->signalChild();
    EXPECT_EQ(child->wait(), 0);
    EXPECT_EQ(bytes("PRUEBA.DBF"), table);
    EXPECT_EQ(bytes("PRUEBA.CDX"), index);
  }
}

TEST_F(RecordLockIdiom, AFreeRecordIsWrittenAtOnceWithItsKey) {
  store::Workspace ws(dir);
  store::WorkArea& area = openShared(ws);
  ScriptedPort port;
  int waits = 0;
  EXPECT_TRUE(writeRecord(port, area, kRenameToNuevo, {.sleep = [&](milliseconds) { ++waits; }}));
  EXPECT_EQ(waits, 0);
  EXPECT_TRUE(port.calls().empty());
  EXPECT_FALSE(area.isLocked(1));  // released for the other copies

  EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"NUEVO     ", "DOS       "}));
  store::Workspace reader(dir);
  ASSERT_TRUE(reader.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  reader.area("PRUEBA").DBSETORDER(1);
  EXPECT_FALSE(reader.area("PRUEBA").DBSEEK(std::string("UNO")));
  ASSERT_TRUE(reader.area("PRUEBA").DBSEEK(std::string("NUEVO")));
  EXPECT_EQ(reader.area("PRUEBA").RECNO(), 1u);
}

TEST_F(RecordLockIdiom, ANewRecordIsAppendedWrittenAndReleased) {
  store::Workspace ws(dir);
  store::WorkArea& area = openShared(ws);
  ScriptedPort port;
  EXPECT_TRUE(writeRecord(port, area, kRenameToNuevo, {.append = true, .message = kAppendMessage}));
  EXPECT_TRUE(port.calls().empty());
  EXPECT_EQ(area.RECNO(), 3u);
  EXPECT_FALSE(area.isLocked(3));

  EXPECT_EQ(namesOnDisk(), (std::vector<std::string>{"UNO       ", "DOS       ", "NUEVO     "}));
  store::Workspace reader(dir);
  ASSERT_TRUE(reader.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true));
  reader.area("PRUEBA").DBSETORDER(1);
  ASSERT_TRUE(reader.area("PRUEBA").DBSEEK(std::string("NUEVO")));
  EXPECT_EQ(reader.area("PRUEBA").RECNO(), 3u);
}

TEST_F(RecordLockIdiom, AnAssignmentThatThrowsLeavesTheRecordFreeForOthers) {
  store::Workspace ws(dir);
  store::WorkArea& area = openShared(ws);
  ScriptedPort port;
  const auto wrongType = [](store::WorkArea& a) { a.put("Nombre", 12.0); };
  EXPECT_THROW(writeRecord(port, area, wrongType), store::EngineError);
  EXPECT_FALSE(area.isLocked(1));
  Child other([this](Child&) {
    store::Workspace ws2(dir);
    if (!ws2.DBUSEAREA(true, "PRUEBA.DBF", "PRUEBA", true)) return 1;
    ws2.area("PRUEBA").DBGOTO(1);
    return ws2.area("PRUEBA").RLOCK() ? 0 : 2;
  });
  EXPECT_EQ(other.wait(), 0);
}

}  // namespace
}  // namespace canalix::ui
