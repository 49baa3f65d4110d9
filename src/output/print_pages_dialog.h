// The preview's choice of pages to print: all, the current one, or a range
// from-to; the numbers are editable only for a range, and a range outside the
// job is refused with a beep.
#pragma once

#include <QDialog>
#include <optional>

#include "output/page_geometry.h"

class QLabel;
class QRadioButton;
class QSpinBox;

namespace canalix::ui {
class UiPort;
}

namespace canalix::output {

class PrintPagesDialog : public QDialog {
  Q_OBJECT

 public:
  // `current` is the page the preview shows (1-based), `count` the job's pages.
  PrintPagesDialog(int count, int current, ui::UiPort& ui, QWidget* parent = nullptr);

  // The pages chosen; meaningful once the dialog was accepted.
  PageRange pages() const { return chosen_; }

  // Typing a range, for tests and for the preview's own use.
  void chooseRange(int from, int to);

 public slots:
  void accept() override;

 private:
  void choosePrinter();
  void updateFields();

  int count_;
  int current_;
  ui::UiPort& ui_;
  PageRange chosen_;
  QRadioButton* all_;
  QRadioButton* currentPage_;
  QRadioButton* range_;
  QSpinBox* from_;
  QSpinBox* to_;
  QLabel* printer_;
};

}  // namespace canalix::output
