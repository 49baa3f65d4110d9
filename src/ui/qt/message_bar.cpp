// MessageBar: clock, date, keyboard indicators and the right-hand item.
#include "ui/qt/message_bar.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/qt/keyboard_state.h"

namespace canalix::ui {
namespace {

constexpr int kItemWidth = 125;

// A key event travels from the focus widget up to its window; only its first
// receiver counts, or a key would be seen once per level.
bool firstReceiver(QObject* watched) {
  QWidget* focus = QApplication::focusWidget();
  return focus ? watched == focus : watched == QApplication::activeWindow();
}

}  // namespace

MessageBar::MessageBar(const QString& idleText, const QString& itemText, QWidget* parent)
    : QStatusBar(parent) {
  setSizeGripEnabled(false);
  idle_ = new QLabel(idleText, this);
  idle_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  addWidget(idle_, 1);
  caps_ = addCell(52);
  num_ = addCell(40);
  insert_ = addCell(36);
  date_ = addCell(80);
  clock_ = addCell(64);
  item_ = new QLabel(itemText, this);
  item_->setObjectName(QStringLiteral("messageBarItem"));
  item_->setFixedWidth(kItemWidth);
  item_->setAlignment(Qt::AlignCenter);
  item_->setStyleSheet(
      QStringLiteral("QLabel { color: rgb(255, 0, 0); background: white; font-weight: bold; }"));
  item_->setCursor(Qt::PointingHandCursor);
  item_->installEventFilter(this);
  addPermanentWidget(item_);
  qApp->installEventFilter(this);
  connect(&tick_, &QTimer::timeout, this, &MessageBar::refresh);
  tick_.start(500);
  refresh();
}

QLabel* MessageBar::addCell(int minimumWidth) {
  auto* cell = new QLabel(this);
  cell->setMinimumWidth(minimumWidth);
  cell->setAlignment(Qt::AlignCenter);
  addPermanentWidget(cell);
  return cell;
}

void MessageBar::refresh() {
  const QDateTime now = QDateTime::currentDateTime();
  date_->setText(now.toString(QStringLiteral("dd-MM-yyyy")));
  clock_->setText(now.toString(QStringLiteral("HH:mm:ss")));
  const LockKeys keys = lockKeys();
  // Where the state is unknown the cells stay dim rather than guess.
  auto show = [](QLabel* cell, const QString& text, bool on) {
    cell->setText(text);
    cell->setEnabled(on);
  };
  show(caps_, QString::fromUtf8("MAYÚS"), keys.known && keys.capsLock);
  show(num_, QStringLiteral("NUM"), keys.known && keys.numLock);
  show(insert_, overwrite_ ? QStringLiteral("SOB") : QStringLiteral("INS"), true);
}

bool MessageBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == item_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    emit itemClicked();
    return true;
  }
  if (event->type() == QEvent::KeyPress && firstReceiver(watched)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Insert && !key->isAutoRepeat() && key->modifiers() == Qt::NoModifier) {
      overwrite_ = !overwrite_;
      refresh();
    } else if (key->key() == Qt::Key_CapsLock || key->key() == Qt::Key_NumLock) {
      QTimer::singleShot(50, this, &MessageBar::refresh);
    }
  }
  return QStatusBar::eventFilter(watched, event);
}

}  // namespace canalix::ui
