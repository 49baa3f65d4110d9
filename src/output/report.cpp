// The column report engine.
//
// A page, top to bottom: the header lines from the top margin, the title
// lines, a double rule, the column titles, a double rule, the records, and at
// the foot the running totals under a double rule, then the footer lines
// ending at the bottom margin. The last row a record may use (the bottom row)
// leaves room for the totals and the footer, so a page break never drops or
// repeats a record: a record's line that does not fit goes to the next page.
#include "output/report.h"

#include <algorithm>
#include <cmath>

#include "output/cp1252.h"
#include "output/date_format.h"

namespace canalix::output {
namespace {

Align alignOf(const std::string& name, Align otherwise) {
  if (name == "LEFT") return Align::kLeft;
  if (name == "RIGHT") return Align::kRight;
  if (name == "CENTER" || name == "CENTERED") return Align::kCenter;
  return otherwise;
}

int sayAlign(Align a) { return a == Align::kLeft ? 0 : a == Align::kRight ? 1 : 2; }

// Characters of a UTF-8 text.
int characters(const std::string& utf8) {
  int n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

const std::string& pictureOf(const TRColumn& c, size_t line) {
  static const std::string none;
  if (c.pictures.empty()) return none;
  return line < c.pictures.size() ? c.pictures[line] : c.pictures.front();
}

// A value as its cell shows it (Windows-1252 for table text).
std::string formatted(const CellValue& v, const std::string& picture) {
  return std::visit([&](const auto& x) { return TRANSFORM(x, picture); }, v);
}

}  // namespace

CellValue fieldValue(const store::WorkArea& area, const std::string& name) {
  const int i = area.fieldIndex(name);
  const store::FieldSpec& f = area.structure().at(size_t(i));
  const store::Value v = area.get(name);
  switch (f.type) {
    case 'N':
      return Number(std::get<double>(v), f.width, f.decimals);
    case 'D':
      return std::get<store::Date>(v);
    case 'L':
      return Logical{std::get<bool>(v)};
    default:
      return std::get<std::string>(v);
  }
}

ValueProducer field(const store::WorkArea& area, const std::string& name) {
  return [&area, name] { return fieldValue(area, name); };
}

TextProducer text(std::string value) {
  return [value = std::move(value)] { return value; };
}

std::string textForm(const CellValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* d = std::get_if<store::Date>(&value)) return DTOC(*d);
  if (const auto* l = std::get_if<Logical>(&value)) return l->value ? ".T." : ".F.";
  std::string s = STR(std::get<Number>(value));
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

// Everything one run works out and keeps: measures, placement, the row.
struct TReport::Layout {
  TReport& r;
  PageCanvas& job;
  int std = 0;  // the standard line height
  int sep = 0;  // the separator
  int left = 0;
  int width = 0;
  int marginX = 0, marginTop = 0, marginBottom = 0;
  double ruleHeight = 0;  // ten pen widths
  int bottomRow = 0;
  int footerHeight = 0;
  int row = 0;
  bool anyTotal = false;
  bool boxedTotals = false;
  bool firstOnPage = true;
  std::vector<int> lineHeights;
  std::vector<int> totalDecimals;  // per column: decimals of its first number

  const PrintFont* font(int index) const {
    return &r.fonts.at(size_t(std::clamp(index, 1, int(r.fonts.size())) - 1));
  }
  int colour(int fontIndex) const {
    return fontIndex >= 1 && size_t(fontIndex) <= r.colours.size() ? r.colours[size_t(fontIndex) - 1] : kBlack;
  }
  int height(int fontIndex) const { return job.fontHeight(font(fontIndex)); }

  int blockHeight(const std::vector<TextProducer>& lines) const {
    if (lines.empty() || lines.front()().empty()) return 0;
    return int(lines.size()) * std;
  }

  // Draws a block of lines from `top` with `align` over the report's width.
  int drawBlock(const std::vector<TextProducer>& lines, int top, Align align) {
    if (lines.empty() || lines.front()().empty()) return top;
    for (const TextProducer& line : lines) {
      job.Say(top, left, line(), font(1), width, colour(1), kTransparent, sayAlign(align));
      top += std;
    }
    return top;
  }

