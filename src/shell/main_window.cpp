// MainWindow: the frame built from the tool bar and menu tables.
#include "shell/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>
#include <vector>

#include "shell/about_dialog.h"
#include "ui/qt/bitmap_icons.h"
#include "ui/qt/desktop_programs.h"
#include "ui/qt/function_keys.h"
#include "ui/qt/message_bar.h"
#include "ui/qt/qt_text.h"

namespace canalix::shell {
namespace {

constexpr int kButtonWidth = 50, kButtonHeight = 51, kImageSize = 32;

// The client area: the background picture stretched to its size on every repaint.
class Background : public QWidget {
 public:
  Background(QPixmap picture, QWidget* parent) : QWidget(parent), picture_(std::move(picture)) {
    setObjectName(QStringLiteral("background"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (picture_.isNull()) {
      painter.fillRect(rect(), QColor(0, 96, 128));
    } else {
      painter.drawPixmap(rect(), picture_);
    }
  }

 private:
  QPixmap picture_;
};

// Two rows of text under the image: a text of two words or more breaks at its
// first blank.
QString iconText(std::string_view text) {
  QString t = ui::toQt(text);
  const qsizetype blank = t.indexOf(' ');
  if (blank > 0) t[blank] = '\n';
  return t;
}

// The commands whose screens belong to later work: they say so through the port.
bool isLater(Command command) {
  switch (command) {
    case Command::kAcercaDe:
    case Command::kSalir:
    case Command::kCalcSistema:
    case Command::kEditor:
    case Command::kNone:
      return false;
    default:
      return true;
  }
}

}  // namespace

MainWindow::MainWindow(const Session& session, ui::UiPort& ui, std::function<bool()> mayClose,
                       QPixmap background, Screens screens, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      ui_(ui),
      mayClose_(std::move(mayClose)),
      screens_(std::move(screens)) {
  setWindowTitle(ui::toQt(shell::windowTitle(session)));
  setWindowIcon(ui::bitmapIcon("CANALIX"));
  setProperty("helpTopic", ui::toQt(kHelpTopic));
  setCentralWidget(new Background(std::move(background), this));
  buildMenu();
  buildToolBar();
  messageBar_ = new ui::MessageBar(ui::toQt(kMessageBarIdle), ui::toQt(kMessageBarItem), this);
  setStatusBar(messageBar_);
  connect(messageBar_, &ui::MessageBar::itemClicked, this, [this] { run(Command::kAcercaDe); });
  bindFunctionKeys();
  resize(1000, 700);  // the restored size; the window is shown maximised
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::toolAction(Command command) const {
  auto found = toolActions_.find(command);
  return found == toolActions_.end() ? nullptr : found->second;
}

void MainWindow::buildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("CANALIX"));
  toolBar_->setObjectName(QStringLiteral("mainToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(kImageSize, kImageSize));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  for (const ToolButton& b : toolBarButtons()) {
    if (b.barBefore) toolBar_->addSeparator();
    QAction* action = toolBar_->addAction(ui::bitmapIcon(b.image), ui::toQt(b.text));
    action->setIconText(iconText(b.text));
    action->setToolTip(ui::toQt(b.tooltip));
    action->setObjectName(ui::toQt(b.image));
    toolActions_[b.command] = action;
    auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action));
    button->setMinimumSize(kButtonWidth, kButtonHeight);
    const Command command = b.command;
    if (b.showsPressed) {
      connect(action, &QAction::triggered, this, [this, command, button] { runPressed(command, button); });
    } else {
      connect(action, &QAction::triggered, this, [this, command] { run(command); });
    }
  }
}

void MainWindow::buildMenu() {
  std::vector<QMenu*> open;  // the menu of each depth being filled
  for (const MenuEntry& e : MENUPRINCIPAL()) {
    open.resize(e.depth);
    QMenu* into = e.depth == 0 ? nullptr : open[e.depth - 1];
    if (e.kind == MenuEntryKind::kMenu) {
      open.push_back(menuBar()->addMenu(ui::toQt(e.text)));
      continue;
    }
    if (e.kind == MenuEntryKind::kSeparator) {
      into->addSeparator();
      continue;
    }
    if (e.kind == MenuEntryKind::kSubmenu) {
      QMenu* sub = into->addMenu(ui::bitmapIcon(e.bitmap), ui::toQt(e.text));
      sub->menuAction()->setStatusTip(ui::toQt(e.message));
      open.push_back(sub);
      continue;
    }
    QAction* item = into->addAction(ui::bitmapIcon(e.bitmap), ui::toQt(e.text));
    item->setStatusTip(ui::toQt(e.message));
    const Command command = e.command;
    connect(item, &QAction::triggered, this, [this, command] { run(command); });
  }
}

void MainWindow::bindFunctionKeys() {
  keys_ = new ui::FunctionKeys(this);
  keys_->bind(Qt::Key_F1, [this] { run(Command::kAyuda); });
  keys_->bind(Qt::Key_F9, [this] { run(Command::kCalculadoraF9); });
  keys_->bind(Qt::Key_F10, [this] { run(Command::kCalcSistema); });
  keys_->bind(Qt::Key_F11, [this] { run(Command::kCalendario); });
  keys_->bind(Qt::Key_F12, [this] { run(Command::kCalculador); });
}

void MainWindow::runPressed(Command command, QToolButton* button) {
  button->setDown(true);
  run(command);
  button->setDown(false);
}

void MainWindow::run(Command command) {
  if (auto screen = screens_.find(command); screen != screens_.end()) {
    screen->second(this);
    return;
  }
  if (isLater(command)) {
    ui_.info(kLaterNotice, commandName(command));
    return;
  }
  switch (command) {
    case Command::kSalir:
      close();
      break;
    case Command::kAcercaDe:
      ACERCADE(ui_, ui::toQt(kAboutTitle), ui::toQt(kProgramTitle), this);
      break;
    case Command::kCalcSistema:
      ui::startDesktopProgram(ui_, ui::DesktopProgram::kCalculator);
      break;
    case Command::kEditor:
      ui::startDesktopProgram(ui_, ui::DesktopProgram::kTextEditor);
      break;
    default:
      break;
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (exitConfirmed_ || mayClose_()) {
    exitConfirmed_ = true;
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace canalix::shell
