// The main window as the user finds it, offscreen: its title, the tool bar,
// the menu with its messages, the keys, the About box and the way out.
#include "shell/main_window.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "shell/about_dialog.h"
#include "shell/salida.h"
#include "shell/startup.h"
#include "shell_fixture.h"
#include "ui/qt/message_bar.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

Session testSession() {
  const char* argv[] = {"canalix"};
  return startSession(1, argv);
}

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// "|" for a bar, else the button's text and tooltip.
QStringList toolBarLines(QToolBar* bar) {
  QStringList lines;
  for (QAction* a : bar->actions())
    lines << (a->isSeparator() ? QString("|") : a->text() + " / " + a->toolTip());
  return lines;
}

// Every entry of a menu, indented by depth: "text / message", "-" for a separator.
void menuLines(QMenu* menu, const QString& indent, QStringList& lines) {
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      lines << indent + "-";
      continue;
    }
    lines << indent + a->text() + " / " + a->statusTip();
    if (a->menu()) menuLines(a->menu(), indent + "  ", lines);
  }
}

class MainWindowTest : public ::testing::Test {
 protected:
  Session session = testSession();
  ui::ScriptedPort port;
  int asked = 0;
  bool letClose = false;
  MainWindow window{session, port,
                    [this] {
                      ++asked;
                      return letClose;
                    },
                    QPixmap()};
};

TEST_F(MainWindowTest, TitleIsTheProgramAndCommunityTitles) {
  EXPECT_EQ(window.windowTitle(),
            q("CANALIX - 4.4c (02-04-2014) Año 2014 -  Gestión de Comunidad de Regantes"));
}

TEST_F(MainWindowTest, ToolBarHasTheElevenButtonsWithTheirBars) {
  const QStringList expected = {
      q("Socios / Mantenimiento de Socios-Parcelas-Recibos"),
      q("Recibos / Mantenimiento de datos de Recibos"),
      q("Parcelas / Datos Parcelas y lecturas contadores"),
      "|",
      q("Contabilidad /  Control de Gastos e Ingresos "),
      "|",
      q("Configuración / Datos frecuentes y de configuración"),
      "|",
      q("Reorganizar archivos / Indexar archivos "),
      "|",
      q("Hacer copias / Realizar copias de seguridad "),
      "|",
      q("Calculadora / Calculadora euros/pesetas"),
      q("Calendario / Calendario perpetuo"),
      "|",
      q("Ayuda / Acceso a la ayuda/manual del programa"),
      "|",
      q("Salir / Termina la ejecución de CANALIX"),
  };
  EXPECT_EQ(toolBarLines(window.mainToolBar()), expected);
  EXPECT_EQ(window.mainToolBar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  // Two rows of text under the image.
  EXPECT_EQ(window.toolAction(Command::kReorganizar)->iconText(), "Reorganizar\narchivos");
  for (QAction* a : window.mainToolBar()->actions()) {
    if (!a->isSeparator()) {
      EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
    }
  }
}

TEST_F(MainWindowTest, MenuHasEveryEntryWithItsMessage) {
  QStringList lines;
  for (QAction* top : window.menuBar()->actions()) {
    lines << top->text();
    menuLines(top->menu(), "  ", lines);
  }
  const QStringList expected = {
      q("&Datos de..."),
      q("  Socios, Parcelas y Recibos / Mantenimiento de datos de Socios, Parcelas y Recibos..."),
      q("  -"),
      q("  &Contabilidad / Control de Gastos e Ingresos"),
      q("    &Grupos de Gastos/Ingresos / Control de Grupos de Gastos e Ingresos"),
      q("    &Conceptos de Gastos/Ingresos / Control de Conceptos de Gastos e Ingresos"),
      q("    C&ontrol de Gastos e Ingresos / Control de Gastos e Ingresos"),
      q("    -"),
      q("    L&ibro de Caja  / Control del Libro de Caja en metálico "),
      q("  -"),
      q("  &Datos más frecuentes y de configuración / Mantenimiento de datos más frecuentes y "
        "configuración..."),
      q("  -"),
      q("  &Configurar impresión / Elegir impresora..."),
      q("  -"),
      q("  U&suarios / Usuarios"),
      q("    &Control de usuarios del programa / "),
      q("    C&ontrol de accesos al programa / "),
      q("  -"),
      q("  &Salir... / Terminar la ejecución de este programa"),
      q("&Utilidades"),
      q("  &Copias de Seguridad / "),
      q("    &Realizar Copias de Seguridad  / "),
      q("    R&estaurar Copias de Seguridad / "),
      q("    C&onfigurar Copias de Seguridad automáticas / "),
      q("  &Reorganizar Archivos / Regeneración de índices..... "),
      q("  -"),
      q("  C&alculadora de Windows / Llama a la calculadora de Windows"),
      q("  Ca&lculadora del programa      F9  / Llama a la calculadora del programa "),
      q("  Cale&ndario                             F11  / Calendario perpetuo   "),
      q("  &Editor de textos / Editor de textos del sistema..."),
      q("  -"),
      q("  &Mapa de CANALIX / Esquema de opciones de Canalix....."),
      q("&?"),
      q("  &Ayuda         F1 / Llama a la Ayuda del programa"),
      q("  -"),
      q("  Acerca &de...... / Acerca de...."),
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(MainWindowTest, ClosingAsksTheExitSequenceAndStaysOpenOnNo) {
  window.show();
  window.close();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window.isVisible());
  window.toolAction(Command::kSalir)->trigger();
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(window.isVisible());
  letClose = true;
  window.toolAction(Command::kSalir)->trigger();
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.exitConfirmed());
}

TEST_F(MainWindowTest, ScreensOfLaterWorkSayItThroughThePort) {
  window.show();
  window.toolAction(Command::kSocios)->trigger();
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kInfo);
  EXPECT_EQ(port.calls()[0].title, "Socios, Parcelas y Recibos");
  EXPECT_EQ(port.calls()[0].text, "Esta opción estará disponible en una próxima versión de CANALIX.");
}

