// Page arithmetic on simulated devices: plain structs of geometry, no printer.
#include "output/page_geometry.h"

#include <gtest/gtest.h>

namespace canalix::output {
namespace {

// 600 pixels per inch (about 23.62 per millimetre) whose printable area starts
// 100 pixels in from the sheet's corner on both sides.
PageGeometry simulated600() {
  PageGeometry g;
  g.logPixelX = g.logPixelY = 600;
  g.horzSizeMm = 200;
  g.vertSizeMm = 287;
  g.horzRes = 4724;  // 200 mm at 600 dpi
  g.vertRes = 6780;  // 287 mm
  g.offsetX = g.offsetY = 100;
  g.paperWidthPx = 4960;
  g.paperHeightPx = 7016;
  return g;
}

TEST(PageGeometry, CentimetresLandFromTheSheetCornerAndTheMarginIsPulledToTheEdge) {
  const PageGeometry g = simulated600();
  struct Case {
    double cm;
    int pixels;
    const char* why;
  };
  const Case cases[] = {
      {0, 0, "the sheet's corner lies in the unprintable margin"},
      {0.3, 0, "70.9 px from the corner: still in the 100 px margin"},
      {0.42, 0, "99.2 px: the last bit of margin"},
      {0.43, 1, "101.6 px: just inside the printable area"},
      {2, 372, "472.4 px from the corner, 100 of them unprintable"},
      {8.3, 1860, "1960.6 px from the corner"},
  };
  for (const Case& c : cases) {
    const PixelPoint p = cmToPixels(g, c.cm, c.cm);
    EXPECT_EQ(p.col, c.pixels) << c.why;
    // Rows use the vertical resolution, here the same pixels per millimetre.
    EXPECT_NEAR(p.row, c.pixels, 1) << c.why;
  }
}

TEST(PageGeometry, RowsAndColumnsUseTheirOwnResolutionAndOffset) {
  PageGeometry g = simulated600();
  g.vertRes = 3390;  // 300 dpi down, 600 across
  g.logPixelY = 300;
  g.offsetY = 0;
  const PixelPoint p = cmToPixels(g, 2, 2);
  EXPECT_EQ(p.row, 236);
  EXPECT_EQ(p.col, 372);
}

TEST(PageGeometry, VirtualDeviceIsAnA4At600DpiWithItsMargin) {
  const PageGeometry a4 = virtualGeometry(kA4WidthTenthsMm, kA4LengthTenthsMm, false);
  EXPECT_EQ(a4.paperWidthPx, 4961);
  EXPECT_EQ(a4.paperHeightPx, 7016);
  EXPECT_EQ(a4.offsetX, 99);
  EXPECT_EQ(a4.horzRes, 4961 - 2 * 99);
  EXPECT_NEAR(a4.horzSizeMm, 210 - 2 * 4.2, 0.1);
  EXPECT_FALSE(a4.landscape());
  // A position keeps its place on the sheet: 5 cm from the corner is 5 cm on paper.
  EXPECT_NEAR(cmToPixels(a4, 5, 5).col + a4.offsetX, 5 / 2.54 * 600, 1);

  const PageGeometry turned = virtualGeometry(kA4WidthTenthsMm, kA4LengthTenthsMm, true);
  EXPECT_EQ(turned.paperWidthPx, 7016);
  EXPECT_TRUE(turned.landscape());
  EXPECT_EQ(virtualGeometry(2100, 3100, false).paperHeightPx, 7323);
}

TEST(PageGeometry, AlignedColumnsNeverStartBeforeTheEdge) {
  struct Case {
    int col;
    int width;
    int align;
    int start;
  };
  const Case cases[] = {
      {500, 120, 0, 500}, {500, 120, 1, 380},
      {500, 120, 2, 440}, {100, 120, 1, 0},  // wider than the room left of the column
      {50, 120, 2, 0},    {0, 120, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(alignedColumn(c.col, c.width, c.align), c.start) << c.col << " align " << c.align;
  }
}

TEST(PageGeometry, FontHeightsAndPictureSizes) {
  EXPECT_EQ(fontHeightPixels(10, 600), 83);
  EXPECT_EQ(fontHeightPixels(8, 72), 8);
  EXPECT_EQ(fontHeightPixels(14, 300), 58);
  EXPECT_EQ(cmToBitmapPixels(600, 1), 236);  // 236.22 truncated
  EXPECT_EQ(cmToBitmapPixels(300, 2.54), 300);
  EXPECT_EQ(cmToBitmapPixels(150, 0.9), 53);  // 53.15
}

TEST(PageGeometry, PrintRangesMustLieInTheJob) {
  struct Case {
    int from;
    int to;
    bool valid;
  };
  const Case cases[] = {
      {1, 5, true},  {5, 5, true},  {2, 4, true},  {3, 2, false},  // backwards
      {0, 2, false}, {6, 6, false}, {2, 6, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(validPageRange(c.from, c.to, 5).has_value(), c.valid) << c.from << "-" << c.to;
  }
}

TEST(PageGeometry, WindowsColourNumbers) {
  EXPECT_EQ(windowsColour(245, 158, 146), 9608949);
  EXPECT_EQ(colourRed(kLightGrey), 223);
  EXPECT_EQ(colourGreen(kLightGrey), 223);
  EXPECT_EQ(colourBlue(kLightGrey), 223);
}

}  // namespace
}  // namespace canalix::output
