// The reorganisation dialog over a real data directory, used as the user does:
// the buttons are clicked and the files read afterwards. Asking first it
// changes nothing until Aceptar; with another copy running it is refused; at
// start-up it runs by itself and closes.
#include "shell/indices_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <map>

#include "common/child_process.h"
#include "shell/main_window.h"
#include "shell/session.h"
#include "shell_fixture.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

constexpr const char* kCommunity = " Comunidad de Regantes de Prueba";

// What the dialog shows, read from its widgets.
struct Shown {
  QString title, heading, message, progressText;
  int percent = -1;
  bool picture = false;
  bool acceptVisible = false, cancelVisible = false, exitVisible = false, exitEnabled = false;
  QString defaultButton;  // object name of the button Enter gives; empty when none
};

template <typename T>
T* child(QWidget* dialog, const char* name) {
  T* w = dialog->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

QPushButton* acceptButton(QWidget* d) { return child<QPushButton>(d, "indicesAccept"); }
QPushButton* cancelButton(QWidget* d) { return child<QPushButton>(d, "indicesCancel"); }
QPushButton* exitButton(QWidget* d) { return child<QPushButton>(d, "indicesExit"); }

Shown shown(QWidget* d) {
  Shown s;
  s.title = d->windowTitle();
  s.heading = child<QLabel>(d, "indicesHeading")->text();
  s.message = child<QLabel>(d, "indicesMessage")->text();
  s.progressText = child<QLabel>(d, "indicesProgressText")->text();
  s.percent = child<QProgressBar>(d, "indicesBar")->value();
  s.picture = !child<QLabel>(d, "indicesPicture")->pixmap().isNull();
  s.acceptVisible = acceptButton(d)->isVisible();
  s.cancelVisible = cancelButton(d)->isVisible();
  s.exitVisible = exitButton(d)->isVisible();
  s.exitEnabled = exitButton(d)->isEnabled();
  for (QPushButton* b : d->findChildren<QPushButton*>())
    if (b->isDefault()) s.defaultButton = b->objectName();
  return s;
}

// Another copy of the program: it holds the data directory's lock shared
// until told to let go.
canalix::testing::Child runningCopy(const std::filesystem::path& dir) {
  return canalix::testing::Child([dir](canalix::testing::Child& self) {
    store::DataDirLock lock(dir);
    if (lock.share() != store::LockResult::kGranted) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
}

class IndicesDialogTest : public testing::DataDir {
 protected:
  void SetUp() override {
    DataDir::SetUp();
    ws = std::make_unique<store::Workspace>(dir);
    prepare(*ws, port);
    // Two members, the second deleted: a reorganisation leaves one.
    store::WorkArea& socios = ws->area("SOCIOS");
    for (const char* numero : {"0001", "0002"}) {
      ASSERT_TRUE(socios.DBAPPEND());
      socios.put("NumSocio", std::string(numero));
      if (std::string(numero) == "0002") socios.DBDELETE();
      socios.DBRUNLOCK();
    }
    socios.DBCOMMIT();
    ASSERT_EQ(recordCount("SOCIOS"), 2u);
    port.clear();
  }
  void TearDown() override {
    ws.reset();
    DataDir::TearDown();
  }

  // Opens the dialog as the program does and, once it is up, runs `act` on
  // it (which must close it in asking mode). Returns what INDICES returned.
  store::ReorgResult open(bool automatic, const std::function<void(QWidget*)>& act) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(qobject_cast<IndicesDialog*>(dialog), nullptr);
      acted = true;
      act(dialog);
      // Asking first, only the user closes it: a case that left it open fails
      // here instead of waiting for ever.
      if (!automatic && dialog->isVisible()) {
        ADD_FAILURE() << "the dialog is still open";
        dialog->hide();
      }
    });
    const store::ReorgResult result = INDICES(nullptr, port, *ws, *lock, automatic, kCommunity);
    EXPECT_TRUE(acted);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog is closed on return";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the normal cursor is back";
    return result;
  }


  ui::ScriptedPort port;
  std::unique_ptr<store::Workspace> ws;
};

