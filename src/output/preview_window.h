// The print preview (RPREVIEW): the recorded pages of a job, one whole page
// fitted to the window or enlarged by a factor of 1 to 9, or two pages side by
// side; printed whole or in part, or saved as a PDF file. Only one preview is
// open at a time.
#pragma once

#include <QMainWindow>
#include <QPicture>
#include <vector>

#include "output/page_printer_qt.h"

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;

namespace canalix::output {

class PreviewPageView;

// Shows `job`: maximised, titled with the document name. When `modal`, the
// application's main window is hidden while the preview is open and the call
// returns once it is closed; otherwise it returns at once and the preview stays
// open beside the application. While another preview is open it only says so.
void RPREVIEW(RecordedJob job, ui::UiPort& ui, bool modal = false, QWidget* mainWindow = nullptr);

class PreviewWindow : public QMainWindow {
  Q_OBJECT

 public:
  PreviewWindow(RecordedJob job, ui::UiPort& ui, QWidget* parent = nullptr);
  ~PreviewWindow() override;

  // The preview open now; null when none.
  static PreviewWindow* open();

  int currentPage() const { return current_; }  // 1-based
  int pageCount() const { return job_.pageCount(); }
  bool zoomed() const { return zoomed_; }
  int factor() const { return factor_; }
  bool twoPages() const { return twoPages_; }
  // "Página 2 / 5", or the number alone for a one-page job.
  QString pageIndicator() const;

 public slots:
  void firstPage();
  void previousPage();
  void nextPage();
  void lastPage();
  void zoom();
  void unzoom();
  void setFactor(int factor);
  void showTwoPages();
  void showOnePage();
  void print();
  void savePdf();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class PreviewPageView;

  void buildActions();
  void goTo(int page);
  void refuse();
  void zoomAt(QPointF sheetFraction);
  void updateView();
  void scrollTo(QPointF sheetFraction);
  const QPicture& picture(int page);  // 1-based, loaded once
  bool landscape() const;

  RecordedJob job_;
  ui::UiPort& ui_;
  std::vector<QPicture> pictures_;
  std::vector<bool> loaded_;
  int current_ = 1;
  int factor_ = 1;
  bool zoomed_ = false;
  bool twoPages_ = false;

  QScrollArea* scroll_ = nullptr;
  PreviewPageView* view_ = nullptr;
  QLabel* indicator_ = nullptr;
  QComboBox* factors_ = nullptr;
  QAction* zoomAction_ = nullptr;
  QAction* twoPagesAction_ = nullptr;
};

}  // namespace canalix::output
