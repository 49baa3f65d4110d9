// The start-up on a scratch data directory: the data directory's lock, the
// tables created, the first-run reorganisation, the index files built again
// when missing or damaged, every table left open shared on its first order.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "output/format_settings.h"
#include "shell/data_files.h"
#include "shell/session.h"
#include "shell_fixture.h"
#include "store/catalogue.h"
#include "common/child_process.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

using testing::DataDir;

class Startup : public DataDir {
 protected:
  // A start as the program makes it, in a workspace of its own.
  PreparedData start(ui::ScriptedPort& port, const StartupSteps& steps = defaultStartupSteps()) {
    ws = std::make_unique<store::Workspace>(dir);
    return prepare(*ws, port, steps);
  }
  void TearDown() override {
    ws.reset();
    DataDir::TearDown();
  }
  std::unique_ptr<store::Workspace> ws;
};

constexpr std::string_view kOpened[] = {"PARCELAS", "RECIBOS", "ACCESOS", "USUARIOS", "FRECU2", "CONCEPTO",
                                        "CODIGOS",  "GASTOS",  "CAJA",    "ARQUEO",   "BIC",    "SOCIOS"};

void expectEveryTableOpenShared(store::Workspace& ws) {
  for (std::string_view name : kOpened) {
    const std::string table(name);
    ASSERT_TRUE(ws.used(table)) << name;
    EXPECT_TRUE(ws.area(table).shared()) << name;
    EXPECT_EQ(ws.area(table).indexAttached(), table != "FRECU2") << name;
    EXPECT_EQ(ws.area(table).INDEXORD(), table == "FRECU2" ? 0 : 1) << name;
  }
  EXPECT_FALSE(ws.used("CONTROL"));
  EXPECT_EQ(ws.currentAlias(), "SOCIOS");
}

bool controlFlag(const std::filesystem::path& dir) {
  store::Workspace reader(dir);
  EXPECT_TRUE(reader.DBUSEAREA(true, "CONTROL.DBF", "CONTROL", true));
  reader.area("CONTROL").DBGOTOP();
  return reader.area("CONTROL").getLogical("ControlCl6");
}

// Another copy of the program holding the data directory's lock shared (a
// running copy) or exclusively (a reorganisation), until told to let go.
canalix::testing::Child lockHolder(const std::filesystem::path& dir, bool exclusive) {
  return canalix::testing::Child([dir, exclusive](canalix::testing::Child& self) {
    store::DataDirLock lock(dir);
    if ((exclusive ? lock.makeExclusive() : lock.share()) != store::LockResult::kGranted) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
}

TEST_F(Startup, FirstStartReorganisesWithTheMeterThenShowsTheBoxOnce) {
  {
    ui::ScriptedPort port;
    const PreparedData prepared = start(port);
    EXPECT_TRUE(prepared.ready);
    EXPECT_EQ(prepared.created.size(), store::dataDirectoryTables().size());
    EXPECT_TRUE(prepared.firstRun);
    EXPECT_TRUE(prepared.reorganised);
    const auto& calls = port.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().kind, ui::CallKind::kProgressBegin);
    EXPECT_EQ(calls[calls.size() - 2].kind, ui::CallKind::kProgressEnd);
    // The box comes once the reorganisation has finished.
    EXPECT_EQ(calls.back().kind, ui::CallKind::kInfo);
    EXPECT_EQ(calls.back().title, " Información importante de CANALIX");
    EXPECT_EQ(calls.back().text, firstRunText());
    const auto steps = port.callsOf(ui::CallKind::kProgressStep);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back().text, "PROCESO FINALIZADO");
    expectEveryTableOpenShared(*ws);
  }
  EXPECT_FALSE(controlFlag(dir));

  ui::ScriptedPort port;
  const PreparedData prepared = start(port);
  EXPECT_TRUE(prepared.created.empty());
  EXPECT_FALSE(prepared.firstRun);
  EXPECT_TRUE(port.calls().empty());
  expectEveryTableOpenShared(*ws);
}