  // A rule across the report taking `ruleHeight`, single or double.
  void rule(bool twice) {
    const int top = row;
    auto across = [&](int y) {
      for (const auto& c : r.columns) {
        const int from = r.cellView_ ? c->left - sep / 2 : c->left;
        const int to = r.cellView_ ? c->left + c->width + sep / 2 : c->left + c->width;
        job.Line(y, from, y, to);
      }
    };
    if (twice) {
      across(top + int(ruleHeight * 0.4));
      across(top + int(ruleHeight * 0.6));
    } else {
      across(top + int(ruleHeight / 2));
    }
    row = top + int(std::ceil(ruleHeight));
  }

  void gridRules(int top, int h) {
    for (const auto& c : r.columns) {
      if (!c->grid) continue;
      const PrintPen pen{std::max(1, int(r.pens.at(size_t(std::max(1, c->pen)) - 1).width * job.nLogPixelX() / 72))};
      job.Line(top, c->left - sep / 2, top + h, c->left - sep / 2, &pen);
      job.Line(top, c->left + c->width + sep / 2, top + h, c->left + c->width + sep / 2, &pen);
    }
  }

  void startPage() {
    job.StartPage();
    ++r.nPage;
    firstOnPage = true;
    row = drawBlock(r.headerLines, marginTop, alignOf(r.headerAlign, Align::kLeft));
    row = drawBlock(r.titleLines, row, alignOf(r.titleAlign, Align::kCenter));
    rule(true);
    size_t titleLines = 0;
    for (const auto& c : r.columns) titleLines = std::max(titleLines, c->titles.size());
    for (size_t i = 0; i < titleLines; ++i) {
      for (const auto& c : r.columns)
        if (i < c->titles.size())
          job.Say(row, c->left, c->titles[i](), font(1), c->width, colour(1), kTransparent, sayAlign(c->align));
      row += std;
    }
    rule(true);
  }

  std::string totalText(const TRColumn& c, size_t at, double value) const {
    const std::string& picture = pictureOf(c, 0);
    const int d = totalDecimals[at];
    return utf8FromCp1252(TRANSFORM(Number(value, 10 + (d ? d + 1 : 0), d), picture));
  }

  // The running totals under their columns, boxed in cell view.
  void drawTotals(int fontIndex, const std::function<double(size_t)>& valueOf) {
    for (size_t i = 0; i < r.columns.size(); ++i) {
      const TRColumn& c = *r.columns[i];
      if (!c.total) continue;
      job.Say(row, c.left, totalText(c, i, valueOf(i)), font(fontIndex), c.width, colour(fontIndex), kTransparent,
              sayAlign(c.align));
    }
  }

  void endPage(bool finishing) {
    if (anyTotal && r.pageTotals) {
      rule(true);
      const int top = row;
      drawTotals(1, [&](size_t i) { return r.columns[i]->runningTotal; });
      row += std;
      if (boxedTotals) {
        gridRules(top, std);
        rule(false);
      }
    } else if (r.cellView_) {
      rule(true);
    }
    int footerTop = job.nVertRes() - marginBottom - blockHeight(r.footerLines);
    drawBlock(r.footerLines, footerTop, alignOf(r.footerAlign, Align::kLeft));
    job.EndPage();
    if (!finishing) startPage();
  }

  void endGroup(TRGroup& g, const std::string& next, bool finishing) {
    const int h = height(g.font);
    if (anyTotal) {
      if (bottomRow - row < 2 * h) endPage(false);
      rule(false);
    }
    const std::string footer = g.footer ? g.footer() : std::string();
    if (!footer.empty()) {
      job.Say(row, left, footer, font(g.font), 0, colour(g.font), 2, 0);
      drawTotals(g.font, [&](size_t i) { return g.totals[i]; });
      row += h;
    }
    std::fill(g.totals.begin(), g.totals.end(), 0.0);
    g.count = 0;
    g.cValue = next;
    if (g.eject && !finishing) endPage(false);
  }

