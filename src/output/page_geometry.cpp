// Page arithmetic of the page printer; see page_geometry.h.
#include "output/page_geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace canalix::output {
namespace {

constexpr double kMmPerInch = 25.4;

int mmToPixels(double mm, int dpi) { return int(std::lround(mm * dpi / kMmPerInch)); }

}  // namespace

PageGeometry sheetGeometry(int widthTenthsMm, int lengthTenthsMm, bool landscape, int dpi, double marginCm) {
  double widthMm = widthTenthsMm / 10.0;
  double heightMm = lengthTenthsMm / 10.0;
  if (landscape) std::swap(widthMm, heightMm);
  PageGeometry g;
  g.logPixelX = g.logPixelY = dpi;
  g.paperWidthPx = mmToPixels(widthMm, dpi);
  g.paperHeightPx = mmToPixels(heightMm, dpi);
  g.offsetX = g.offsetY = mmToPixels(marginCm * 10, dpi);
  g.horzRes = g.paperWidthPx - 2 * g.offsetX;
  g.vertRes = g.paperHeightPx - 2 * g.offsetY;
  g.horzSizeMm = g.horzRes * kMmPerInch / dpi;
  g.vertSizeMm = g.vertRes * kMmPerInch / dpi;
  return g;
}

PageGeometry virtualGeometry(int widthTenthsMm, int lengthTenthsMm, bool landscape) {
  return sheetGeometry(widthTenthsMm, lengthTenthsMm, landscape, kVirtualDpi, kVirtualMarginCm);
}

PixelPoint cmToPixels(const PageGeometry& geometry, double rowCm, double colCm) {
  const double row = rowCm * 10 * geometry.vertRes / geometry.vertSizeMm - geometry.offsetY;
  const double col = colCm * 10 * geometry.horzRes / geometry.horzSizeMm - geometry.offsetX;
  return {std::max(0, int(row)), std::max(0, int(col))};
}

int fontHeightPixels(double points, int logPixelY) { return int(std::lround(points * logPixelY / 72.0)); }

int alignedColumn(int col, int textWidth, int align) {
  switch (align) {
    case 1:
      return std::max(0, col - textWidth);
    case 2:
      return std::max(0, col - textWidth / 2);
    default:
      return col;
  }
}

int cmToBitmapPixels(int logPixels, double cm) { return int(logPixels * cm / 2.54); }

std::optional<PageRange> validPageRange(int from, int to, int count) {
  if (from < 1 || from > count) return std::nullopt;
  if (to < from || to > count) return std::nullopt;
  return PageRange{from, to};
}

}  // namespace canalix::output