TEST_F(Startup, WithAnotherCopyRunningTheFirstStartPostponesTheReorganisation) {
  auto other = lockHolder(dir, false);
  other.waitChild();
  {
    ui::ScriptedPort port;
    const PreparedData prepared = start(port);
    EXPECT_TRUE(prepared.firstRun);
    EXPECT_FALSE(prepared.reorganised);
    ASSERT_EQ(port.callsOf(ui::CallKind::kNotice).size(), 1u);
    EXPECT_EQ(port.callsOf(ui::CallKind::kNotice)[0].text, kReorgPostponed);
    EXPECT_TRUE(port.callsOf(ui::CallKind::kInfo).empty());
    expectEveryTableOpenShared(*ws);  // the index files were built all the same
  }
  EXPECT_TRUE(controlFlag(dir));  // kept for a start without other copies
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);

  ws.reset();
  ui::ScriptedPort port;
  EXPECT_TRUE(start(port).reorganised);
  EXPECT_EQ(port.callsOf(ui::CallKind::kInfo).size(), 1u);
  EXPECT_FALSE(controlFlag(dir));
}

TEST_F(Startup, DuringAnotherCopysReorganisationTheStartWaitsAndCreatesNothing) {
  auto other = lockHolder(dir, true);
  other.waitChild();
  int sleeps = 0;
  StartupSteps steps = defaultStartupSteps();
  steps.sleep = [&](std::chrono::milliseconds) {
    EXPECT_FALSE(std::filesystem::exists(dir / "SOCIOS.DBF"));  // CREAFI waits too
    if (++sleeps == 3) {
      other.signalChild();
      EXPECT_EQ(other.wait(), 0);
    }
  };
  ui::ScriptedPort port;
  const PreparedData prepared = start(port, steps);
  EXPECT_TRUE(prepared.ready);
  EXPECT_EQ(sleeps, 3);
  ASSERT_GE(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kNotice);
  EXPECT_EQ(port.calls()[0].text, kWaitNotice);
  EXPECT_EQ(port.callsOf(ui::CallKind::kNotice).size(), 1u);  // said once, not at every attempt
  expectEveryTableOpenShared(*ws);
}

TEST_F(Startup, AfterAMinuteOfWaitingTheUserMayGiveUp) {
  auto other = lockHolder(dir, true);
  other.waitChild();
  int sleeps = 0;
  StartupSteps steps = defaultStartupSteps();
  steps.sleep = [&](std::chrono::milliseconds wait) { sleeps += int(wait.count()); };
  ui::ScriptedPort port;
  port.answer(true);   // one more minute
  port.answer(false);  // then no more
  const PreparedData prepared = start(port, steps);
  EXPECT_FALSE(prepared.ready);
  EXPECT_EQ(sleeps, 120000);
  const auto questions = port.callsOf(ui::CallKind::kQuestion);
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0].text, kWaitQuestion);
  EXPECT_TRUE(ws->aliases().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "SOCIOS.DBF"));  // no table was created meanwhile
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
}

TEST_F(Startup, MissingTablesAndIndexFilesAreMadeAgainAtTheNextStart) {
  {
    ui::ScriptedPort port;
    start(port);
  }
  ws.reset();
  const std::string oldCajaIndex = bytes("CAJA.CDX");
  std::filesystem::remove(dir / "CAJA.DBF");
  std::filesystem::remove(dir / "RECIBOS.CDX");
  ui::ScriptedPort port;
  const PreparedData prepared = start(port);
  EXPECT_EQ(prepared.created, std::vector<std::string>{"CAJA.DBF"});
  EXPECT_FALSE(prepared.firstRun);
  EXPECT_TRUE(port.calls().empty());  // silently
  // The lost table's index is kept aside, intact, and a fresh one built.
  EXPECT_EQ(bytes("CAJA.CDX.antiguo"), oldCajaIndex);
  EXPECT_EQ(ws->area("RECIBOS").orderCount(), 11);
  expectEveryTableOpenShared(*ws);
}

