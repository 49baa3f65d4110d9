// FunctionKeys: an application-wide filter of key presses.
#include "ui/qt/function_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace canalix::ui {

FunctionKeys::FunctionKeys(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

FunctionKeys::~FunctionKeys() {
  if (qApp) qApp->removeEventFilter(this);
}

void FunctionKeys::bind(int key, std::function<void()> action) { actions_[key] = std::move(action); }

bool FunctionKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::KeypadModifier) return false;
  auto found = actions_.find(key->key());
  if (found == actions_.end()) return false;
  // The press is consumed where it first arrives, so it never reaches the parents.
  if (!running_ && !key->isAutoRepeat()) {
    running_ = true;
    const auto action = found->second;
    action();
    running_ = false;
  }
  return true;
}

}  // namespace canalix::ui
