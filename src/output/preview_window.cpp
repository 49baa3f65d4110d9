// The print preview; see preview_window.h.
//
// The pages are drawn from their recorded pictures at the scale of the view,
// antialiased, each on a white sheet with a shadow over a grey background. The
// whole-page scale fits the sheet's height (both sheets' when two are shown) to
// the window; a zoom multiplies that scale by the factor and lets the view scroll.
#include "output/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWheelEvent>
#include <algorithm>

#include "output/print_pages_dialog.h"
#include "ui/qt/bitmap_icons.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_port.h"

namespace canalix::output {
namespace {

constexpr int kRefuseHz = 880;
constexpr int kRefuseMs = 120;
constexpr int kMaxFactor = 9;
constexpr int kMargin = 24;  // grey around the sheets, screen pixels
constexpr int kGap = 24;     // between two sheets
constexpr int kShadow = 5;
const QColor kBackground(0x6e, 0x72, 0x78);

QPointer<PreviewWindow>& openWindow() {
  static QPointer<PreviewWindow> window;
  return window;
}

QWidget* applicationMainWindow(QWidget* except) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w != except && w->isVisible() && qobject_cast<QMainWindow*>(w) && !qobject_cast<PreviewWindow*>(w)) {
      return w;
    }
  }
  return nullptr;
}

}  // namespace

// The sheets of the preview, laid out and drawn at the window's scale.
class PreviewPageView : public QWidget {
 public:
  explicit PreviewPageView(PreviewWindow& window) : window_(window) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

  // The pages shown, 1-based.
  std::vector<int> shownPages() const {
    if (!window_.twoPages_) return {window_.current_};
    const int first = std::min(window_.current_, window_.pageCount() - 1);
    return {first, first + 1};
  }

  // The scale that fits the shown sheets in `area` (screen pixels per device pixel).
  double fitScale(QSize area) const {
    double width = 0;
    double height = 0;
    const std::vector<int> pages = shownPages();
    for (int p : pages) {
      const PageGeometry& g = window_.job_.pages()[size_t(p - 1)].geometry;
      width += g.paperWidthPx;
      height = std::max<double>(height, g.paperHeightPx);
    }
    const double availableW = area.width() - 2 * kMargin - kGap * (int(pages.size()) - 1);
    const double availableH = area.height() - 2 * kMargin;
    if (width <= 0 || height <= 0) return 1;
    return std::max(0.01, std::min(availableW / width, availableH / height));
  }

  double scale() const { return fitScale(fitArea_) * (window_.zoomed_ ? window_.factor_ : 1); }

  QSize contentSize() const {
    const double s = scale();
    double width = 0;
    double height = 0;
    const std::vector<int> pages = shownPages();
    for (int p : pages) {
      const PageGeometry& g = window_.job_.pages()[size_t(p - 1)].geometry;
      width += g.paperWidthPx * s;
      height = std::max(height, g.paperHeightPx * s);
    }
    return QSize(int(width) + 2 * kMargin + kGap * (int(pages.size()) - 1), int(height) + 2 * kMargin);
  }

  // Where each shown sheet lies in the view.
  std::vector<QRectF> sheetRects() const {
    const double s = scale();
    const QSize content = contentSize();
    double x = std::max(0, (width() - content.width()) / 2) + kMargin;
    const double top = std::max(0, (height() - content.height()) / 2) + kMargin;
    std::vector<QRectF> rects;
    for (int p : shownPages()) {
      const PageGeometry& g = window_.job_.pages()[size_t(p - 1)].geometry;
      rects.emplace_back(x, top, g.paperWidthPx * s, g.paperHeightPx * s);
      x += g.paperWidthPx * s + kGap;
    }
    return rects;
  }

  void setFitArea(QSize area) { fitArea_ = area; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const std::vector<int> pages = shownPages();
    const std::vector<QRectF> rects = sheetRects();
    for (size_t i = 0; i < pages.size(); ++i) {
      const QRectF sheet = rects[i];
      painter.fillRect(sheet.translated(kShadow, kShadow), QColor(0, 0, 0, 90));
      painter.fillRect(sheet, Qt::white);
      drawRecordedPage(painter, window_.picture(pages[i]),
                       window_.job_.pages()[size_t(pages[i] - 1)].geometry, sheet);
      painter.setPen(QPen(QColor(60, 60, 60), 1));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(sheet);
    }
  }

  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (window_.zoomed_) {
      window_.unzoom();
      return;
    }
    const std::vector<int> pages = shownPages();
    const std::vector<QRectF> rects = sheetRects();
    for (size_t i = 0; i < rects.size(); ++i) {
      const QRectF& r = rects[i];
      if (!r.contains(event->position())) continue;
      if (window_.twoPages_) window_.current_ = pages[i];
      window_.zoomAt(QPointF((event->position().x() - r.left()) / r.width(),
                             (event->position().y() - r.top()) / r.height()));
      return;
    }
    window_.zoomAt(QPointF(0.5, 0.5));
  }

 private:
  PreviewWindow& window_;
  QSize fitArea_{800, 600};
};