TEST_F(Startup, ADamagedIndexFileIsKeptAsideAndBuiltAgainWithANotice) {
  {
    ui::ScriptedPort port;
    start(port);
  }
  ws.reset();
  std::string damaged = bytes("SOCIOS.CDX");
  std::fill(damaged.begin(), damaged.begin() + 24, '\xFF');
  writeBytes("SOCIOS.CDX", damaged);
  ui::ScriptedPort port;
  start(port);
  ASSERT_EQ(port.callsOf(ui::CallKind::kInfo).size(), 1u);
  EXPECT_EQ(port.callsOf(ui::CallKind::kInfo)[0].text,
            "El índice SOCIOS.CDX estaba dañado y se ha construido de nuevo.\r\n"
            "El archivo dañado se conserva como SOCIOS.CDX.dañado.");
  EXPECT_EQ(bytes("SOCIOS.CDX.dañado"), damaged);
  EXPECT_EQ(ws->area("SOCIOS").orderCount(), 5);
  expectEveryTableOpenShared(*ws);
}

TEST_F(Startup, ATableHeldExclusivelyByAnotherCopyStopsTheStartNamingIt) {
  {
    ui::ScriptedPort port;
    start(port);
  }
  ws.reset();
  canalix::testing::Child other([this](canalix::testing::Child& self) {
    store::Workspace ws(dir);
    if (!ws.DBUSEAREA(true, "GASTOS.DBF", "GASTOS", false)) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  try {
    ui::ScriptedPort port;
    start(port);
    ADD_FAILURE() << "opened a table another copy holds exclusively";
  } catch (const store::EngineError& e) {
    EXPECT_EQ(e.genCode(), 21);
    EXPECT_EQ(e.subCode(), 1001);
    EXPECT_EQ(e.file(), "GASTOS.DBF");
  }
  EXPECT_TRUE(ws->aliases().empty());  // nothing left open
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
}

TEST(FirstRunText, IsItsPiecesInOrderWithTheVersionTag) {
  EXPECT_EQ(
      firstRunText(),
      "   Por favor, una vez entre en el programa :\r\n\r\n\r\n"
      "   Pulse F1 para obtener AYUDA si ha instalado CANALIX por primera vez.\r\n\r\n"
      "   Si ha actualizado CANALIX desde una versión anterior, consulte la sección de la AYUDA\r\n"
      "   'Novedades de las nuevas versiones y actualizaciones', para conocer lo nuevo de la versión 4.4c");
}

TEST(SessionValues, TitlesVersionAndTheStartParameter) {
  const char* none[] = {"canalix"};
  const char* one[] = {"canalix", "MULTI"};
  const char* two[] = {"canalix", "A", "B"};
  const Session s = startSession(1, none);
  EXPECT_EQ(windowTitle(s), "CANALIX - 4.4c (02-04-2014) Año 2014 -  Gestión de Comunidad de Regantes");
  EXPECT_EQ(versionTag(), "4.4c");
  EXPECT_EQ(s.userRecord, 1u);
  EXPECT_EQ(s.workingYear, 2014);
  EXPECT_EQ(s.parameter, " ");
  EXPECT_EQ(startSession(2, one).parameter, "MULTI");
  EXPECT_EQ(startSession(3, two).parameter, " ");
  EXPECT_EQ(s.startDate, store::today());
  ASSERT_EQ(s.startTime.size(), 8u);
  EXPECT_EQ(s.startTime[2], ':');
  EXPECT_EQ(s.startTime[5], ':');
}

}  // namespace
}  // namespace canalix::shell

namespace canalix::shell {
namespace {

TEST(GlobalSettings, DatesShowFourDigitYearsWithEpoch1935) {
  makeGlobalSettings();
  const output::FormatSettings& s = output::formatSettings();
  EXPECT_EQ(s.dateFormat, "dd-mm-yyyy");
  EXPECT_TRUE(s.century);
  EXPECT_EQ(s.epoch, 1935);
}

class BackgroundPicture : public testing::DataDir {};

TEST_F(BackgroundPicture, IsFoundWithoutRegardToCase) {
  EXPECT_TRUE(findDataFile(dir, kBackgroundPicture).empty());
  std::ofstream(dir / "canalix.jpg") << "x";
  EXPECT_EQ(findDataFile(dir, kBackgroundPicture), dir / "canalix.jpg");
  std::ofstream(dir / "CANALIX.JPG") << "x";
  EXPECT_EQ(findDataFile(dir, kBackgroundPicture), dir / "CANALIX.JPG");  // the exact name first
  EXPECT_TRUE(findDataFile(dir / "no-existe", kBackgroundPicture).empty());
}

}  // namespace
}  // namespace canalix::shell