// A port that notes, at each box, whether the button of the command is down.
class PressWatchingPort : public ui::ScriptedPort {
 public:
  QToolButton* watched = nullptr;
  std::vector<bool> downAtBox;
  void info(std::string_view text, std::string_view title) override {
    downAtBox.push_back(watched && watched->isDown());
    ScriptedPort::info(text, title);
  }
};

TEST(MainWindowButtons, ButtonsOneToSevenStayPressedWhileTheirScreenIsOpen) {
  const Session session = testSession();
  PressWatchingPort port;
  MainWindow window(
      session, port, [] { return false; }, QPixmap());
  window.show();
  struct Case {
    Command command;
    bool pressed;
  };
  const Case cases[] = {{Command::kSocios, true},      {Command::kRecibos, true},
                        {Command::kParcelas, true},    {Command::kContabilidad, true},
                        {Command::kFrecu, true},       {Command::kReorganizar, true},
                        {Command::kCopias, true},      {Command::kCalculador, false},
                        {Command::kCalendario, false}, {Command::kAyuda, false}};
  for (const Case& c : cases) {
    QAction* action = window.toolAction(c.command);
    port.watched = qobject_cast<QToolButton*>(window.mainToolBar()->widgetForAction(action));
    port.downAtBox.clear();
    action->trigger();
    ASSERT_EQ(port.downAtBox.size(), 1u) << action->text().toStdString();
    EXPECT_EQ(port.downAtBox[0], c.pressed) << action->text().toStdString();
    EXPECT_FALSE(port.watched->isDown()) << "released when the screen closes";
  }
}

// PATH pointed at an empty folder for the life of the object.
class NoProgramsOnPath {
 public:
  NoProgramsOnPath() : saved_(qgetenv("PATH")) {
    char tmpl[] = "/tmp/canalix-path-XXXXXX";
    dir_ = mkdtemp(tmpl);
    qputenv("PATH", dir_.c_str());
  }
  ~NoProgramsOnPath() {
    qputenv("PATH", saved_);
    std::filesystem::remove_all(dir_);
  }

 private:
  QByteArray saved_;
  std::string dir_;
};

