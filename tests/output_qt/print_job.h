// Helpers of the page printer tests: preview jobs recorded on a device of known
// geometry, pages rendered to images, and the ink found on them.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <optional>

#include "output/page_printer_qt.h"
#include "ui/scripted_port.h"

namespace canalix::output::testing {

// A4 at 150 dpi with a 0.5 cm margin: small enough to render quickly, and a
// margin that differs from the virtual device's so that offsets show.
inline PageGeometry testGeometry() {
  return sheetGeometry(kA4WidthTenthsMm, kA4LengthTenthsMm, false, 150, 0.5);
}

// A preview job whose recorded pages stay with the test after PRINTEND.
struct PreviewJob {
  ui::ScriptedPort ui;
  TPrinter printer{ui};
  std::optional<RecordedJob> job;

  explicit PreviewJob(const std::string& name = "Listado de prueba",
                      std::optional<PageGeometry> geometry = testGeometry()) {
    simulateNoPrinters(true);
    if (geometry) printer.useGeometry(*geometry);
    printer.setPreviewSink([this](RecordedJob&& j, bool) { job.emplace(std::move(j)); });
    printer.PRINTBEGIN(name, false, true);
  }
  ~PreviewJob() { simulateNoPrinters(false); }

  RecordedJob& end() {
    printer.PRINTEND();
    if (!job) job.emplace();
    return *job;
  }
};

// The whole sheet of `page`, one image pixel per device pixel.
inline QImage renderSheet(const RecordedPage& page) {
  QImage image(page.geometry.paperWidthPx, page.geometry.paperHeightPx, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  drawRecordedPage(painter, page, QRectF(0, 0, image.width(), image.height()));
  return image;
}

inline bool isInk(QRgb pixel) { return qGray(pixel) < 160; }

// The bounding box of the ink inside `area`; empty when there is none.
inline QRect inkBounds(const QImage& image, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  area = area.intersected(image.rect());
  int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      if (!isInk(line[x])) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Sheet pixel of a position in centimetres from the sheet's corner.
inline int sheetPixel(double cm, int dpi) { return int(cm / 2.54 * dpi); }

}  // namespace canalix::output::testing
