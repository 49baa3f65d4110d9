// The print preview as a user meets it, offscreen: pages turned, zoomed, shown
// two at a time, printed in part; every refusal is a beep of the UI port.
#include "output/preview_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <iostream>
#include <QToolBar>

#include "output/print_pages_dialog.h"
#include "print_job.h"

namespace canalix::output {
namespace {

using testing::PreviewJob;

// A job of `pages` sample pages with boxes, lines, a grey band and text.
RecordedJob sampleJob(int pages, bool landscape = false) {
  PreviewJob job("Listado de socios", std::nullopt);
  if (landscape) job.printer.SetLandscape();
  const PrintFont title{"Arial", 14, true, false};
  const PrintFont body{"Arial", 10, false, false};
  const PrintPen pen{5};
  const PrintBrush grey{kLightGrey};
  for (int p = 1; p <= pages; ++p) {
    job.printer.StartPage();
    job.printer.CmSay(1.5, 10.5, "COMUNIDAD DE REGANTES", &title, 0, kBlack, kTransparent, 2);
    CAJA(3, 1.5, 12, 19.5, job.printer, 0, nullptr, &pen);
    CAJA(3.1, 1.6, 3.9, 19.4, job.printer, 1, &grey);
    job.printer.CmSay(3.2, 2, "Socio", &body);
    job.printer.CmSay(3.2, 19, "Importe", &body, 0, kBlack, kTransparent, 1);
    LINEA(4, 1.5, 4, 19.5, job.printer, &pen);
    for (int r = 0; r < 8; ++r) {
      job.printer.CmSay(4.5 + r * 0.8, 2, "Socio " + std::to_string((p - 1) * 8 + r + 1), &body);
      job.printer.CmSay(4.5 + r * 0.8, 19, std::to_string(12 * (r + 1)) + ",00", &body, 0, kBlack,
                        kTransparent, 1);
    }
    job.printer.CmSay(27.5, 10.5, "Página " + std::to_string(p), &body, 0, kBlack, kTransparent, 2);
    job.printer.EndPage();
  }
  RecordedJob out = std::move(job.end());
  return out;
}

struct Preview {
  ui::ScriptedPort ui;
  PreviewWindow window;
  explicit Preview(int pages, bool landscape = false) : window(sampleJob(pages, landscape), ui) {
    window.resize(1000, 800);
    window.show();
    QCoreApplication::processEvents();
  }
  int beeps() const { return int(ui.callsOf(ui::CallKind::kTone).size()); }
};

TEST(PreviewWindow, PagesTurnAndBeepAtEitherEnd) {
  Preview p(3);
  EXPECT_EQ(p.window.windowTitle(), "Listado de socios");
  EXPECT_EQ(p.window.pageIndicator(), QStringLiteral("Página 1 / 3"));
  struct Step {
    void (PreviewWindow::*command)();
    int page;
    int beeps;
  };
  const Step steps[] = {
      {&PreviewWindow::previousPage, 1, 1}, {&PreviewWindow::firstPage, 1, 2},
      {&PreviewWindow::nextPage, 2, 2},     {&PreviewWindow::lastPage, 3, 2},
      {&PreviewWindow::nextPage, 3, 3},     {&PreviewWindow::lastPage, 3, 4},
      {&PreviewWindow::previousPage, 2, 4}, {&PreviewWindow::firstPage, 1, 4},
  };
  for (const Step& s : steps) {
    (p.window.*s.command)();
    EXPECT_EQ(p.window.currentPage(), s.page);
    EXPECT_EQ(p.beeps(), s.beeps);
  }
  p.window.lastPage();
  EXPECT_EQ(p.window.pageIndicator(), QStringLiteral("Página 3 / 3"));
  const QList<QLabel*> indicator = p.window.findChildren<QLabel*>();
  bool shown = false;
  for (QLabel* label : indicator) shown = shown || label->text() == QStringLiteral("Página 3 / 3");
  EXPECT_TRUE(shown) << "the indicator is on the tool bar";
}

TEST(PreviewWindow, KeysAndWheelTurnPagesUnlessZoomed) {
  Preview p(3);
  QWidget* view = p.window.findChild<QScrollArea*>()->widget();
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_EQ(p.window.currentPage(), 2);
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(p.window.currentPage(), 3);
  QTest::keyClick(view, Qt::Key_PageUp);
  EXPECT_EQ(p.window.currentPage(), 2);
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(p.window.currentPage(), 1);
  QWheelEvent down(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &down);
  EXPECT_EQ(p.window.currentPage(), 2);

  p.window.zoom();
  QScrollBar* v = p.window.findChild<QScrollArea*>()->verticalScrollBar();
  QScrollBar* h = p.window.findChild<QScrollArea*>()->horizontalScrollBar();
  ASSERT_GT(v->maximum(), 0) << "a zoomed page scrolls";
  QTest::keyClick(view, Qt::Key_End);
  EXPECT_EQ(v->value(), v->maximum());
  EXPECT_EQ(h->value(), h->maximum());
  EXPECT_EQ(p.window.currentPage(), 2) << "keys scroll a zoomed page, they do not turn it";
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(v->value(), 0);
  EXPECT_EQ(h->value(), 0);
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_GT(v->value(), 0);
  EXPECT_EQ(p.window.currentPage(), 2);
}

TEST(PreviewWindow, ZoomFactorsAndUnzoomReturnToTheWholePage) {
  Preview p(2);
  auto* factors = p.window.findChild<QComboBox*>();
  ASSERT_NE(factors, nullptr);
  EXPECT_EQ(factors->count(), 9);
  p.window.zoom();
  EXPECT_TRUE(p.window.zoomed());
  EXPECT_EQ(p.window.factor(), 2);
  const QSize at2 = p.window.findChild<QScrollArea*>()->widget()->size();
  p.window.setFactor(5);
  EXPECT_EQ(p.window.factor(), 5);
  EXPECT_EQ(factors->currentIndex(), 4);
  const QSize at5 = p.window.findChild<QScrollArea*>()->widget()->size();
  EXPECT_NEAR(double(at5.height()) / at2.height(), 2.5, 0.1);
  p.window.unzoom();
  EXPECT_FALSE(p.window.zoomed());
  EXPECT_EQ(p.window.factor(), 1);
  EXPECT_EQ(factors->currentIndex(), 0);
  // A factor chosen on the whole page zooms in.
  p.window.setFactor(3);
  EXPECT_TRUE(p.window.zoomed());
  EXPECT_EQ(p.window.factor(), 3);
  // A double click on a zoomed page returns to the whole page.
  QWidget* view = p.window.findChild<QScrollArea*>()->widget();
  QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_FALSE(p.window.zoomed());
  EXPECT_EQ(p.beeps(), 0);
}

TEST(PreviewWindow, TwoPagesOnlyForPortraitJobsOfMoreThanOnePage) {
  struct Case {
    int pages;
    bool landscape;
    bool allowed;
  };
  const Case cases[] = {{1, false, false}, {3, true, false}, {3, false, true}};
  for (const Case& c : cases) {
    Preview p(c.pages, c.landscape);
    p.window.showTwoPages();
    EXPECT_EQ(p.window.twoPages(), c.allowed) << c.pages << (c.landscape ? " landscape" : "");
    EXPECT_EQ(p.beeps(), c.allowed ? 0 : 1);
  }
  Preview one(1);
  EXPECT_EQ(one.window.pageIndicator(), QStringLiteral("Página 1"));
}

TEST(PreviewWindow, PrintRangeMustLieInTheJob) {
  ui::ScriptedPort ui;
  struct Case {
    int from;
    int to;
    bool accepted;
  };
  const Case cases[] = {{3, 2, false}, {0, 2, false}, {2, 4, false}, {2, 3, true}, {3, 3, true}};
  for (const Case& c : cases) {
    ui.clear();
    PrintPagesDialog dialog(3, 1, ui);
    dialog.show();
    dialog.chooseRange(c.from, c.to);
    dialog.accept();
    EXPECT_EQ(dialog.isVisible(), !c.accepted) << c.from << "-" << c.to;
    EXPECT_EQ(ui.callsOf(ui::CallKind::kTone).size(), c.accepted ? 0u : 1u);
    if (c.accepted) {
      EXPECT_EQ(dialog.pages().from, c.from);
      EXPECT_EQ(dialog.pages().to, c.to);
    }
  }
  // The numbers are editable only for a range.
  PrintPagesDialog dialog(3, 2, ui);
  const QList<QSpinBox*> numbers = dialog.findChildren<QSpinBox*>();
  ASSERT_EQ(numbers.size(), 2);
  EXPECT_FALSE(numbers[0]->isEnabled());
  dialog.chooseRange(1, 1);
  EXPECT_TRUE(numbers[0]->isEnabled());
}

TEST(PreviewWindow, OnlyOnePreviewAtATimeAndClosingDeletesThePages) {
  ui::ScriptedPort ui;
  RecordedJob first = sampleJob(2);
  const std::filesystem::path firstPage = first.pages()[0].file;
  RPREVIEW(std::move(first), ui);
  PreviewWindow* open = PreviewWindow::open();
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(open->isVisible());

  RecordedJob second = sampleJob(1);
  const std::filesystem::path secondPage = second.pages()[0].file;
  RPREVIEW(std::move(second), ui);
  EXPECT_EQ(PreviewWindow::open(), open);
  ASSERT_EQ(ui.callsOf(ui::CallKind::kAlert).size(), 1u);
  EXPECT_EQ(ui.callsOf(ui::CallKind::kAlert)[0].text,
            "Ya hay una vista previa abierta; ciérrela antes de abrir otra.");
  EXPECT_FALSE(std::filesystem::exists(secondPage));

  EXPECT_TRUE(std::filesystem::exists(firstPage));
  open->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(PreviewWindow::open(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(firstPage));
}

TEST(PreviewWindow, PrintingWithoutPrinterSaysSoAndPdfGoesWhereTheUserChose) {
  Preview p(2);
  simulateNoPrinters(true);
  p.window.print();
  simulateNoPrinters(false);
  ASSERT_EQ(p.ui.callsOf(ui::CallKind::kStop).size(), 1u);
  EXPECT_EQ(p.ui.callsOf(ui::CallKind::kStop)[0].text, kNoPrinterText);

  QTemporaryDir dir;
  p.ui.answerFile(std::filesystem::path(dir.filePath("socios").toStdString()));
  p.window.savePdf();
  EXPECT_TRUE(QFile::exists(dir.filePath("socios.pdf")));
  p.ui.answerFile(std::nullopt);
  p.window.savePdf();
  EXPECT_EQ(p.ui.callsOf(ui::CallKind::kStop).size(), 1u);
}

TEST(PreviewWindow, MenusAndToolBarSpeakSpanish) {
  Preview p(3);
  QStringList menus;
  for (QAction* a : p.window.menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&Fichero ", QStringLiteral("&Página ")}));
  QStringList tips;
  for (QAction* a : p.window.findChild<QToolBar*>()->actions()) {
    if (!a->toolTip().isEmpty() && !a->isSeparator()) tips << a->toolTip();
  }
  for (const char* tip : {"Primera página", "Página anterior", "Página siguiente", "Última página",
                          "Ampliar la página", "Dos páginas", "Imprimir", "Guardar como PDF"}) {
    EXPECT_TRUE(tips.contains(QString::fromUtf8(tip))) << tip << " in " << tips.join(", ").toStdString();
  }
}

// Not a check: pictures of the preview for a person to look at.
TEST(PreviewWindow, Screenshots) {
  Preview p(3);
  p.window.resize(1100, 820);
  QCoreApplication::processEvents();
  QDir().mkpath("/tmp/shots");
  EXPECT_TRUE(p.window.grab().save("/tmp/shots/preview-page.png"));
  p.window.showTwoPages();
  QCoreApplication::processEvents();
  EXPECT_TRUE(p.window.grab().save("/tmp/shots/preview-two-pages.png"));
  p.window.showOnePage();
  p.window.setFactor(3);
  QCoreApplication::processEvents();
  EXPECT_TRUE(p.window.grab().save("/tmp/shots/preview-zoom.png"));
}

}  // namespace
}  // namespace canalix::output