void RPREVIEW(RecordedJob job, ui::UiPort& ui, bool modal, QWidget* mainWindow) {
  if (job.empty()) return;
  if (openWindow()) {
    ui.alert("Ya hay una vista previa abierta; ciérrela antes de abrir otra.", "Vista previa");
    return;
  }
  auto* window = new PreviewWindow(std::move(job), ui);
  window->setAttribute(Qt::WA_DeleteOnClose);
  if (!modal) {
    window->showMaximized();
    return;
  }
  QWidget* main = mainWindow ? mainWindow : applicationMainWindow(window);
  const bool quitOnLast = QApplication::quitOnLastWindowClosed();
  QApplication::setQuitOnLastWindowClosed(false);
  if (main) main->hide();
  QEventLoop loop;
  QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  window->showMaximized();
  loop.exec();
  if (main) main->show();
  QApplication::setQuitOnLastWindowClosed(quitOnLast);
}

PreviewWindow::PreviewWindow(RecordedJob job, ui::UiPort& ui, QWidget* parent)
    : QMainWindow(parent), job_(std::move(job)), ui_(ui) {
  openWindow() = this;
  pictures_.resize(size_t(job_.pageCount()));
  loaded_.assign(size_t(job_.pageCount()), false);
  setWindowTitle(ui::toQt(job_.documentName()));
  resize(1100, 820);

  scroll_ = new QScrollArea;
  scroll_->setWidgetResizable(false);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setBackgroundRole(QPalette::Dark);
  view_ = new PreviewPageView(*this);
  scroll_->setWidget(view_);
  setCentralWidget(scroll_);
  scroll_->installEventFilter(this);
  scroll_->viewport()->installEventFilter(this);
  view_->installEventFilter(this);

  buildActions();
  statusBar()->showMessage(QStringLiteral("%1 páginas").arg(pageCount()));
  if (pageCount() == 1) statusBar()->showMessage(QStringLiteral("1 página"));
  updateView();
  view_->setFocus();
}

PreviewWindow::~PreviewWindow() {
  if (openWindow() == this) openWindow() = nullptr;
}

PreviewWindow* PreviewWindow::open() { return openWindow().data(); }

void PreviewWindow::buildActions() {
  ui::useBitmapTheme();
  struct Command {
    const char* menuText;
    const char* tip;
    const char* bitmap;
    void (PreviewWindow::*slot)();
    QKeySequence keys;
    bool onToolBar;
    int menu;  // 0 Fichero, 1 Página
  };
  const Command commands[] = {
      {"&Imprimir...", "Imprimir", "PRINT", &PreviewWindow::print, QKeySequence::Print, true, 0},
      {"Guardar como &PDF...", "Guardar como PDF", "PDF", &PreviewWindow::savePdf, QKeySequence::Save, true,
       0},
      {"&Salir", "Salir de la vista previa", "SALIR", nullptr, QKeySequence(Qt::Key_Escape), true, 0},
      {"&Primera", "Primera página", "PRIMERA", &PreviewWindow::firstPage, {}, true, 1},
      {"&Anterior", "Página anterior", "ANTERIOR", &PreviewWindow::previousPage, {}, true, 1},
      {"&Siguiente", "Página siguiente", "SIGUIENTE", &PreviewWindow::nextPage, {}, true, 1},
      {"Ú&ltima", "Última página", "ULTIMA", &PreviewWindow::lastPage, {}, true, 1},
      {"&Zoom", "Ampliar la página", "ZOOM", &PreviewWindow::zoom, QKeySequence::ZoomIn, true, 1},
      {"&Normal", "Página entera", "NOZOOM", &PreviewWindow::unzoom, QKeySequence::ZoomOut, false, 1},
      {"&Dos páginas", "Dos páginas", "DOSPAGINAS", &PreviewWindow::showTwoPages, {}, true, 1},
      {"&Una página", "Una página", "UNAPAGINA", &PreviewWindow::showOnePage, {}, false, 1},
  };

  QMenu* menus[] = {menuBar()->addMenu(QStringLiteral("&Fichero ")),
                    menuBar()->addMenu(QStringLiteral("&Página "))};
  QToolBar* bar = addToolBar(QStringLiteral("Vista previa"));
  bar->setMovable(false);
  bar->setIconSize(QSize(24, 24));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);

  std::vector<QAction*> onBar;
  for (const Command& c : commands) {
    auto* action = new QAction(ui::bitmapIcon(c.bitmap), QString::fromUtf8(c.menuText), this);
    action->setToolTip(QString::fromUtf8(c.tip));
    action->setStatusTip(QString::fromUtf8(c.tip));
    if (!c.keys.isEmpty()) action->setShortcut(c.keys);
    if (c.slot) {
      connect(action, &QAction::triggered, this, c.slot);
    } else {
      connect(action, &QAction::triggered, this, &QWidget::close);
    }
    QMenu* menu = menus[c.menu];
    menu->addAction(action);
    if (c.slot == &PreviewWindow::savePdf || c.slot == &PreviewWindow::lastPage) menu->addSeparator();
    if (c.slot == &PreviewWindow::unzoom) {
      QMenu* factorMenu = menu->addMenu(QStringLiteral("&Factor"));
      for (int f = 1; f <= kMaxFactor; ++f) {
        factorMenu->addAction(QStringLiteral("&%1").arg(f), this, [this, f] { setFactor(f); });
      }
      menu->addSeparator();
    }
    if (c.slot == &PreviewWindow::zoom) zoomAction_ = action;
    if (c.slot == &PreviewWindow::showTwoPages) twoPagesAction_ = action;
    if (c.onToolBar) onBar.push_back(action);
  }
  // Tool bar order: pages, zoom and its factor, two pages, then print, PDF and exit.
  for (int i : {3, 4, 5, 6}) bar->addAction(onBar[size_t(i)]);
  bar->addSeparator();
  bar->addAction(onBar[7]);
  factors_ = new QComboBox;
  for (int f = 1; f <= kMaxFactor; ++f) factors_->addItem(QStringLiteral("x %1").arg(f), f);
  factors_->setToolTip(QStringLiteral("Factor de ampliación"));
  factors_->setFocusPolicy(Qt::NoFocus);
  connect(factors_, &QComboBox::activated, this, [this](int index) { setFactor(index + 1); });
  bar->addWidget(factors_);
  bar->addAction(onBar[8]);
  bar->addSeparator();
  for (int i : {0, 1, 2}) bar->addAction(onBar[size_t(i)]);
  bar->addSeparator();
  indicator_ = new QLabel;
  indicator_->setContentsMargins(12, 0, 12, 0);
  bar->addWidget(indicator_);
}