TEST_F(MainWindowTest, DesktopProgramsThatAreNotInstalledAreSaidSo) {
  NoProgramsOnPath noPrograms;
  struct Case {
    Command command;
    const char* text;
  };
  const Case cases[] = {
      {Command::kCalcSistema, "No se encuentra ninguna calculadora instalada en el sistema."},
      {Command::kEditor, "No se encuentra ningún editor de textos instalado en el sistema."},
  };
  for (const Case& c : cases) {
    port.clear();
    window.run(c.command);
    ASSERT_EQ(port.calls().size(), 1u);
    EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kAlert);
    EXPECT_EQ(port.calls()[0].title, "¡¡¡ Atención !!!");
    EXPECT_EQ(port.calls()[0].text, c.text);
  }
  port.clear();
  QApplication::setActiveWindow(&window);
  window.show();
  QTest::keyClick(&window, Qt::Key_F10);
  EXPECT_EQ(port.calls().at(0).text, cases[0].text);
}

TEST_F(MainWindowTest, FunctionKeysWorkInTheWindow) {
  window.show();
  QApplication::setActiveWindow(&window);
  struct Case {
    Qt::Key key;
    const char* title;
  };
  const Case cases[] = {
      {Qt::Key_F1, "Ayuda"},
      {Qt::Key_F9, "Calculadora del programa"},
      {Qt::Key_F11, "Calendario perpetuo"},
      {Qt::Key_F12, "Calculadora euros/pesetas"},
  };
  for (const Case& c : cases) {
    port.clear();
    QTest::keyClick(&window, c.key);
    ASSERT_EQ(port.calls().size(), 1u) << c.title;
    EXPECT_EQ(port.calls()[0].title, c.title);
  }
}

TEST_F(MainWindowTest, MessageBarItemOpensTheAboutBox) {
  window.show();
  QString title, programTitle, web, mail, exitText, exitTip;
  bool opened = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    opened = true;
    title = about->windowTitle();
    programTitle = about->titleLabel()->text();
    web = about->webLabel()->text();
    mail = about->mailLabel()->text();
    exitText = about->exitButton()->text();
    exitTip = about->exitButton()->toolTip();
    EXPECT_EQ(about->homeButton()->toolTip(), " Salir ");
    // The function keys work inside a modal dialog too.
    QTest::keyClick(about, Qt::Key_F11);
    QTest::mouseClick(about->exitButton(), Qt::LeftButton);
  });
  QLabel* item = window.messageBar()->item();
  EXPECT_EQ(item->width(), 125);
  QTest::mouseClick(item, Qt::LeftButton);
  EXPECT_TRUE(opened);
  EXPECT_EQ(title, "Acerca de.....");
  EXPECT_EQ(programTitle, q("CANALIX - 4.4c (02-04-2014) Año 2014"));
  EXPECT_FALSE(web.isEmpty());
  EXPECT_TRUE(mail.contains('@'));
  EXPECT_EQ(exitText, "    Salir");
  EXPECT_EQ(exitTip, " Salir ");
  ASSERT_EQ(port.callsOf(ui::CallKind::kInfo).size(), 1u);
  EXPECT_EQ(port.callsOf(ui::CallKind::kInfo)[0].title, "Calendario perpetuo");
}

TEST(AboutBox, ClickingTheProgramTitleClosesIt) {
  ui::ScriptedPort port;
  AboutDialog about(port, "Acerca de.....", "CANALIX");
  about.show();
  QTest::mouseClick(about.titleLabel(), Qt::LeftButton);
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

// The window over real tables: leaving through the Salir button.
class MainWindowOverTables : public testing::DataDir {};

TEST_F(MainWindowOverTables, NoThenSiWritesExactlyOneAccessRow) {
  store::Workspace ws(dir);
  ui::ScriptedPort port;
  prepare(ws, port);
  port.clear();
  const Session session = testSession();
  MainWindow window(
      session, port, [&] { return SALIDA(port, ws, session); }, QPixmap());
  window.show();
  const std::string before = bytes("ACCESOS.DBF");

  port.answer(false);
  window.toolAction(Command::kSalir)->trigger();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(bytes("ACCESOS.DBF"), before);

  port.answer(true);
  window.toolAction(Command::kSalir)->trigger();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(port.callsOf(ui::CallKind::kQuestion).size(), 2u);
  EXPECT_EQ(recordCount("ACCESOS"), 1u);
}

}  // namespace
}  // namespace canalix::shell
