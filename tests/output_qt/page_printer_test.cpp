// The page printer as the listings use it: pages drawn in centimetres, recorded
// for the preview, rendered back to images whose ink is measured.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QTemporaryDir>
#include <climits>
#include <filesystem>

#include "output/page_printer_qt.h"
#include "print_job.h"

namespace canalix::output {
namespace {

using testing::inkBounds;
using testing::PreviewJob;
using testing::renderSheet;
using testing::sheetPixel;

constexpr int kDpi = 150;

TEST(TPrinter, SayWithoutWidthAlignsOnItsColumn) {
  const PrintFont font{"Arial", 12, false, false};
  struct Case {
    int align;
    double colCm;
    std::string text;
    int expectedLeftCm100;   // where the ink starts, hundredths of cm from the corner; -1: unchecked
    int expectedRightCm100;  // where it ends
    const char* why;
  };
  const Case cases[] = {
      {0, 3.0, "Comunidad de Regantes", 300, -1, "left: starts at the column"},
      {1, 8.3, "Total recibos: 1.234,56", -1, 830, "right: ends exactly at the column"},
      {1, 1.0, "Un texto bastante más largo que el margen", 50, -1,
       "wider than the room to the printable edge: starts at the edge (0.5 cm margin)"},
  };
  for (const Case& c : cases) {
    PreviewJob job;
    job.printer.StartPage();
    job.printer.CmSay(5, c.colCm, c.text, &font, 0, kBlack, kTransparent, c.align);
    job.printer.EndPage();
    const QImage sheet = renderSheet(job.end().pages().at(0));
    const QRect ink = inkBounds(sheet);
    ASSERT_FALSE(ink.isEmpty()) << c.why;
    // Glyphs keep a pixel or two of side bearing inside their advance.
    if (c.expectedLeftCm100 >= 0) {
      EXPECT_NEAR(ink.left(), sheetPixel(c.expectedLeftCm100 / 100.0, kDpi), 3) << c.why;
    }
    if (c.expectedRightCm100 >= 0) {
      EXPECT_NEAR(ink.right(), sheetPixel(c.expectedRightCm100 / 100.0, kDpi), 3) << c.why;
      EXPECT_LE(ink.right(), sheetPixel(c.expectedRightCm100 / 100.0, kDpi) + 1) << c.why;
    }
    EXPECT_NEAR(ink.top(), sheetPixel(5, kDpi), 12) << "the cell's top is the row: " << c.why;
  }
}

// A picture keeps no state change that matched the recording painter's
// defaults (a black pen, no brush): played over a painter left white by the
// preview's own drawing, its black text and line must still show.
TEST(TPrinter, RecordedPageIgnoresTheStateOfThePainterItIsPlayedOn) {
  const PrintFont font{"Arial", 14, true, false};
  PreviewJob job;
  job.printer.StartPage();
  job.printer.CmSay(2, 10.5, "COMUNIDAD DE REGANTES", &font, 0, kBlack, kTransparent, 2);
  LINEA(4, 2, 4, 19, job.printer);
  job.printer.EndPage();
  const RecordedPage& page = job.end().pages().at(0);
  QImage sheet(page.geometry.paperWidthPx, page.geometry.paperHeightPx, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  painter.setPen(QPen(Qt::white, 3));
  painter.setBrush(Qt::white);
  painter.setFont(QFont("Liberation Serif", 4));
  painter.setBackgroundMode(Qt::OpaqueMode);
  drawRecordedPage(painter, page, QRectF(0, 0, sheet.width(), sheet.height()));
  painter.end();
  const int title = sheetPixel(2, kDpi);
  EXPECT_FALSE(inkBounds(sheet, QRect(0, title - 5, sheet.width(), sheetPixel(1, kDpi))).isEmpty());
  const int line = sheetPixel(4, kDpi);
  EXPECT_FALSE(inkBounds(sheet, QRect(0, line - 3, sheet.width(), 6)).isEmpty());
}

TEST(TPrinter, SayCentredWithoutWidthSitsOnItsColumn) {
  PreviewJob job;
  const PrintFont font{"Arial", 14, true, false};
  job.printer.StartPage();
  job.printer.CmSay(3, 10.5, "RECIBO DE AGUA", &font, 0, kBlack, kTransparent, 2);
  job.printer.EndPage();
  const QRect ink = inkBounds(renderSheet(job.end().pages().at(0)));
  EXPECT_NEAR((ink.left() + ink.right()) / 2.0, sheetPixel(10.5, kDpi), 3);
}

TEST(TPrinter, SayWithWidthAlignsInItsCellAndIsClippedToIt) {
  const PrintFont font{"Arial", 10, false, false};
  const int cellCm100 = 400;  // a 4 cm cell from 6 cm
  struct Case {
    int align;
    std::string text;
    double expectedEdge;  // cm from the corner
    bool rightEdge;       // the ink's right edge is checked, else its left
    bool centred;
  };
  const Case cases[] = {
      {0, "Parcela 12", 6.0, false, false},
      {1, "1.234,56", 10.0, true, false},
      {2, "Centrado", 8.0, false, true},
  };
  for (const Case& c : cases) {
    PreviewJob job;
    job.printer.StartPage();
    const int width = sheetPixel(cellCm100 / 100.0, kDpi);
    job.printer.CmSay(4, 6, c.text, &font, width, kBlack, kTransparent, c.align);
    job.printer.EndPage();
    const QRect ink = inkBounds(renderSheet(job.end().pages().at(0)));
    ASSERT_FALSE(ink.isEmpty());
    const double at = c.centred ? (ink.left() + ink.right()) / 2.0 : c.rightEdge ? ink.right() : ink.left();
    EXPECT_NEAR(at, sheetPixel(c.expectedEdge, kDpi), 3) << c.text;
  }

  // A text longer than its cell shows only inside the cell.
  PreviewJob job;
  job.printer.StartPage();
  const PixelPoint at = job.printer.Cmtr2Pix(4, 6);
  const int width = sheetPixel(2, kDpi);
  job.printer.Say(at.row, at.col, "Texto mucho más largo que su casilla de dos centímetros", &font, width);
  job.printer.EndPage();
  const RecordedPage& page = job.end().pages().at(0);
  const QRect ink = inkBounds(renderSheet(page));
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_LE(ink.right(), at.col + width + page.geometry.offsetX);
  EXPECT_LE(ink.bottom(), at.row + job.printer.fontHeight(&font) + page.geometry.offsetY);
}

// The colour of the sheet at a position in centimetres.
QColor colourAt(const QImage& sheet, double rowCm, double colCm) {
  return sheet.pixelColor(sheetPixel(colCm, kDpi), sheetPixel(rowCm, kDpi));
}

TEST(TPrinter, BoxesPaintTheirInsideWhiteAndFillsHaveNoOutline) {
  const PrintFont big{"Arial", 14, true, false};
  const PrintPen pen{5};
  PreviewJob job;
  job.printer.StartPage();
  // A text and a box drawn over it: the box hides the text.
  job.printer.CmSay(3, 3, "OCULTO", &big);
  CAJA(2.5, 2.5, 4.5, 8, job.printer, 0, nullptr, &pen);
  // A box and a text drawn over it: the text shows.
  CAJA(6, 2.5, 8, 8, job.printer, 0, nullptr, &pen);
  job.printer.CmSay(6.5, 3, "VISIBLE", &big);
  // A grey fill.
  const PrintBrush grey{kLightGrey};
  CAJA(10, 2, 12, 10, job.printer, 1, &grey);
  LINEA(14, 2, 14, 18, job.printer, &pen);
  job.printer.EndPage();
  const QImage sheet = renderSheet(job.end().pages().at(0));

  const QRect hidden = inkBounds(sheet, QRect(QPoint(sheetPixel(2.7, kDpi), sheetPixel(2.7, kDpi)),
                                              QPoint(sheetPixel(7.8, kDpi), sheetPixel(4.3, kDpi))));
  EXPECT_TRUE(hidden.isEmpty()) << "text under a later box must not show";
  const QRect shown = inkBounds(sheet, QRect(QPoint(sheetPixel(2.7, kDpi), sheetPixel(6.2, kDpi)),
                                             QPoint(sheetPixel(7.8, kDpi), sheetPixel(7.8, kDpi))));
  EXPECT_FALSE(shown.isEmpty()) << "text over an earlier box must show";
  EXPECT_TRUE(testing::isInk(sheet.pixel(sheetPixel(5, kDpi), sheetPixel(2.5, kDpi)))) << "the box's outline";

  EXPECT_EQ(colourAt(sheet, 11, 6), QColor(223, 223, 223));
  EXPECT_EQ(colourAt(sheet, 10.05, 2.05), QColor(223, 223, 223)) << "no outline around a fill";
  EXPECT_EQ(colourAt(sheet, 9.8, 6), QColor(Qt::white));
  EXPECT_TRUE(testing::isInk(sheet.pixel(sheetPixel(10, kDpi), sheetPixel(14, kDpi))));
}

TEST(TPrinter, BitmapsComeFromFilesOrThePicturesAndUnknownNamesDrawNothing) {
  QTemporaryDir dir;
  const QString file = dir.filePath("sello.png");
  QImage red(20, 10, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(file));

  PreviewJob job;
  job.printer.StartPage();
  SAYBITMAP(2, 2, 4, 2, "PAGADO-QUE-NO-EXISTE", job.printer);
  SAYBITMAP(8, 2, 4, 2, file.toStdString(), job.printer);
  job.printer.EndPage();
  const QImage sheet = renderSheet(job.end().pages().at(0));

  EXPECT_TRUE(inkBounds(sheet, QRect(0, 0, sheet.width(), sheetPixel(6, kDpi))).isEmpty());
  const QRect drawn = inkBounds(sheet, QRect(0, sheetPixel(6, kDpi), sheet.width(), sheet.height()));
  EXPECT_EQ(colourAt(sheet, 9, 4), QColor(Qt::red));
  // Stretched to INT(150 x 4 / 2.54) x INT(150 x 2 / 2.54) pixels.
  EXPECT_NEAR(drawn.width(), 236, 2);
  EXPECT_NEAR(drawn.height(), 118, 2);
}

TEST(TPrinter, PreviewRecordsAPictureFilePerPageAndDeletesThemAll) {
  QTemporaryDir tmp;
  const QByteArray oldTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));
  std::vector<std::filesystem::path> files;
  {
    PreviewJob job;
    job.printer.setPreviewSink([&](RecordedJob&& recorded, bool) {
      for (const RecordedPage& p : recorded.pages()) {
        EXPECT_TRUE(std::filesystem::exists(p.file));
        files.push_back(p.file);
      }
    });
    for (int i = 1; i <= 3; ++i) {
      job.printer.StartPage();
      EXPECT_EQ(job.printer.page(), i);
      job.printer.CmSay(2, 2, "Página " + std::to_string(i));
      job.printer.EndPage();
    }
    EXPECT_EQ(job.printer.recorded().pageCount(), 3);
    job.printer.PRINTEND();
    EXPECT_TRUE(job.ui.calls().empty()) << job.ui.dump();
  }
  ASSERT_EQ(files.size(), 3u);
  for (const auto& f : files) {
    EXPECT_EQ(f.parent_path(), std::filesystem::path(tmp.path().toStdString())) << "TMPDIR is the folder";
    EXPECT_FALSE(std::filesystem::exists(f)) << f;
  }
  EXPECT_TRUE(QDir(tmp.path()).isEmpty());

