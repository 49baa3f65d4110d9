// The report engine over a real table on a canvas that records every text
// with its page and position: no record lost or repeated at page breaks, the
// titles and footers of every page, page totals carried forward, group
// subtotals, the extra page of a last record that fills its page, widths and
// alignments.
#include "output/report.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>

#include "output/date_format.h"
#include "output/number_format.h"
#include "store/store_fixture.h"
#include "ui/scripted_port.h"

namespace canalix::output {
namespace {

struct Said {
  int page;
  int row, col;
  std::string text;
  int width, align;
};

// A device of 100 pixels per inch on an A4 sheet, whose letters are all 6
// pixels wide, recording what is drawn.
class RecordingCanvas : public PageCanvas {
 public:
  RecordingCanvas() : geometry_(sheetGeometry(2100, 2970, false, 100, 0.42)) {}
  const PageGeometry& geometry() const override { return geometry_; }
  int textWidth(std::string_view text, const PrintFont*) const override {
    int n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return 6 * n;
  }
  void StartPage() override {
    EXPECT_FALSE(open_) << "a page started inside another";
    open_ = true;
    ++pages;
  }
  void EndPage() override {
    EXPECT_TRUE(open_);
    open_ = false;
  }
  void Say(int row, int col, std::string_view text, const PrintFont*, int width, int, int, int align) override {
    EXPECT_TRUE(open_);
    EXPECT_GE(row, 0);
    EXPECT_LE(row + 20, geometry_.vertRes) << "drawn below the page: " << text;
    said.push_back({pages, row, col, std::string(text), width, align});
  }
  void Line(int, int, int, int, const PrintPen*) override { ++lines; }
  void Box(int, int, int, int, const PrintPen*) override {}
  void FillRect(const PixelRect&, const PrintBrush&) override {}
  void SayBitmap(int, int, std::string_view, int, int) override {}

  // The texts of page `page` beginning with `prefix`, in drawing order.
  std::vector<Said> on(int page, const std::string& prefix = "") const {
    std::vector<Said> out;
    for (const Said& s : said)
      if (s.page == page && s.text.compare(0, prefix.size(), prefix) == 0) out.push_back(s);
    return out;
  }
  std::vector<Said> starting(const std::string& prefix) const {
    std::vector<Said> out;
    for (const Said& s : said)
      if (s.text.compare(0, prefix.size(), prefix) == 0) out.push_back(s);
    return out;
  }

  int pages = 0;
  int lines = 0;
  std::vector<Said> said;

 private:
  PageGeometry geometry_;
  bool open_ = false;
};

// A column of one title and one data line; the rest as declared by default.
TRColumn column(const std::string& title, ValueProducer data, int size = 0) {
  TRColumn c;
  c.titles = {text(title)};
  c.data = {std::move(data)};
  c.size = size;
  return c;
}

class Report : public store::testing::ScratchDir {
 protected:
  // MOV records: name "SOCIO nnn", a date changing every 7 records, an amount.
  void makeTable(int count) {
    store::Workspace ws(dir);
    ws.DBCREATE("MOV.DBF", {{"Nombre", 'C', 20, 0}, {"Fecha", 'D', 8, 0}, {"Importe", 'N', 8, 2}});
    ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", false));
    store::WorkArea& a = ws.area("MOV");
    for (int i = 1; i <= count; ++i) {
      a.DBAPPEND();
      char name[21];
      std::snprintf(name, sizeof name, "SOCIO %03d", i);
      a.put("Nombre", std::string(name));
      a.put("Fecha", store::makeDate(2014, 3, 1 + (i - 1) / 7));
      a.put("Importe", amount(i));
    }
  }
  static double amount(int i) { return (i * 37 % 1000) / 4.0; }