  void startGroup(TRGroup& g) {
    const std::string header = g.header ? g.header() : std::string();
    if (header.empty()) return;
    job.Say(row, left, header, font(g.font), 0, colour(g.font), kTransparent, 0);
    row += height(g.font);
  }

  void printRecord() {
    for (auto& g : r.groups) ++g->count;
    for (size_t line = 0; line < lineHeights.size(); ++line) {
      const int h = lineHeights[line];
      if (row + h > bottomRow) endPage(false);
      if (r.cellView_ && line == 0 && !firstOnPage) rule(false);
      gridRules(row, h);
      for (size_t i = 0; i < r.columns.size(); ++i) {
        TRColumn& c = *r.columns[i];
        if (line >= c.data.size()) continue;
        const CellValue v = c.data[line]();
        job.Say(row, c.left, utf8FromCp1252(formatted(v, pictureOf(c, line))), font(c.dataFont), c.width,
                colour(c.dataFont), kTransparent, sayAlign(c.align));
        const auto* n = std::get_if<Number>(&v);
        if (!c.total || !n || (c.totalCondition && !c.totalCondition())) continue;
        c.runningTotal += n->value;
        for (auto& g : r.groups) g->totals[i] += n->value;
      }
      row += h;
      if (bottomRow - row < std) endPage(false);
    }
    firstOnPage = false;
  }
};

void TReport::SetTxtColor(int colour, int fontIndex) {
  if (fontIndex < 1) return;
  if (colours.size() < size_t(fontIndex)) colours.resize(size_t(fontIndex), kBlack);
  colours[size_t(fontIndex) - 1] = colour;
}

void TReport::CellView() {
  cellView_ = true;
  for (auto& c : columns) c->grid = true;
}

bool TReport::Activate(store::WorkArea& area, const std::function<bool()>& forCondition,
                       const std::function<bool()>& whileCondition) {
  auto wanted = [&] { return !forCondition || forCondition(); };
  auto going = [&] { return !area.Eof() && (!whileCondition || whileCondition()); };
  if (!groups.empty())
    while (going() && !wanted()) area.DBSKIP();

  Layout l{*this, job_};
  const PrintFont* font1 = l.font(1);
  l.std = job_.fontHeight(font1);
  l.sep = job_.textWidth("B", font1);
  l.marginX = int(0.2 * job_.nLogPixelX());
  l.marginTop = l.marginBottom = int(0.2 * job_.nLogPixelY());
  l.ruleHeight = 10.0 * pens.front().width * job_.nLogPixelY() / 72;

  // Widths: a fixed size in letters "B", or the first record's value or the title.
  size_t lines = 0;
  l.totalDecimals.assign(columns.size(), 0);
  for (size_t i = 0; i < columns.size(); ++i) {
    TRColumn& c = *columns[i];
    const int letter = job_.textWidth("B", l.font(c.dataFont));
    lines = std::max(lines, c.data.size());
    bool firstIsNumber = false;
    int chars = 0;
    for (size_t d = 0; d < c.data.size(); ++d) {
      const CellValue v = c.data[d]();
      if (d == 0) firstIsNumber = std::holds_alternative<Number>(v);
      if (const auto* n = std::get_if<Number>(&v); n && d == 0) l.totalDecimals[i] = n->decimals;
      chars = std::max(chars, int(formatted(v, pictureOf(c, d)).size()));
    }
    c.width = c.size > 0 ? c.size * letter : chars * letter;
    if (c.size <= 0)
      for (const TextProducer& t : c.titles) c.width = std::max(c.width, characters(t()) * l.sep);
    c.align = alignOf(c.alignment, firstIsNumber ? Align::kRight : Align::kLeft);
    c.runningTotal = 0;
    l.anyTotal = l.anyTotal || c.total;
  }
  for (auto& g : groups) g->totals.assign(columns.size(), 0.0);

  int reportWidth = 0;
  for (const auto& c : columns) reportWidth += c->width;
  if (!columns.empty()) reportWidth += l.sep * int(columns.size() - 1);
  for (const auto* block : {&titleLines, &headerLines, &footerLines})
    for (const TextProducer& t : *block) reportWidth = std::max(reportWidth, job_.textWidth(t(), font1));
  const int usable = job_.nHorzRes() - 2 * l.marginX;
  if (reportWidth > usable) {
    if (!ui_.yesNo("El listado es más ancho que la página.\r\n¿Desea imprimirlo cortado por el borde derecho?", {},
                   ui::DefaultAnswer::kNo))
      return false;
    reportWidth = usable;
  }
  l.width = reportWidth;
  l.left = l.marginX + std::max(0, (usable - reportWidth) / 2);
  int x = l.left;
  for (auto& c : columns) {
    c->left = x;
    x += c->width + l.sep;
  }

  l.lineHeights.assign(lines, 0);
  int tallest = 0;
  for (const auto& c : columns)
    for (size_t d = 0; d < c->data.size(); ++d) {
      l.lineHeights[d] = std::max(l.lineHeights[d], l.height(c->dataFont));
      tallest = std::max(tallest, l.height(c->dataFont));
    }
  l.boxedTotals = cellView_ && l.anyTotal;
  l.footerHeight = l.blockHeight(footerLines);
  l.bottomRow = job_.nVertRes() - l.footerHeight - l.marginBottom;
  if (l.anyTotal) l.bottomRow -= int(std::ceil(l.ruleHeight)) + l.std + tallest;
  if (!l.anyTotal && cellView_) l.bottomRow -= int(std::ceil(l.ruleHeight));
  if (l.boxedTotals) l.bottomRow -= l.std;

  nPage = 0;
  ui_.progressBegin(documentName, "Página 1", 0);
  l.startPage();
  for (auto& g : groups) {
    g->cValue = textForm(g->expression());
    g->count = 0;
    l.startGroup(*g);
  }
  int shownPage = 0;
  while (going()) {
    if (wanted()) l.printRecord();
    if (nPage != shownPage) ui_.progressStep(shownPage = nPage, "Página " + std::to_string(nPage));
    area.DBSKIP();
    if (groups.empty()) continue;
    while (going() && !wanted()) area.DBSKIP();
    if (!going()) break;
    std::vector<TRGroup*> ended;
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
      const std::string next = textForm((*g)->expression());
      if (next == (*g)->cValue) continue;
      l.endGroup(**g, next, false);
      ended.push_back(g->get());
    }
    for (auto g = ended.rbegin(); g != ended.rend(); ++g) l.startGroup(**g);
  }
  for (auto g = groups.rbegin(); g != groups.rend(); ++g)
    if ((*g)->count > 0) l.endGroup(**g, (*g)->cValue, true);
  l.endPage(true);
  ui_.progressEnd();
  return true;
}

std::unique_ptr<TReport> RPTBEGIN(PageCanvas& job, ui::UiPort& ui, ReportHeading heading) {
  auto report = std::make_unique<TReport>(job, ui);
  if (!heading.titleLines.empty()) report->titleLines = std::move(heading.titleLines);
  if (!heading.headerLines.empty()) report->headerLines = std::move(heading.headerLines);
  if (!heading.footerLines.empty()) report->footerLines = std::move(heading.footerLines);
  if (!heading.fonts.empty()) report->fonts = std::move(heading.fonts);
  if (!heading.pens.empty()) report->pens = std::move(heading.pens);
  report->documentName = std::move(heading.documentName);
  report->titleAlign = std::move(heading.titleAlign);
  report->headerAlign = std::move(heading.headerAlign);
  report->footerAlign = std::move(heading.footerAlign);
  return report;
}

TRColumn& RPTADDCOLUMN(TReport& report, TRColumn column) {
  report.columns.push_back(std::make_unique<TRColumn>(std::move(column)));
  if (report.cellView()) report.columns.back()->grid = true;
  return *report.columns.back();
}

TRGroup& RPTADDGROUP(TReport& report, TRGroup group) {
  report.groups.push_back(std::make_unique<TRGroup>(std::move(group)));
  return *report.groups.back();
}

TReport& RPTEND(TReport& report) { return report; }

}  // namespace canalix::output