QString PreviewWindow::pageIndicator() const {
  if (pageCount() == 1) return QStringLiteral("Página %1").arg(current_);
  return QStringLiteral("Página %1 / %2").arg(current_).arg(pageCount());
}

const QPicture& PreviewWindow::picture(int page) {
  const size_t i = size_t(page - 1);
  if (!loaded_[i]) {
    pictures_[i].load(ui::pathToQt(job_.pages()[i].file));
    loaded_[i] = true;
  }
  return pictures_[i];
}

bool PreviewWindow::landscape() const {
  return std::any_of(job_.pages().begin(), job_.pages().end(),
                     [](const RecordedPage& p) { return p.geometry.landscape(); });
}

void PreviewWindow::refuse() { ui_.tone(kRefuseHz, kRefuseMs); }

void PreviewWindow::goTo(int page) {
  if (page < 1 || page > pageCount() || page == current_) {
    refuse();
    return;
  }
  current_ = page;
  updateView();
  scroll_->verticalScrollBar()->setValue(0);
}

void PreviewWindow::firstPage() { goTo(current_ == 1 ? 0 : 1); }
void PreviewWindow::previousPage() { goTo(current_ - 1); }
void PreviewWindow::nextPage() { goTo(current_ + 1); }
void PreviewWindow::lastPage() { goTo(current_ == pageCount() ? 0 : pageCount()); }

void PreviewWindow::zoom() {
  if (zoomed_) {
    unzoom();
    return;
  }
  zoomAt(QPointF(0.5, 0.0));
}

void PreviewWindow::zoomAt(QPointF sheetFraction) {
  twoPages_ = false;
  zoomed_ = true;
  if (factor_ == 1) factor_ = 2;
  updateView();
  scrollTo(sheetFraction);
}

void PreviewWindow::unzoom() {
  zoomed_ = false;
  factor_ = 1;
  updateView();
}

void PreviewWindow::setFactor(int factor) {
  if (factor < 1 || factor > kMaxFactor) return;
  factor_ = factor;
  if (!zoomed_) {
    zoomAt(QPointF(0.5, 0.0));
    return;
  }
  const QPointF centre((scroll_->horizontalScrollBar()->value() + scroll_->viewport()->width() / 2.0) /
                           std::max(1, view_->width()),
                       (scroll_->verticalScrollBar()->value() + scroll_->viewport()->height() / 2.0) /
                           std::max(1, view_->height()));
  updateView();
  scrollTo(centre);
}