TEST_F(IndicesDialogTest, EachModeOpensWithItsTextsAndButtonsAfterTwoBeeps) {
  struct Case {
    bool automatic;
    const char* heading;
    std::string_view message;
    bool acceptVisible, cancelVisible, exitVisible, exitEnabled;
    const char* defaultButton;  // the one Enter gives; empty when none
  };
  const Case cases[] = {
      {false, "¡PRECAUCION!", kIndicesAskingMessage, true, true, false, true, "indicesCancel"},
      // At start-up nothing is asked and nobody may leave while it runs.
      {true, "REORGANIZACION AUTOMATICA", kIndicesAutomaticMessage, false, false, true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.automatic ? "automatic" : "asking");
    port.clear();
    Shown s;
    QStringList texts, tips;
    open(c.automatic, [&](QWidget* d) {
      s = shown(d);
      for (QPushButton* b : {acceptButton(d), cancelButton(d), exitButton(d)}) {
        texts << b->text();
        tips << b->toolTip();
      }
      if (!c.automatic) QTest::mouseClick(cancelButton(d), Qt::LeftButton);
    });
    EXPECT_EQ(s.title, "Reorganizar archivos de CANALIX");
    EXPECT_EQ(s.heading, QString::fromUtf8(c.heading));
    EXPECT_EQ(s.message.toStdString(), c.message);
    EXPECT_TRUE(s.picture);
    EXPECT_EQ(s.acceptVisible, c.acceptVisible);
    EXPECT_EQ(s.cancelVisible, c.cancelVisible);
    EXPECT_EQ(s.exitVisible, c.exitVisible);
    EXPECT_EQ(s.exitEnabled, c.exitEnabled);
    EXPECT_EQ(s.defaultButton, c.defaultButton);
    EXPECT_EQ(texts, QStringList({"    Aceptar", "    Cancelar", "    Salir"}));
    EXPECT_EQ(tips, QStringList({QString::fromUtf8("Comenzar la reorganización de archivos"),
                                 "Cancelar el proceso", " Salir "}));
    const auto tones = port.callsOf(ui::CallKind::kTone);
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_EQ(tones[0].hertz, 4000);
    EXPECT_EQ(tones[1].hertz, 3000);
    EXPECT_EQ(tones[0].milliseconds, 55);
    EXPECT_EQ(tones[1].milliseconds, 55);
  }
}

TEST_F(IndicesDialogTest, LeavingWithoutAceptarChangesNoFile) {
  struct Case {
    const char* way;
    std::function<void(QWidget*)> leave;
  };
  const Case cases[] = {
      {"Cancelar", [](QWidget* d) { QTest::mouseClick(cancelButton(d), Qt::LeftButton); }},
      {"Enter, which gives Cancelar", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Return); }},
      {"Escape", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }},
  };
  const auto before = files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    const store::ReorgResult result = open(false, c.leave);
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(files() == before) << "a file changed";
  }
  EXPECT_EQ(recordCount("SOCIOS"), 2u);
  EXPECT_TRUE(port.callsOf(ui::CallKind::kStop).empty());
}

TEST_F(IndicesDialogTest, AceptarReorganisesThenOffersOnlySalir) {
  Shown after;
  const store::ReorgResult result = open(false, [&](QWidget* d) {
    QTest::mouseClick(acceptButton(d), Qt::LeftButton);
    after = shown(d);
    QTest::mouseClick(exitButton(d), Qt::LeftButton);
  });
  EXPECT_TRUE(result.done);
  EXPECT_EQ(recordCount("SOCIOS"), 1u) << "the deleted member is gone from the file";
  EXPECT_EQ(after.percent, 100);
  EXPECT_EQ(after.progressText, "PROCESO FINALIZADO");
  EXPECT_FALSE(after.acceptVisible);
  EXPECT_FALSE(after.cancelVisible);
  EXPECT_TRUE(after.exitVisible);
  EXPECT_TRUE(after.exitEnabled);
  EXPECT_EQ(after.defaultButton, "indicesExit");
  EXPECT_TRUE(port.callsOf(ui::CallKind::kStop).empty());
  // The program goes on with its tables open shared.
  ASSERT_TRUE(ws->used("SOCIOS"));
  EXPECT_TRUE(ws->area("SOCIOS").shared());
  EXPECT_TRUE(lock->held() && !lock->exclusive());
}

TEST_F(IndicesDialogTest, WhileItRunsNothingTheUserDoesStopsIt) {
  bool cancelEnabled = true, stillOpen = false;
  const store::ReorgResult result = open(false, [&](QWidget* d) {
    // Runs from the first repaint of the progress, in the middle of the work.
    QTimer::singleShot(0, [&, d] {
      cancelEnabled = cancelButton(d)->isEnabled();
      QTest::mouseClick(cancelButton(d), Qt::LeftButton);
      QTest::keyClick(d, Qt::Key_Escape);
      d->close();
      stillOpen = d->isVisible();
    });
    QTest::mouseClick(acceptButton(d), Qt::LeftButton);
    QTest::mouseClick(exitButton(d), Qt::LeftButton);
  });
  EXPECT_FALSE(cancelEnabled);
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(result.done);
  EXPECT_EQ(recordCount("SOCIOS"), 1u);
}

