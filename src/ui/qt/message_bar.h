// The message bar of a frame window: an idle text on the left (replaced by
// the highlighted menu item's message), and on the right the keyboard
// indicators, the date, the clock and one clickable item in bright red on white.
#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace canalix::ui {

class MessageBar : public QStatusBar {
  Q_OBJECT

 public:
  MessageBar(const QString& idleText, const QString& itemText, QWidget* parent = nullptr);

  QString idleText() const { return idle_->text(); }
  QLabel* item() const { return item_; }

  // Shows the clock, date and indicators as they are now.
  void refresh();

 signals:
  void itemClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* addCell(int minimumWidth);

  QLabel* idle_;
  QLabel* caps_;
  QLabel* num_;
  QLabel* insert_;
  QLabel* date_;
  QLabel* clock_;
  QLabel* item_;
  QTimer tick_;
  bool overwrite_ = false;  // toggled by the Insert key anywhere in the program
};

}  // namespace canalix::ui