  // Runs a report of names and amounts, with the footer "Página: nnn".
  std::unique_ptr<TReport> declare(store::WorkArea& a) { return declare(a, canvas); }
  std::unique_ptr<TReport> declare(store::WorkArea& a, PageCanvas& job) {
    ReportHeading h;
    h.titleLines = {text("LISTADO DE MOVIMIENTOS")};
    h.headerLines = {text("COMUNIDAD DE REGANTES DE PRUEBA")};
    h.documentName = "Movimientos";
    auto report = RPTBEGIN(job, port, std::move(h));
    TReport* r = report.get();
    r->footerLines = {[r] { return "Página: " + STR(r->nPage, 3); }};
    RPTADDCOLUMN(*r, column("Nombre", field(a, "Nombre")));
    TRColumn& importe = RPTADDCOLUMN(*r, column("Importe", field(a, "Importe")));
    importe.pictures = {"@E 99,999.99"};
    importe.total = true;
    RPTEND(*r);
    return report;
  }

  RecordingCanvas canvas;
  ui::ScriptedPort port;
};

std::string money(double v) { return TRANSFORM(Number(v, 13, 2), "@E 99,999.99"); }

TEST_F(Report, EveryRecordOnceInOrderWithTitlesFootersAndTotalsOnEveryPage) {
  makeTable(300);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  store::WorkArea& a = ws.area("MOV");
  auto report = declare(a);
  ASSERT_TRUE(report->Activate(a));
  ASSERT_GT(canvas.pages, 3);
  EXPECT_EQ(report->nPage, canvas.pages);

  // The names, page by page, are the records in order, each once.
  std::vector<std::string> names;
  double carried = 0;
  int record = 0;
  for (int page = 1; page <= canvas.pages; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    ASSERT_EQ(canvas.on(page, "COMUNIDAD DE REGANTES").size(), 1u);
    ASSERT_EQ(canvas.on(page, "LISTADO DE MOVIMIENTOS").size(), 1u);
    ASSERT_EQ(canvas.on(page, "Nombre").size(), 1u);
    const auto footer = canvas.on(page, "Página: ");
    ASSERT_EQ(footer.size(), 1u);
    EXPECT_EQ(footer[0].text, "Página: " + STR(page, 3));
    for (const Said& s : canvas.on(page, "SOCIO ")) {
      names.push_back(s.text);
      carried += amount(++record);
    }
    // The last text above the footer is the running total so far.
    std::vector<Said> texts = canvas.on(page);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2].text, money(carried));
  }
  ASSERT_EQ(names.size(), 300u);
  for (int i = 1; i <= 300; ++i) {
    char name[21];
    std::snprintf(name, sizeof name, "SOCIO %03d", i);
    EXPECT_EQ(names[size_t(i - 1)].substr(0, 9), name);
  }
  double sum = 0;
  for (int i = 1; i <= 300; ++i) sum += amount(i);
  EXPECT_EQ(money(carried), money(sum));
}

TEST_F(Report, GroupFootersShowTheirValueAndTheSumOfTheirRecordsOnly) {
  makeTable(40);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  store::WorkArea& a = ws.area("MOV");
  auto report = declare(a);
  TRGroup byDay;
  byDay.expression = field(a, "Fecha");
  TRGroup& day = RPTADDGROUP(*report, std::move(byDay));
  day.footer = [&day] { return "Total día " + day.cValue; };
  ASSERT_TRUE(report->Activate(a));
  const auto footers = canvas.starting("Total día ");
  ASSERT_EQ(footers.size(), 6u);  // 40 records, a day every 7
  for (size_t d = 0; d < footers.size(); ++d) {
    SCOPED_TRACE(footers[d].text);
    EXPECT_EQ(footers[d].text, "Total día " + DTOC(store::makeDate(2014, 3, int(d) + 1)));
    double sum = 0;
    for (int i = int(d) * 7 + 1; i <= std::min(40, int(d) * 7 + 7); ++i) sum += amount(i);
    // The group total stands on the footer's line.
    bool found = false;
    for (const Said& s : canvas.said)
      if (s.page == footers[d].page && s.row == footers[d].row && s.text == money(sum)) found = true;
    EXPECT_TRUE(found) << money(sum);
  }
}

