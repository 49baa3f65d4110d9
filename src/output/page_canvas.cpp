// The centimetre helpers of the page canvas; see page_canvas.h.
#include "output/page_canvas.h"

#include <cmath>

namespace canalix::output {

int PageCanvas::nHorzSize() const { return int(std::lround(geometry().horzSizeMm)); }
int PageCanvas::nVertSize() const { return int(std::lround(geometry().vertSizeMm)); }

int PageCanvas::fontHeight(const PrintFont* font) const {
  const PrintFont deviceDefault;
  return fontHeightPixels((font ? *font : deviceDefault).points, nLogPixelY());
}

int PageCanvas::textWidth(std::string_view text, const PrintFont* font) const {
  int characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80;  // UTF-8 lead bytes
  return int(std::lround(characters * 0.55 * fontHeight(font)));
}

void PageCanvas::CmSay(double rowCm, double colCm, std::string_view text, const PrintFont* font, int width,
                       int colour, int bkMode, int align) {
  const PixelPoint at = Cmtr2Pix(rowCm, colCm);
  Say(at.row, at.col, text, font, width, colour, bkMode, align);
}

void CAJA(double top, double left, double bottom, double right, PageCanvas& job, int mode,
          const PrintBrush* brush, const PrintPen* pen) {
  const PixelPoint from = job.Cmtr2Pix(top, left);
  const PixelPoint to = job.Cmtr2Pix(bottom, right);
  if (mode == 1) {
    job.FillRect({from.row, from.col, to.row, to.col}, brush ? *brush : PrintBrush{});
  } else {
    job.Box(from.row, from.col, to.row, to.col, pen);
  }
}

void LINEA(double row1, double col1, double row2, double col2, PageCanvas& job, const PrintPen* pen) {
  const PixelPoint from = job.Cmtr2Pix(row1, col1);
  const PixelPoint to = job.Cmtr2Pix(row2, col2);
  job.Line(from.row, from.col, to.row, to.col, pen);
}

void SAYBITMAP(double row, double col, double widthCm, double heightCm, std::string_view image,
               PageCanvas& job) {
  const PixelPoint at = job.Cmtr2Pix(row, col);
  job.SayBitmap(at.row, at.col, image, cmToBitmapPixels(job.nLogPixelX(), widthCm),
                cmToBitmapPixels(job.nLogPixelY(), heightCm));
}

}  // namespace canalix::output
