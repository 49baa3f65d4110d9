// PRINCIPAL: start-up steps in order, then the main window's event loop.
//
// Not yet here, each for its own later work: the community chooser of a
// multi-community parameter, the automatic backups on entry and exit, the
// desktop calculator object of F9 and the log-in when the window is first
// shown (the user record stays 1 until it exists).
#include "shell/principal_qt.h"

#include <QPixmap>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "shell/data_files.h"
#include "shell/error_report.h"
#include "shell/indices_dialog.h"
#include "shell/main_window.h"
#include "shell/salida.h"
#include "shell/session.h"
#include "shell/startup.h"
#include "shell/test_hook.h"
#include "store/data_dir_lock.h"
#include "store/table_engine.h"
#include "ui/qt/bitmap_icons.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/qt_text.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

constexpr int kTestCloseIntervalMs = 300;

QPixmap backgroundPicture(const std::filesystem::path& dataDir) {
  const std::filesystem::path file = findDataFile(dataDir, kBackgroundPicture);
  return file.empty() ? QPixmap() : QPixmap(ui::pathToQt(file));
}

// The test hook's close requests, one per scripted answer.
void scheduleTestCloses(MainWindow& window, size_t count) {
  for (size_t i = 1; i <= count; ++i) {
    QTimer::singleShot(int(i) * kTestCloseIntervalMs, &window, [&window] { window.close(); });
  }
}

// Start-up's automatic reorganisation shown in the INDICES dialog.
StartupSteps startupSteps(const Session& session) {
  StartupSteps steps = defaultStartupSteps();
  steps.reorganiseAutomatically = [&session](store::Workspace& ws, store::DataDirLock& lock, ui::UiPort& ui) {
    return INDICES(nullptr, ui, ws, lock, true, session.communityTitle);
  };
  return steps;
}

// The screens of the main window that work on the program's tables.
MainWindow::Screens windowScreens(const Session& session, ui::UiPort& ui, store::Workspace& ws,
                                  store::DataDirLock& lock) {
  return {{Command::kReorganizar, [&session, &ui, &ws, &lock](QWidget* window) {
             INDICES(window, ui, ws, lock, false, session.communityTitle);
           }}};
}

}  // namespace

int PRINCIPAL(ui::GuardedApplication& app, int argc, char** argv) {
  const std::filesystem::path dataDir = std::filesystem::current_path();
  const auto testAnswers = testExitAnswers();
  std::unique_ptr<ui::UiPort> port;
  ui::ScriptedPort* scripted = nullptr;
  if (testAnswers) {
    auto s = std::make_unique<ui::ScriptedPort>();
    for (bool yes : *testAnswers) s->answer(yes);
    scripted = s.get();
    port = std::move(s);
  } else {
    port = std::make_unique<ui::QtPort>();
  }
  auto printCalls = [scripted] {
    if (scripted) std::fputs(scripted->dump().c_str(), stdout);
  };
  app.setErrorHandler([&](std::exception_ptr error) {
    const int code = reportFatalError(*port, dataDir, error);
    printCalls();
    return code;
  });

  // Steps 1 to 4: picture, session values, global settings.
  const QPixmap background = backgroundPicture(dataDir);
  const Session session = startSession(argc, argv);
  makeGlobalSettings();
  ui::useBitmapTheme();

  // Steps 6 and 7: the tables.
  // The data directory's lock is held shared until the program ends.
  store::Workspace ws(dataDir);
  std::unique_ptr<store::DataDirLock> lock;
  try {
    lock = std::make_unique<store::DataDirLock>(dataDir);
    if (!prepareDataDirectory(ws, *lock, *port, startupSteps(session)).ready) return 0;
  } catch (...) {
    app.fail(std::current_exception());
  }

  // Steps 9 to 14: the window.
  MainWindow window(
      session, *port, [&] { return SALIDA(*port, ws, session); }, background,
      windowScreens(session, *port, ws, *lock));
  if (auto* qtPort = dynamic_cast<ui::QtPort*>(port.get())) {
    qtPort->setNoticeSink([&window](const QString& text) { window.statusBar()->showMessage(text, 4000); });
  }
  window.showMaximized();
  if (testAnswers) scheduleTestCloses(window, testAnswers->size());
  const int code = app.exec();
  printCalls();
  return code;
}

}  // namespace canalix::shell
