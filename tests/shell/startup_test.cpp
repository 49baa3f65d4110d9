// The start-up on a scratch data directory: the tables created, the CONTROL
// first-run flag taken once, every table left open shared.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "output/format_settings.h"
#include "shell/data_files.h"
#include "shell/open_tables.h"
#include "shell/session.h"
#include "shell_fixture.h"
#include "store/catalogue.h"
#include "common/child_process.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

using testing::DataDir;

class Startup : public DataDir {};

void expectEveryTableOpenShared(store::Workspace& ws) {
  for (std::string_view name : kOpenOrder) {
    ASSERT_TRUE(ws.used(std::string(name))) << name;
    EXPECT_TRUE(ws.area(std::string(name)).shared()) << name;
  }
  EXPECT_FALSE(ws.used("CONTROL"));
  EXPECT_EQ(ws.current().alias(), "SOCIOS");
}

bool controlFlag(const std::filesystem::path& dir) {
  store::Workspace reader(dir);
  EXPECT_TRUE(reader.DBUSEAREA(true, "CONTROL.DBF", "CONTROL", true));
  reader.area("CONTROL").DBGOTOP();
  return reader.area("CONTROL").getLogical("ControlCl6");
}

TEST_F(Startup, FirstStartCreatesEveryTableTakesTheFlagAndShowsTheBoxOnce) {
  {
    store::Workspace ws(dir);
    ui::ScriptedPort port;
    const PreparedData prepared = prepareDataDirectory(ws, port);
    EXPECT_EQ(prepared.created.size(), store::dataDirectoryTables().size());
    EXPECT_TRUE(prepared.firstRun);
    ASSERT_EQ(port.calls().size(), 1u);
    EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kInfo);
    EXPECT_EQ(port.calls()[0].title, " Información importante de CANALIX");
    EXPECT_EQ(port.calls()[0].text, firstRunText());
    expectEveryTableOpenShared(ws);
  }
  EXPECT_FALSE(controlFlag(dir));

  store::Workspace again(dir);
  ui::ScriptedPort port;
  const PreparedData prepared = prepareDataDirectory(again, port);
  EXPECT_TRUE(prepared.created.empty());
  EXPECT_FALSE(prepared.firstRun);
  EXPECT_TRUE(port.calls().empty());
  expectEveryTableOpenShared(again);
}

TEST_F(Startup, TheFirstRunRunsTheReorganisationAndLaterRunsBuildTheIndexes) {
  int reorganised = 0, indexed = 0;
  const DataDirectorySteps steps{[&](store::Workspace& ws, ui::UiPort&) {
                                   ++reorganised;
                                   openTablesShared(ws);
                                 },
                                 [&](store::Workspace& ws) {
                                   ++indexed;
                                   EXPECT_TRUE(ws.aliases().empty());  // before anything is opened
                                 }};
  {
    store::Workspace ws(dir);
    ui::ScriptedPort port;
    prepareDataDirectory(ws, port, steps);
    EXPECT_EQ(reorganised, 1);
    EXPECT_EQ(indexed, 0);
    // The box comes once the reorganisation has finished.
    EXPECT_EQ(port.calls().size(), 1u);
  }
  store::Workspace ws(dir);
  ui::ScriptedPort port;
  prepareDataDirectory(ws, port, steps);
  EXPECT_EQ(reorganised, 1);
  EXPECT_EQ(indexed, 1);
}

TEST_F(Startup, AMissingTableIsCreatedAtTheNextStartWithoutTheFirstRunBox) {
  {
    store::Workspace ws(dir);
    ui::ScriptedPort port;
    prepareDataDirectory(ws, port);
  }
  std::filesystem::remove(dir / "CAJA.DBF");
  store::Workspace ws(dir);
  ui::ScriptedPort port;
  const PreparedData prepared = prepareDataDirectory(ws, port);
  EXPECT_EQ(prepared.created, std::vector<std::string>{"CAJA.DBF"});
  EXPECT_FALSE(prepared.firstRun);
  EXPECT_TRUE(port.calls().empty());
  expectEveryTableOpenShared(ws);
}

TEST_F(Startup, ATableHeldExclusivelyByAnotherCopyStopsTheStartWithTheEngineError) {
  {
    store::Workspace ws(dir);
    ui::ScriptedPort port;
    prepareDataDirectory(ws, port);
  }
  canalix::testing::Child other([this](canalix::testing::Child& self) {
    store::Workspace ws(dir);
    if (!ws.DBUSEAREA(true, "GASTOS.DBF", "GASTOS", false)) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  store::Workspace ws(dir);
  try {
    openTablesShared(ws);
    ADD_FAILURE() << "opened a table another copy holds exclusively";
  } catch (const store::EngineError& e) {
    EXPECT_EQ(e.genCode(), 21);
    EXPECT_EQ(e.subCode(), 1001);
    EXPECT_EQ(e.file(), "GASTOS.DBF");
  }
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
