// The exit sequence on a prepared data directory: "No" writes nothing, "Sí"
// writes one access row with the user's and the run's values.
#include "shell/salida.h"

#include <gtest/gtest.h>

#include "shell/startup.h"
#include "shell_fixture.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

class Salida : public testing::DataDir {
 protected:
  void SetUp() override {
    DataDir::SetUp();
    ws = std::make_unique<store::Workspace>(dir);
    ui::ScriptedPort setup;
    prepare(*ws, setup);
    session.startDate = store::makeDate(2014, 4, 2);
    session.startTime = "09:05:07";
  }
  void TearDown() override {
    ws.reset();
    DataDir::TearDown();
  }

  struct AccessRow {
    store::Date fecha;
    std::string inicio, fin, clave, nombre, passw;
  };
  std::vector<AccessRow> accessRows() const {
    store::Workspace reader(dir);
    EXPECT_TRUE(reader.DBUSEAREA(true, "ACCESOS.DBF", "ACCESOS", true));
    std::vector<AccessRow> rows;
    reader.area("ACCESOS").DBEVAL([&](store::WorkArea& a) {
      rows.push_back({a.getDate("Fecha"), a.getText("Inicio"), a.getText("Fin"), a.getText("Clave"),
                      a.getText("Nombre"), a.getText("Passw")});
    });
    return rows;
  }

  std::unique_ptr<store::Workspace> ws;
  Session session;
  ui::ScriptedPort port;
};

std::string padded(const std::string& text, size_t width) {
  return text + std::string(width - text.size(), ' ');
}

TEST_F(Salida, AnsweringNoKeepsTheWindowAndWritesNothing) {
  const std::string before = bytes("ACCESOS.DBF");
  port.answer(false);
  EXPECT_FALSE(SALIDA(port, *ws, session));
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kQuestion);
  EXPECT_EQ(port.calls()[0].title, "Salida del Sistema");
  EXPECT_EQ(port.calls()[0].text, "¿ Desea salir de Canalix ?");
  EXPECT_EQ(bytes("ACCESOS.DBF"), before);
  EXPECT_TRUE(ws->used("ACCESOS"));  // the run goes on with its tables
}

TEST_F(Salida, AnsweringSiWritesOneAccessRowAndClosesEveryTable) {
  port.answer(true);
  EXPECT_TRUE(SALIDA(port, *ws, session));
  EXPECT_EQ(port.calls().size(), 1u);  // the question alone: no lock trouble
  EXPECT_TRUE(ws->aliases().empty());
  const auto rows = accessRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].fecha, store::makeDate(2014, 4, 2));
  EXPECT_EQ(rows[0].inicio, "09:05:07  ");
  // The user record stays 1 while there is no log-in: the default user.
  EXPECT_EQ(rows[0].clave, padded("TORVELA", 10));
  EXPECT_EQ(rows[0].nombre, padded("ESTE NOMBRE DEBE MODIFICARSE", 35));
  EXPECT_EQ(rows[0].passw, padded("TORVELA", 10));
  const std::string& fin = rows[0].fin;
  ASSERT_EQ(fin.size(), 10u);
  EXPECT_EQ(fin.substr(8), "  ");
  EXPECT_EQ(fin[2], ':');
  EXPECT_EQ(fin[5], ':');
}

TEST_F(Salida, TheRowCopiesTheUserOnWhichTheSessionStands) {
  store::WorkArea& users = ws->area("USUARIOS");
  ASSERT_TRUE(users.DBAPPEND());
  users.put("Clave", std::string("PEPE"));
  users.put("Nombre", std::string("JOSE GARC\xCD"
                                  "A"));  // Windows-1252 bytes pass unchanged
  users.put("Passw", std::string("CLAVE2"));
  users.DBRUNLOCK();
  users.DBCOMMIT();
  session.userRecord = 2;
  ASSERT_TRUE(writeAccessRow(port, *ws, session, "10:00:00"));
  ws->DBCLOSEALL();
  const auto rows = accessRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].clave, padded("PEPE", 10));
  EXPECT_EQ(rows[0].nombre, padded("JOSE GARC\xCD"
                                   "A",
                                   35));
  EXPECT_EQ(rows[0].passw, padded("CLAVE2", 10));
  EXPECT_EQ(rows[0].fin, "10:00:00  ");
}

TEST_F(Salida, EachRunAddsItsOwnRow) {
  ASSERT_TRUE(writeAccessRow(port, *ws, session, "10:00:00"));
  session.startTime = "11:00:00";
  ASSERT_TRUE(writeAccessRow(port, *ws, session, "12:00:00"));
  ws->DBCLOSEALL();
  const auto rows = accessRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].inicio, "09:05:07  ");
  EXPECT_EQ(rows[1].inicio, "11:00:00  ");
  EXPECT_EQ(rows[1].fin, "12:00:00  ");
}

}  // namespace
}  // namespace canalix::shell
