// The arithmetic of the page printer, free of any device: where a position
// given in centimetres from the sheet's corner lands in device pixels, how
// high a font of so many points is, where an aligned text starts, how large a
// picture of so many centimetres is, and which page ranges the preview prints.
//
// Coordinates on a page are device pixels measured from the corner of the
// printable area (the origin a printer's painter has); the printable area
// itself lies `offsetX`, `offsetY` pixels in from the physical corner of the
// sheet. Callers' layouts measure from the physical corner, so converting a
// position subtracts the offset and pulls anything in the unprintable margin
// onto the printable edge.
#pragma once

#include <optional>

namespace canalix::output {

struct PageGeometry {
  int horzRes = 0;        // printable width, pixels
  int vertRes = 0;        // printable height, pixels
  double horzSizeMm = 0;  // printable width, millimetres
  double vertSizeMm = 0;  // printable height, millimetres
  int logPixelX = 0;      // pixels per inch across
  int logPixelY = 0;      // pixels per inch down
  int offsetX = 0;        // sheet corner to printable corner, pixels across
  int offsetY = 0;        // sheet corner to printable corner, pixels down
  int paperWidthPx = 0;   // the whole sheet, pixels
  int paperHeightPx = 0;

  bool landscape() const { return paperWidthPx > paperHeightPx; }
};

struct PixelPoint {
  int row = 0;
  int col = 0;
};

// A4 portrait, 2100 x 2970 tenths of a millimetre.
inline constexpr int kA4WidthTenthsMm = 2100;
inline constexpr int kA4LengthTenthsMm = 2970;

// The device a preview records on when no printer is installed: 600 pixels per
// inch and a margin of 0.42 cm on every side (what the usual office laser
// printer leaves), so that layouts land where they would on paper.
inline constexpr int kVirtualDpi = 600;
inline constexpr double kVirtualMarginCm = 0.42;

// The geometry of a device of `dpi` pixels per inch that leaves `marginCm` on
// every side of a sheet of the given size in tenths of a millimetre (width
// across, length down, as the sheet is fed; turned when `landscape`).
PageGeometry sheetGeometry(int widthTenthsMm, int lengthTenthsMm, bool landscape, int dpi, double marginCm);
// The virtual device's geometry: sheetGeometry at kVirtualDpi and kVirtualMarginCm.
PageGeometry virtualGeometry(int widthTenthsMm, int lengthTenthsMm, bool landscape);

// Cmtr2Pix: the device pixel of a position in centimetres from the sheet's
// corner, never negative. Requires: non-zero printable sizes.
PixelPoint cmToPixels(const PageGeometry& geometry, double rowCm, double colCm);

// The height in device pixels of a font of `points` on a device of
// `logPixelY` pixels per inch, rounded.
int fontHeightPixels(double points, int logPixelY);

// The column a text without a width starts at: `col` for alignment 0, `col`
// less the text's width for 1 (the text ends at `col`), less half of it for 2
// (centred on `col`); never below 0.
int alignedColumn(int col, int textWidth, int align);

// The size in pixels of `cm` on a device of `logPixels` per inch, truncated
// as the callers' layouts expect.
int cmToBitmapPixels(int logPixels, double cm);

// The pages the preview prints for a range typed by the user: nullopt unless
// 1 <= from <= count and from <= to <= count.
struct PageRange {
  int from = 0;
  int to = 0;
};
std::optional<PageRange> validPageRange(int from, int to, int count);

// Windows colour numbers: red + 256 x green + 65536 x blue.
constexpr int windowsColour(int red, int green, int blue) { return red + 256 * green + 65536 * blue; }
constexpr int colourRed(int colour) { return colour & 0xFF; }
constexpr int colourGreen(int colour) { return (colour >> 8) & 0xFF; }
constexpr int colourBlue(int colour) { return (colour >> 16) & 0xFF; }

inline constexpr int kBlack = 0;
inline constexpr int kWhite = windowsColour(255, 255, 255);
inline constexpr int kLightGrey = windowsColour(223, 223, 223);

}  // namespace canalix::output