TEST_F(IndicesDialogTest, WithAnotherCopyRunningItIsRefusedAndChangesNoFile) {
  struct Case {
    bool automatic;
    size_t stopBoxes;  // at start-up the program itself says it is postponed
  };
  const Case cases[] = {{false, 1}, {true, 0}};
  auto other = runningCopy(dir);
  other.waitChild();
  const auto before = files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.automatic ? "automatic" : "asking");
    port.clear();
    Shown after;
    const store::ReorgResult result = open(c.automatic, [&](QWidget* d) {
      if (c.automatic) return;
      QTest::mouseClick(acceptButton(d), Qt::LeftButton);
      after = shown(d);
      QTest::mouseClick(exitButton(d), Qt::LeftButton);
    });
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(result.otherCopies);
    EXPECT_TRUE(files() == before) << "a file changed";
    const auto stops = port.callsOf(ui::CallKind::kStop);
    ASSERT_EQ(stops.size(), c.stopBoxes);
    if (!c.automatic) {
      EXPECT_EQ(stops[0].text, store::refusalMessage(result));
      EXPECT_NE(stops[0].text.find("otro puesto"), std::string::npos) << stops[0].text;
      // The dialog stayed after the box, offering only Salir.
      EXPECT_FALSE(after.acceptVisible);
      EXPECT_TRUE(after.exitVisible && after.exitEnabled);
    }
  }
  EXPECT_EQ(recordCount("SOCIOS"), 2u);
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
}

TEST_F(IndicesDialogTest, AutomaticModeRunsAtOnceAndClosesItself) {
  bool exitEnabled = true;
  const store::ReorgResult result = open(true, [&](QWidget* d) {
    exitEnabled = exitButton(d)->isEnabled();
    QTest::mouseClick(exitButton(d), Qt::LeftButton);  // disabled: nothing happens
  });
  EXPECT_FALSE(exitEnabled);
  EXPECT_TRUE(result.done);
  EXPECT_EQ(recordCount("SOCIOS"), 1u);
  EXPECT_TRUE(port.callsOf(ui::CallKind::kStop).empty());
  EXPECT_TRUE(port.callsOf(ui::CallKind::kInfo).empty());
}

TEST_F(IndicesDialogTest, AnEngineErrorReachesTheCallerOnceTheDialogHasClosed) {
  writeBytes("GASTOS.DBF", "esto no es una tabla");
  for (bool automatic : {false, true}) {
    SCOPED_TRACE(automatic ? "automatic" : "asking");
    bool thrown = false;
    try {
      open(automatic, [&](QWidget* d) {
        if (!automatic) QTest::mouseClick(acceptButton(d), Qt::LeftButton);
      });
    } catch (const store::EngineError& e) {
      thrown = true;
      EXPECT_NE(std::string(e.what()).find("GASTOS"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(port.callsOf(ui::CallKind::kStop).empty()) << "the general error handler reports it";
  }
}

// The main window opens the dialog asking first, from its button and its menu item.
TEST_F(IndicesDialogTest, TheMainWindowsButtonAndMenuItemOpenItAskingFirst) {
  const char* argv[] = {"canalix"};
  const Session session = startSession(1, argv);
  MainWindow window(session, port, [] { return true; }, QPixmap(),
                    {{Command::kReorganizar, [&](QWidget* over) {
                        INDICES(over, port, *ws, *lock, false, session.communityTitle);
                      }}});
  window.show();
  QAction* menuItem = nullptr;
  for (QAction* top : window.menuBar()->actions())
    for (QAction* a : top->menu()->actions())
      if (a->text() == "&Reorganizar Archivos") menuItem = a;
  ASSERT_NE(menuItem, nullptr);
  auto* toolButton = qobject_cast<QToolButton*>(
      window.mainToolBar()->widgetForAction(window.toolAction(Command::kReorganizar)));

  struct Case {
    const char* from;
    QAction* action;
  };
  const Case cases[] = {{"tool bar", window.toolAction(Command::kReorganizar)}, {"menu", menuItem}};
  const auto before = files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    QString heading;
    bool parentIsWindow = false;
    QTimer::singleShot(0, [&] {
      QWidget* d = QApplication::activeModalWidget();
      ASSERT_NE(qobject_cast<IndicesDialog*>(d), nullptr);
      heading = shown(d).heading;
      parentIsWindow = d->parentWidget() == &window;
      QTest::mouseClick(cancelButton(d), Qt::LeftButton);
    });
    c.action->trigger();
    EXPECT_EQ(heading, QString::fromUtf8("¡PRECAUCION!"));
    EXPECT_TRUE(parentIsWindow);
    EXPECT_FALSE(toolButton->isDown());
  }
  EXPECT_TRUE(files() == before);
  EXPECT_TRUE(port.callsOf(ui::CallKind::kInfo).empty()) << "not the notice of later work";
}

}  // namespace
}  // namespace canalix::shell
