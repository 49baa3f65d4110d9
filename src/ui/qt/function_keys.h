// Function keys bound for the whole run: they work in every window of the
// program, modal dialogs included.
#pragma once

#include <QObject>
#include <functional>
#include <map>

namespace canalix::ui {

class FunctionKeys : public QObject {
 public:
  // Watches every key press of the application from now on.
  explicit FunctionKeys(QObject* parent = nullptr);
  ~FunctionKeys() override;

  // Runs `action` when `key` (Qt::Key_F1...) is pressed without modifiers.
  void bind(int key, std::function<void()> action);
  bool bound(int key) const { return actions_.count(key) != 0; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::map<int, std::function<void()>> actions_;
  bool running_ = false;  // a key's action is running; a second press waits for it to end
};

}  // namespace canalix::ui