  // A job left unfinished deletes its pages too.
  {
    PreviewJob job;
    job.printer.StartPage();
    job.printer.EndPage();
    job.printer.StartPage();
  }
  EXPECT_TRUE(QDir(tmp.path()).isEmpty());
  qputenv("TMPDIR", oldTmp);
  if (oldTmp.isEmpty()) qunsetenv("TMPDIR");
}

TEST(TPrinter, RecordingFailuresAreReportedAndPrintingGoesOn) {
  {
    PreviewJob job;
    job.printer.EndPage();
    ASSERT_EQ(job.ui.calls().size(), 1u);
    EXPECT_EQ(job.ui.calls()[0].kind, ui::CallKind::kStop);
    EXPECT_EQ(job.ui.calls()[0].title, "Printer object Error");
    EXPECT_EQ(job.ui.calls()[0].text, "The temporal metafile could not be created");
  }
  const QByteArray oldTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", "/nonexistent/canalix-print-test");
  {
    PreviewJob job;
    job.printer.StartPage();
    job.printer.CmSay(2, 2, "x");
    job.printer.EndPage();
    ASSERT_EQ(job.ui.calls().size(), 1u);
    const ui::PortCall& call = job.ui.calls()[0];
    EXPECT_EQ(call.title, "Print preview error");
    const std::string file = job.printer.recorded().pages().at(0).file.string();
    EXPECT_EQ(file.rfind("/nonexistent/canalix-print-test/", 0), 0u) << file;
    EXPECT_EQ(call.text, "Could not create temporary file: " + file +
                             "\r\n\r\nPlease check your free space on your hard drive \r\n"
                             "and the amount of files handles available.");
    job.printer.StartPage();
    EXPECT_EQ(job.printer.page(), 2) << "printing goes on";
    job.printer.EndPage();
  }
  qputenv("TMPDIR", oldTmp);
  if (oldTmp.isEmpty()) qunsetenv("TMPDIR");
}

TEST(TPrinter, DirectJobWithoutPrinterSaysSoOnceAndDrawsNothing) {
  ui::ScriptedPort ui;
  simulateNoPrinters(true);
  TPrinter printer(ui);
  bool previewed = false;
  printer.setPreviewSink([&](RecordedJob&&, bool) { previewed = true; });
  EXPECT_FALSE(printer.PRINTBEGIN("Listado de socios"));
  for (int i = 0; i < 2; ++i) {
    printer.StartPage();
    printer.CmSay(2, 2, "Socio");
    CAJA(1, 1, 3, 3, printer, 0);
    printer.EndPage();
  }
  printer.PRINTEND();
  simulateNoPrinters(false);
  ASSERT_EQ(ui.calls().size(), 1u) << ui.dump();
  EXPECT_EQ(ui.calls()[0].kind, ui::CallKind::kStop);
  EXPECT_EQ(ui.calls()[0].text,
            "There are no printers installed!\r\nPlease exit this application and install a printer.");
  EXPECT_EQ(printer.page(), 0);
  EXPECT_TRUE(printer.recorded().empty());
  EXPECT_FALSE(previewed);
  EXPECT_EQ(NOMBREIMPRESORA().empty(), !printersInstalled());
}

TEST(TPrinter, PreviewWithoutPrinterRecordsOnTheVirtualA4AndRestoresTheOrientation) {
  PreviewJob job("Recibos", std::nullopt);
  EXPECT_EQ(job.printer.nLogPixelX(), kVirtualDpi);
  EXPECT_EQ(job.printer.nHorzRes(), virtualGeometry(2100, 2970, false).horzRes);
  EXPECT_EQ(job.printer.nHorzSize(), 202);
  job.printer.SetSize(2100, 3100);
  EXPECT_EQ(job.printer.geometry().paperHeightPx, 7323);
  job.printer.SetLandscape();
  EXPECT_TRUE(job.printer.geometry().landscape());
  job.printer.StartPage();
  job.printer.EndPage();
  RecordedJob& recorded = job.end();
  ASSERT_EQ(recorded.pageCount(), 1);
  EXPECT_TRUE(recorded.pages()[0].geometry.landscape());

  ui::ScriptedPort ui;
  TPrinter next(ui);
  simulateNoPrinters(true);
  next.PRINTBEGIN("Otro", false, true);
  EXPECT_FALSE(next.geometry().landscape()) << "the orientation of the job's start came back";
  next.PRINTEND();
  simulateNoPrinters(false);
}

}  // namespace
}  // namespace canalix::output
