// The built program as a child process, offscreen, in a scratch data
// directory, answering the exit question through its test hook.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "shell_fixture.h"
#include "store/table_engine.h"

namespace canalix::shell {
namespace {

struct ProgramRun {
  int exitCode = -1;
  std::string out;
};

class CanalixProcess : public testing::DataDir {
 protected:
  ProgramRun run(const QString& answers) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CANALIX_TEST_EXIT_ANSWERS", answers);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(dir.string()));
    p.start(CANALIX_GUI, {});
    EXPECT_TRUE(p.waitForFinished(60000));
    ProgramRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    return r;
  }

  static int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(CanalixProcess, FirstStartThenNoThenSiLeavesOneAccessRow) {
  const ProgramRun first = run("no,si");
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_EQ(count(first.out, "info |  Información importante de CANALIX | "), 1) << first.out;
  EXPECT_EQ(count(first.out, "question | Salida del Sistema | ¿ Desea salir de Canalix ?"), 2) << first.out;
  EXPECT_EQ(recordCount("ACCESOS"), 1u);

  // The next start shows no first-run box and adds its own row.
  const ProgramRun second = run("si");
  EXPECT_EQ(second.exitCode, 0) << second.out;
  EXPECT_EQ(count(second.out, "Información importante"), 0) << second.out;
  EXPECT_EQ(count(second.out, "question | Salida del Sistema"), 1);
  EXPECT_EQ(recordCount("ACCESOS"), 2u);
}

TEST_F(CanalixProcess, OnlyTheFirstStartReorganisesInTheDialogAndShowsTheBox) {
  // The dialog's opening beeps and its progress stand in the dump; the port's
  // own progress meter is not used.
  const std::string dialogBeeps = "tone |  |  | 4000 Hz 55 ms\ntone |  |  | 3000 Hz 55 ms\n";
  const ProgramRun first = run("si");
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_EQ(count(first.out, dialogBeeps), 1) << first.out;
  EXPECT_EQ(count(first.out, "progress"), 0) << first.out;
  const size_t box = first.out.find("info |  Información importante de CANALIX | ");
  ASSERT_NE(box, std::string::npos) << first.out;
  EXPECT_GT(box, first.out.find(dialogBeeps)) << "the box comes after the reorganisation";
  const std::string boxLine = first.out.substr(box, first.out.find('\n', box) - box);
  EXPECT_NE(boxLine.find("lo nuevo de la versión 4.4c"), std::string::npos) << boxLine;

  const ProgramRun second = run("si");
  EXPECT_EQ(second.exitCode, 0) << second.out;
  EXPECT_EQ(count(second.out, "info |"), 0) << second.out;
  EXPECT_EQ(count(second.out, "tone |"), 0) << "no reorganisation: " << second.out;

  // An index file lost between starts is built again without a word.
  std::filesystem::remove(dir / "RECIBOS.CDX");
  const ProgramRun third = run("si");
  EXPECT_EQ(third.exitCode, 0) << third.out;
  EXPECT_TRUE(std::filesystem::exists(dir / "RECIBOS.CDX"));
  EXPECT_EQ(count(third.out, "info |"), 0) << third.out;
  EXPECT_EQ(count(third.out, "tone |"), 0) << third.out;
  EXPECT_EQ(count(third.out, "question | Salida del Sistema"), 1) << third.out;
}

TEST_F(CanalixProcess, ADamagedTableEndsTheProgramThroughTheErrorHandler) {
  std::ofstream(dir / "SOCIOS.DBF", std::ios::binary) << "esto no es una tabla";
  const ProgramRun r = run("si");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(count(r.out, "stop | Error de CANALIX | "), 1) << r.out;
  EXPECT_NE(r.out.find("SOCIOS.DBF"), std::string::npos) << r.out;
  const std::string log = bytes("CANALIX.LOG");
  EXPECT_NE(log.find("SOCIOS.DBF"), std::string::npos) << log;
  EXPECT_NE(log.find("Códigos: "), std::string::npos) << log;
}

TEST_F(CanalixProcess, AnErrorInsideTheEventLoopIsReportedAndEndsTheProgram) {
  // An access log with only its date opens well, index and all, once the
  // first run's reorganisation is past; the exit sequence, run from the
  // window's close event, then fails writing the user's code.
  ASSERT_EQ(run("si").exitCode, 0);
  std::filesystem::remove(dir / "ACCESOS.DBF");
  std::filesystem::remove(dir / "ACCESOS.CDX");
  {
    store::Workspace ws(dir);
    ws.DBCREATE("ACCESOS.DBF", {{"Fecha", 'D', 8, 0}});
  }
  const ProgramRun r = run("si");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(count(r.out, "question | Salida del Sistema"), 1) << r.out;
  EXPECT_EQ(count(r.out, "stop | Error de CANALIX | "), 1) << r.out;
  EXPECT_NE(r.out.find("Clave"), std::string::npos) << r.out;
  EXPECT_NE(bytes("CANALIX.LOG").find("Códigos: "), std::string::npos);
}

}  // namespace
}  // namespace canalix::shell
