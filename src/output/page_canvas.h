// The drawing surface of a print job as the listings see it: pages drawn item
// by item in device pixels or in centimetres from the sheet's corner. The page
// printer (TPrinter, page_printer_qt.h) implements it over a printer or over
// recorded pages; operations draw through this interface and stay free of Qt.
//
// Texts are UTF-8 (table text, which is Windows-1252, is converted by the
// caller). Colours are Windows colour numbers (page_geometry.h).
#pragma once

#include <string>
#include <string_view>

#include "output/page_geometry.h"

namespace canalix::output {

// A font by face name, size in points and style; "Arial" and the other
// Windows faces print with their metric-compatible Liberation faces.
struct PrintFont {
  std::string face = "Arial";
  double points = 10;
  bool bold = false;
  bool italic = false;
};

// A solid black pen `width` device pixels wide.
struct PrintPen {
  int width = 1;
};

// A solid brush of a Windows colour number.
struct PrintBrush {
  int colour = kLightGrey;
};

struct PixelRect {
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
};

// Background modes of Say: the text's cell left as it is, or painted white first.
inline constexpr int kTransparent = 1;
inline constexpr int kOpaque = 2;

class PageCanvas {
 public:
  PageCanvas() = default;
  PageCanvas(const PageCanvas&) = delete;
  PageCanvas& operator=(const PageCanvas&) = delete;
  virtual ~PageCanvas() = default;

  // The device's geometry: the printer's, or the recording device's.
  virtual const PageGeometry& geometry() const = 0;
  int nHorzRes() const { return geometry().horzRes; }
  int nVertRes() const { return geometry().vertRes; }
  int nHorzSize() const;  // millimetres, rounded
  int nVertSize() const;
  int nLogPixelX() const { return geometry().logPixelX; }
  int nLogPixelY() const { return geometry().logPixelY; }

  // The height in device pixels of a character of `font` (the device default font when null).
  int fontHeight(const PrintFont* font) const;
  // The width in device pixels of `text` in `font`. This estimate (an average
  // letter of 0.55 times the height) serves devices that cannot measure;
  // printers measure with the font itself.
  virtual int textWidth(std::string_view text, const PrintFont* font) const;

  // A new page (the page counter goes up by one) and its end.
  virtual void StartPage() = 0;
  virtual void EndPage() = 0;

  // A text with its top-left corner at (col, row). Without a width (0), alignment 1
  // ends it at `col` and 2 centres it on `col`, never starting before 0. With a
  // width it is clipped to (col, row)-(col + width, row + font height) and aligned
  // in that cell: left (0), right (1) or centred (2).
  virtual void Say(int row, int col, std::string_view text, const PrintFont* font = nullptr, int width = 0,
                   int colour = kBlack, int bkMode = kTransparent, int align = 0) = 0;
  // Say at a position in centimetres from the sheet's corner (Cmtr2Pix).
  void CmSay(double rowCm, double colCm, std::string_view text, const PrintFont* font = nullptr,
             int width = 0, int colour = kBlack, int bkMode = kTransparent, int align = 0);

  // A line from (left, top) to (right, bottom); a null pen is the thin default pen.
  virtual void Line(int top, int left, int bottom, int right, const PrintPen* pen = nullptr) = 0;
  // A rectangle outlined with the pen and painted white inside, hiding what was under it.
  virtual void Box(int top, int left, int bottom, int right, const PrintPen* pen = nullptr) = 0;
  // A rectangle painted with the brush, without outline.
  virtual void FillRect(const PixelRect& rect, const PrintBrush& brush) = 0;
  // A picture stretched to width x height pixels with its top-left corner at (col, row).
  // `image` is a file name when that file exists, otherwise a bitmap name of the
  // program's pictures; a name that is neither draws nothing.
  virtual void SayBitmap(int row, int col, std::string_view image, int width, int height) = 0;

  PixelPoint Cmtr2Pix(double rowCm, double colCm) const { return cmToPixels(geometry(), rowCm, colCm); }
};

// A rectangle in centimetres: mode 0 outlined with `pen` (Box), mode 1 painted
// with `brush` (FillRect; a null brush paints light grey).
void CAJA(double top, double left, double bottom, double right, PageCanvas& job, int mode,
          const PrintBrush* brush = nullptr, const PrintPen* pen = nullptr);
// A line between two positions in centimetres.
void LINEA(double row1, double col1, double row2, double col2, PageCanvas& job,
           const PrintPen* pen = nullptr);
// A picture at a position in centimetres, widthCm x heightCm large.
void SAYBITMAP(double row, double col, double widthCm, double heightCm, std::string_view image,
               PageCanvas& job);

}  // namespace canalix::output