void PreviewWindow::showTwoPages() {
  if (pageCount() < 2 || landscape()) {
    refuse();
    return;
  }
  zoomed_ = false;
  factor_ = 1;
  twoPages_ = true;
  updateView();
}

void PreviewWindow::showOnePage() {
  twoPages_ = false;
  updateView();
}

void PreviewWindow::scrollTo(QPointF fraction) {
  const std::vector<QRectF> rects = view_->sheetRects();
  if (rects.empty()) return;
  const QRectF& sheet = rects.front();
  const double x = sheet.left() + fraction.x() * sheet.width();
  const double y = sheet.top() + fraction.y() * sheet.height();
  scroll_->horizontalScrollBar()->setValue(int(x - scroll_->viewport()->width() / 2.0));
  scroll_->verticalScrollBar()->setValue(int(y - scroll_->viewport()->height() / 2.0));
}

void PreviewWindow::updateView() {
  const QSize area = scroll_->maximumViewportSize();
  view_->setFitArea(area);
  const QSize content = view_->contentSize();
  view_->resize(std::max(content.width(), zoomed_ ? 0 : area.width()),
                std::max(content.height(), zoomed_ ? 0 : area.height()));
  if (zoomed_) {
    // The scroll bars take room: the sheet stays centred in what is left.
    view_->resize(std::max(content.width(), scroll_->viewport()->width()),
                  std::max(content.height(), scroll_->viewport()->height()));
  }
  view_->update();
  indicator_->setText(pageIndicator());
  factors_->setCurrentIndex(factor_ - 1);
  zoomAction_->setText(zoomed_ ? QStringLiteral("&Normal") : QStringLiteral("&Zoom"));
  zoomAction_->setIcon(ui::bitmapIcon(zoomed_ ? "NOZOOM" : "ZOOM"));
  zoomAction_->setToolTip(zoomed_ ? QStringLiteral("Página entera") : QStringLiteral("Ampliar la página"));
  twoPagesAction_->setEnabled(pageCount() > 1 && !landscape());
  statusBar()->showMessage(zoomed_     ? QStringLiteral("Ampliación x %1").arg(factor_)
                           : twoPages_ ? QStringLiteral("Dos páginas")
                                       : QStringLiteral("Página entera"));
}

void PreviewWindow::print() {
  if (!printersInstalled()) {
    ui_.stop(kNoPrinterText);
    return;
  }
  PageRange pages{1, 1};
  if (pageCount() > 1) {
    PrintPagesDialog dialog(pageCount(), current_, ui_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    pages = dialog.pages();
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setPrinterName(defaultPrinterName());
  if (!printRecordedPages(job_, printer, pages.from, pages.to)) {
    ui_.stop("No se ha podido imprimir en la impresora " + NOMBREIMPRESORA() + ".");
  }
}

void PreviewWindow::savePdf() {
  std::string suggested = job_.documentName().empty() ? std::string("listado") : job_.documentName();
  for (char& c : suggested) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  const std::optional<std::filesystem::path> chosen =
      ui_.saveFile("Guardar como PDF", suggested + ".pdf", {{"Documentos PDF", "*.pdf"}});
  if (!chosen) return;
  std::filesystem::path file = *chosen;
  if (file.extension().empty()) file += ".pdf";
  if (!writePdf(job_, file)) {
    ui_.stop("No se ha podido escribir el fichero " + file.string() + ".");
    return;
  }
  statusBar()->showMessage(QStringLiteral("Guardado en ") + ui::pathToQt(file), 5000);
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == scroll_) {
    updateView();
    return false;
  }
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!zoomed_) {
      switch (key->key()) {
        case Qt::Key_Home:
          firstPage();
          return true;
        case Qt::Key_End:
          lastPage();
          return true;
        case Qt::Key_PageUp:
          previousPage();
          return true;
        case Qt::Key_PageDown:
          nextPage();
          return true;
        default:
          return false;
      }
    }
    QScrollBar* h = scroll_->horizontalScrollBar();
    QScrollBar* v = scroll_->verticalScrollBar();
    switch (key->key()) {
      case Qt::Key_Left:
        h->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
      case Qt::Key_Right:
        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
      case Qt::Key_Up:
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
      case Qt::Key_Down:
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
      case Qt::Key_PageUp:
        v->triggerAction(QAbstractSlider::SliderPageStepSub);
        return true;
      case Qt::Key_PageDown:
        v->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return true;
      case Qt::Key_Home:
        h->setValue(h->minimum());
        v->setValue(v->minimum());
        return true;
      case Qt::Key_End:
        h->setValue(h->maximum());
        v->setValue(v->maximum());
        return true;
      default:
        return false;
    }
  }
  if (event->type() == QEvent::Wheel && !zoomed_) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta > 0) previousPage();
    if (delta < 0) nextPage();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace canalix::output