TEST_F(Report, ALastRecordThatFillsItsPagePutsTheGrandTotalsOnAFurtherPage) {
  // How many records one page holds, from a run over many.
  makeTable(120);
  int perPage = 0;
  {
    RecordingCanvas first;
    store::Workspace ws(dir);
    ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
    auto report = declare(ws.area("MOV"), first);
    report->Activate(ws.area("MOV"));
    perPage = int(first.on(1, "SOCIO ").size());
  }
  ASSERT_GT(perPage, 10);
  std::filesystem::remove(dir / "MOV.DBF");
  makeTable(perPage);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  auto report = declare(ws.area("MOV"));
  report->Activate(ws.area("MOV"));
  ASSERT_EQ(canvas.pages, 2);
  EXPECT_EQ(canvas.on(1, "SOCIO ").size(), size_t(perPage));
  EXPECT_TRUE(canvas.on(2, "SOCIO ").empty());
  EXPECT_EQ(canvas.on(2, "LISTADO DE MOVIMIENTOS").size(), 1u);
  EXPECT_EQ(canvas.on(2, "Nombre").size(), 1u);
  EXPECT_EQ(canvas.on(2, "Página: ").size(), 1u);
}

TEST_F(Report, AutomaticWidthsAndDefaultAlignments) {
  makeTable(12);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  store::WorkArea& a = ws.area("MOV");
  auto report = RPTBEGIN(canvas, port, {});
  // A computed text whose first value is short: later longer values are cut at the cell.
  RPTADDCOLUMN(*report,
               column("N", [&a] { return CellValue(std::string(a.RECNO() == 1 ? "AB" : "ABCDEFGH")); }));
  RPTADDCOLUMN(*report, column("Importe", field(a, "Importe")));
  RPTEND(*report);
  ASSERT_TRUE(report->Activate(a));
  const auto cut = canvas.starting("ABCDEFGH");
  ASSERT_FALSE(cut.empty());
  EXPECT_EQ(cut[0].width, 2 * 6);  // as wide as "AB", its first value
  EXPECT_EQ(cut[0].align, 0);      // text: left
  const auto number = canvas.starting(STR(Number(amount(1), 8, 2)));
  ASSERT_FALSE(number.empty());
  EXPECT_EQ(number[0].align, 1);  // number: right
  EXPECT_EQ(number[0].width, 8 * 6);
}

TEST_F(Report, AnEmptyHeaderLineLetsTheTitleStartAtTheTopMargin) {
  makeTable(3);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  ReportHeading h;
  h.titleLines = {text("TITULO")};
  h.headerLines = {text("")};
  auto report = RPTBEGIN(canvas, port, std::move(h));
  RPTADDCOLUMN(*report, column("", field(ws.area("MOV"), "Nombre")));
  ASSERT_TRUE(report->Activate(ws.area("MOV")));
  const auto title = canvas.starting("TITULO");
  ASSERT_EQ(title.size(), 1u);
  EXPECT_EQ(title[0].row, int(0.2 * 100));  // the top margin: 0.2 inch
}

TEST_F(Report, AReportWiderThanThePageAsksAndNoProducesNothing) {
  makeTable(3);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "MOV.DBF", "MOV", true));
  auto report = RPTBEGIN(canvas, port, {});
  RPTADDCOLUMN(*report, column("", field(ws.area("MOV"), "Nombre"), 200));
  RPTEND(*report);
  port.answer(false);
  EXPECT_FALSE(report->Activate(ws.area("MOV")));
  EXPECT_EQ(canvas.pages, 0);
  ASSERT_EQ(port.callsOf(ui::CallKind::kQuestion).size(), 1u);
}

}  // namespace
}  // namespace canalix::output
