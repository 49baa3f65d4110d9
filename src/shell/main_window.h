// The main frame window: background picture, tool bar, menu, message bar and
// the function keys, from which every task of the program is reached.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <functional>
#include <map>

#include "shell/main_menu.h"
#include "shell/session.h"
#include "ui/ui_port.h"

class QToolBar;
class QToolButton;

namespace canalix::ui {
class FunctionKeys;
class MessageBar;
}  // namespace canalix::ui

namespace canalix::shell {

inline constexpr std::string_view kLaterNotice =
    "Esta opción estará disponible en una próxima versión de CANALIX.";
inline constexpr std::string_view kMessageBarIdle = "CANALIX - Gestión de Comunidad de Regantes";
inline constexpr std::string_view kMessageBarItem = "CANALIX 4.4c";
inline constexpr std::string_view kHelpTopic = "01. Canalix";

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The screens the program opens for some commands (INDICES for
  // kReorganizar), given by PRINCIPAL, which owns what they work on; each is
  // called with the window to show itself over.
  using Screens = std::map<Command, std::function<void(QWidget* window)>>;

  // `mayClose` runs the exit sequence and says whether the window may close;
  // `background` is the picture stretched over the client area (may be null).
  MainWindow(const Session& session, ui::UiPort& ui, std::function<bool()> mayClose, QPixmap background,
             Screens screens = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  QToolBar* mainToolBar() const { return toolBar_; }
  ui::MessageBar* messageBar() const { return messageBar_; }
  // The tool-bar action of `command`; null when it has no button.
  QAction* toolAction(Command command) const;
  // True once the exit sequence has let the window close.
  bool exitConfirmed() const { return exitConfirmed_; }

  // Runs what a button, item or key asks for.
  void run(Command command);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildToolBar();
  void buildMenu();
  void bindFunctionKeys();
  void runPressed(Command command, QToolButton* button);

  const Session& session_;  // its working year and community title go to the screens of later work
  ui::UiPort& ui_;
  std::function<bool()> mayClose_;
  Screens screens_;
  QToolBar* toolBar_ = nullptr;
  ui::MessageBar* messageBar_ = nullptr;
  ui::FunctionKeys* keys_ = nullptr;
  std::map<Command, QAction*> toolActions_;
  bool exitConfirmed_ = false;
};

}  // namespace canalix::shell
