// The page printer over QPrinter and recorded QPicture pages; see page_printer_qt.h.
#include "output/page_printer_qt.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "output/preview_window.h"
#include "store/names.h"
#include "ui/qt/bitmap_icons.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_port.h"

namespace canalix::output {
namespace {

using ui::pathFromQt;
using ui::pathToQt;
using ui::toQt;

// The printer settings that outlive one job: what PRINTERSETUP chose.
struct PrinterSettings {
  QString name;  // empty: the system's default
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  bool simulateNone = false;
};

PrinterSettings& settings() {
  static PrinterSettings s;
  return s;
}

// The Windows faces the listings ask for, printed with their metric-compatible faces.
struct FaceName {
  std::string_view windows;
  const char* installed;
};
constexpr FaceName kFaces[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
};

QString installedFace(std::string_view face) {
  for (const FaceName& f : kFaces) {
    if (store::sameName(f.windows, face)) return QString::fromLatin1(f.installed);
  }
  return toQt(face);
}

QColor toColour(int colour) { return QColor(colourRed(colour), colourGreen(colour), colourBlue(colour)); }

QPen blackPen(const PrintPen* pen) { return QPen(QBrush(Qt::black), pen ? std::max(1, pen->width) : 1); }

QRect pixelRect(int top, int left, int bottom, int right) {
  return QRect(QPoint(std::min(left, right), std::min(top, bottom)),
               QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
}

// A page file name of its own in the temporary folder (TMPDIR, else /tmp): the
// process id and a counter. The folder is taken as given, so that one that does
// not exist shows in the failure message rather than moving the pages elsewhere.
std::filesystem::path newPageFile() {
  static int counter = 0;
  const char* tmpdir = std::getenv("TMPDIR");
  const std::filesystem::path folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
  return folder / ("canalix-page-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
                   std::to_string(++counter) + ".pic");
}

// The picture an image argument names: an existing file, else a bitmap of the
// program's pictures; null when it is neither.
QImage imageNamed(std::string_view image, QSize size) {
  const QString file = toQt(image);
  if (!file.isEmpty() && QFile::exists(file)) return QImage(file);
  const std::string_view theme = ui::bitmapThemeName(image);
  if (theme.empty()) return {};
  ui::useBitmapTheme();
  const QIcon icon = QIcon::fromTheme(QString::fromLatin1(theme.data(), qsizetype(theme.size())));
  if (icon.isNull()) return {};
  return icon.pixmap(size.expandedTo(QSize(1, 1))).toImage();
}

QPageSize sheetSize(int widthTenthsMm, int lengthTenthsMm) {
  const QSizeF mm(widthTenthsMm / 10.0, lengthTenthsMm / 10.0);
  const QPageSize named(QPageSize::id(mm, QPageSize::Millimeter));
  if (named.isValid() && named.id() != QPageSize::Custom) return named;
  return QPageSize(mm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

QPageSize sheetOf(const PageGeometry& g) {
  const double w = g.paperWidthPx * 25.4 / g.logPixelX;
  const double h = g.paperHeightPx * 25.4 / g.logPixelY;
  return QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, QString(),
                   QPageSize::FuzzyMatch);
}

QPageLayout::Orientation orientationOf(const PageGeometry& g) {
  return g.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

}  // namespace

// The device of a running job and the painter on its open page.
struct TPrinter::Device {
  std::unique_ptr<QPrinter> printer;  // direct jobs, and preview jobs recording on a printer's geometry
  QPainter painter;
  QPicture picture;  // the page being recorded
  bool pageOpen = false;
  bool sheetsStarted = false;  // direct jobs: the device's job is open
};

RecordedJob::RecordedJob(RecordedJob&& other) noexcept
    : documentName_(std::move(other.documentName_)), pages_(std::move(other.pages_)) {
  other.pages_.clear();
}

RecordedJob& RecordedJob::operator=(RecordedJob&& other) noexcept {
  if (this != &other) {
    clear();
    documentName_ = std::move(other.documentName_);
    pages_ = std::move(other.pages_);
    other.pages_.clear();
  }
  return *this;
}

void RecordedJob::clear() {
  for (const RecordedPage& p : pages_) {
    std::error_code ignored;
    std::filesystem::remove(p.file, ignored);
  }
  pages_.clear();
}

void drawRecordedPage(QPainter& painter, const RecordedPage& page, const QRectF& sheet) {
  QPicture picture;
  if (!picture.load(pathToQt(page.file))) return;
  drawRecordedPage(painter, picture, page.geometry, sheet);
}

void drawRecordedPage(QPainter& painter, const QPicture& picture, const PageGeometry& g,
                      const QRectF& sheet) {
  if (g.paperWidthPx <= 0 || g.paperHeightPx <= 0) return;
  painter.save();
  // A picture records only the state changes it saw after QPainter's defaults:
  // play it from those defaults, whatever the target painter held before.
  painter.setPen(QPen(Qt::black));
  painter.setBrush(Qt::NoBrush);
  painter.setFont(QFont());
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.translate(sheet.topLeft());
  painter.scale(sheet.width() / g.paperWidthPx, sheet.height() / g.paperHeightPx);
  painter.translate(g.offsetX, g.offsetY);
  painter.setClipRect(QRect(0, 0, g.horzRes, g.vertRes), Qt::IntersectClip);
  // Playing a picture scales it by the device's resolution over the picture's
  // own; the transform above already maps page pixels onto the device.
  const QPaintDevice* device = painter.device();
  if (device && device->logicalDpiX() > 0 && device->logicalDpiY() > 0) {
    painter.scale(double(picture.logicalDpiX()) / device->logicalDpiX(),
                  double(picture.logicalDpiY()) / device->logicalDpiY());
  }
  painter.drawPicture(0, 0, picture);
  painter.restore();
}

bool writePdf(const RecordedJob& job, const std::filesystem::path& file, int from, int to) {
  if (to == 0) to = job.pageCount();
  if (from < 1 || to > job.pageCount() || from > to) return false;
  QPdfWriter writer(pathToQt(file));
  writer.setTitle(toQt(job.documentName()));
  writer.setCreator(QStringLiteral("Canalix"));
  QPainter painter;
  for (int i = from; i <= to; ++i) {
    const PageGeometry& g = job.pages()[size_t(i - 1)].geometry;
    writer.setResolution(g.logPixelX);
    writer.setPageLayout(QPageLayout(sheetOf(g), orientationOf(g), QMarginsF()));
    if (i == from) {
      if (!painter.begin(&writer)) return false;
    } else {
      writer.newPage();
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    drawRecordedPage(painter, job.pages()[size_t(i - 1)], QRectF(0, 0, g.paperWidthPx, g.paperHeightPx));
  }
  return painter.end();
}

bool printRecordedPages(const RecordedJob& job, QPrinter& printer, int from, int to) {
  if (from < 1 || to > job.pageCount() || from > to) return false;
  printer.setDocName(toQt(job.documentName()));
  printer.setFullPage(true);
  QPainter painter;
  for (int i = from; i <= to; ++i) {
    const PageGeometry& g = job.pages()[size_t(i - 1)].geometry;
    printer.setPageSize(sheetOf(g));
    printer.setPageOrientation(orientationOf(g));
    if (i == from) {
      if (!painter.begin(&printer)) return false;
    } else {
      printer.newPage();
    }
    drawRecordedPage(painter, job.pages()[size_t(i - 1)], printer.paperRect(QPrinter::DevicePixel));
  }
  return painter.end();
}

bool printersInstalled() { return !settings().simulateNone && !QPrinterInfo::availablePrinters().isEmpty(); }

QString defaultPrinterName() {
  if (!printersInstalled()) return {};
  if (!settings().name.isEmpty() && !QPrinterInfo::printerInfo(settings().name).isNull())
    return settings().name;
  const QString system = QPrinterInfo::defaultPrinterName();
  if (!system.isEmpty()) return system;
  return QPrinterInfo::availablePrinterNames().value(0);
}

void simulateNoPrinters(bool none) { settings().simulateNone = none; }

void PRINTERSETUP(QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  const QString name = defaultPrinterName();
  if (!name.isEmpty()) printer.setPrinterName(name);
  printer.setPageOrientation(settings().orientation);
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Configurar impresora"));
  if (dialog.exec() != QDialog::Accepted) return;
  if (printer.outputFormat() == QPrinter::NativeFormat) settings().name = printer.printerName();
  settings().orientation = printer.pageLayout().orientation();
}

std::string NOMBREIMPRESORA() {
  const QString name = defaultPrinterName();
  if (name.isEmpty()) return {};
  const QPrinterInfo info = QPrinterInfo::printerInfo(name);
  QStringList parts{name};
  if (!info.makeAndModel().isEmpty()) parts << info.makeAndModel();
  if (!info.location().isEmpty()) parts << info.location();
  return ui::fromQt(parts.join(QLatin1Char(',')));
}

TPrinter::TPrinter(ui::UiPort& ui) : ui_(ui), device_(std::make_unique<Device>()) {
  startOrientation_ = orientation_ = settings().orientation;
}

TPrinter::~TPrinter() {
  if (!started_) return;
  previewSink_ = [](RecordedJob&&, bool) {};
  PRINTEND();
}

void TPrinter::useGeometry(const PageGeometry& geometry) {
  geometry_ = geometry;
  fixedGeometry_ = true;
}

bool TPrinter::PRINTBEGIN(const std::string& document, bool askUser, bool preview, const std::string& printer,
                          bool modal, bool /*selection*/) {
  if (started_) PRINTEND();
  if (askUser) PRINTERSETUP();
  documentName_ = document;
  preview_ = preview;
  modal_ = modal;
  started_ = true;
  dead_ = false;
  page_ = 0;
  recorded_ = RecordedJob(document);
  device_ = std::make_unique<Device>();
  orientation_ = settings().orientation;

  if (printersInstalled()) {
    device_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const QString chosen = toQt(printer);
    device_->printer->setPrinterName(
        !chosen.isEmpty() && !QPrinterInfo::printerInfo(chosen).isNull() ? chosen : defaultPrinterName());
    device_->printer->setDocName(toQt(document));
  } else if (!preview_) {
    ui_.stop(kNoPrinterText);
    dead_ = true;
    return false;
  }
  readGeometry();
  return true;
}

void TPrinter::readGeometry() {
  if (fixedGeometry_) return;
  QPrinter* printer = device_->printer.get();
  if (!printer) {
    geometry_ = virtualGeometry(widthTenthsMm_, lengthTenthsMm_, orientation_ == QPageLayout::Landscape);
    return;
  }
  printer->setPageSize(sheetSize(widthTenthsMm_, lengthTenthsMm_));
  printer->setPageOrientation(orientation_);
  const QRectF paper = printer->paperRect(QPrinter::DevicePixel);
  const QRectF page = printer->pageRect(QPrinter::DevicePixel);
  const QRectF pageMm = printer->pageRect(QPrinter::Millimeter);
  PageGeometry g;
  g.horzRes = int(page.width());
  g.vertRes = int(page.height());
  g.horzSizeMm = pageMm.width();
  g.vertSizeMm = pageMm.height();
  g.logPixelX = printer->logicalDpiX();
  g.logPixelY = printer->logicalDpiY();
  g.offsetX = int(page.left() - paper.left());
  g.offsetY = int(page.top() - paper.top());
  g.paperWidthPx = int(paper.width());
  g.paperHeightPx = int(paper.height());
  geometry_ = g;
}

void TPrinter::SetSize(int widthTenthsMm, int lengthTenthsMm) {
  if (widthTenthsMm <= 0 || lengthTenthsMm <= 0) return;
  widthTenthsMm_ = widthTenthsMm;
  lengthTenthsMm_ = lengthTenthsMm;
  if (started_ && !dead_) readGeometry();
}

void TPrinter::SetLandscape() {
  orientation_ = settings().orientation = QPageLayout::Landscape;
  if (started_ && !dead_) readGeometry();
}

void TPrinter::SetPortrait() {
  orientation_ = settings().orientation = QPageLayout::Portrait;
  if (started_ && !dead_) readGeometry();
}

void TPrinter::StartPage() {
  if (!started_ || dead_) return;
  if (device_->pageOpen) finishPage();
  ++page_;
  if (preview_) {
    recorded_.add({newPageFile(), geometry_});
    device_->picture = QPicture();
    device_->painter.begin(&device_->picture);
  } else if (!device_->sheetsStarted) {
    if (!device_->painter.begin(device_->printer.get())) {
      dead_ = true;
      return;
    }
    device_->sheetsStarted = true;
  } else {
    device_->printer->newPage();
  }
  device_->pageOpen = true;
  device_->painter.setRenderHint(QPainter::Antialiasing);
  device_->painter.setRenderHint(QPainter::TextAntialiasing);
  device_->painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

void TPrinter::EndPage() {
  if (!started_ || dead_) return;
  finishPage();
}

void TPrinter::finishPage() {
  const bool wasOpen = device_->pageOpen;
  device_->pageOpen = false;
  if (!preview_) return;
  if (recorded_.empty()) {
    ui_.stop("The temporal metafile could not be created", "Printer object Error");
    return;
  }
  if (!wasOpen) return;
  device_->painter.end();
  const std::filesystem::path& file = recorded_.pages().back().file;
  device_->picture.save(pathToQt(file));
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) {
    ui_.stop("Could not create temporary file: " + file.string() +
                 "\r\n\r\nPlease check your free space on your hard drive \r\n"
                 "and the amount of files handles available.",
             "Print preview error");
  }
}

QPainter* TPrinter::painter() {
  if (!started_ || dead_ || !device_->pageOpen) return nullptr;
  return &device_->painter;
}

void TPrinter::Say(int row, int col, std::string_view text, const PrintFont* font, int width, int colour,
                   int bkMode, int align) {
  QPainter* p = painter();
  if (!p) return;
  const PrintFont deviceDefault;
  const PrintFont& f = font ? *font : deviceDefault;
  QFont qfont(installedFace(f.face));
  qfont.setPixelSize(std::max(1, fontHeightPixels(f.points, geometry_.logPixelY)));
  qfont.setBold(f.bold);
  qfont.setItalic(f.italic);
  qfont.setHintingPreference(QFont::PreferNoHinting);
  qfont.setKerning(false);

  p->save();
  p->setFont(qfont);
  p->setPen(toColour(colour));
  const QString shown = toQt(text);
  const QFontMetricsF metrics(qfont, p->device());
  const int height = fontHeightPixels(f.points, geometry_.logPixelY);
  QRectF cell;
  int flags = Qt::AlignTop | Qt::TextSingleLine;
  if (width > 0) {
    cell = QRectF(col, row, width, height);
    flags |= align == 1 ? Qt::AlignRight : align == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
    p->setClipRect(cell, Qt::IntersectClip);
  } else {
    const int textWidth = int(std::ceil(metrics.horizontalAdvance(shown)));
    cell = QRectF(alignedColumn(col, textWidth, align), row, textWidth,
                  std::max<qreal>(height, metrics.height()));
    flags |= Qt::AlignLeft | Qt::TextDontClip;
  }
  if (bkMode == kOpaque) p->fillRect(cell, Qt::white);
  p->drawText(cell, flags, shown);
  p->restore();
}

void TPrinter::Line(int top, int left, int bottom, int right, const PrintPen* pen) {
  QPainter* p = painter();
  if (!p) return;
  p->save();
  p->setPen(blackPen(pen));
  p->drawLine(QPoint(left, top), QPoint(right, bottom));
  p->restore();
}

void TPrinter::Box(int top, int left, int bottom, int right, const PrintPen* pen) {
  QPainter* p = painter();
  if (!p) return;
  p->save();
  p->setPen(blackPen(pen));
  p->setBrush(Qt::white);
  p->drawRect(pixelRect(top, left, bottom, right));
  p->restore();
}

void TPrinter::FillRect(const PixelRect& rect, const PrintBrush& brush) {
  QPainter* p = painter();
  if (!p) return;
  p->fillRect(pixelRect(rect.top, rect.left, rect.bottom, rect.right), toColour(brush.colour));
}

void TPrinter::SayBitmap(int row, int col, std::string_view image, int width, int height) {
  QPainter* p = painter();
  if (!p || width <= 0 || height <= 0) return;
  const QImage picture = imageNamed(image, QSize(width, height));
  if (picture.isNull()) return;
  p->drawImage(QRect(col, row, width, height), picture);
}

void TPrinter::PRINTEND() {
  if (!started_) return;
  if (!dead_ && device_->pageOpen) finishPage();
  if (!preview_ && device_->sheetsStarted) device_->painter.end();
  started_ = false;
  settings().orientation = orientation_ = startOrientation_;
  device_ = std::make_unique<Device>();
  RecordedJob job = std::move(recorded_);
  recorded_ = RecordedJob();
  if (!preview_ || dead_ || job.empty()) return;
  if (previewSink_) {
    previewSink_(std::move(job), modal_);
  } else {
    RPREVIEW(std::move(job), ui_, modal_);
  }
}

}  // namespace canalix::output
