// The column report engine: a report declared as title, header and footer
// lines, columns and groups, then run over the records of a work area and
// laid out page by page on a page canvas (a printer job or recorded pages).
//
// Every value is formatted with TRANSFORM and its column's picture. Positions
// are device pixels of the canvas, measured from the printable corner. Two
// measures drive the layout: the standard line height (the height of "B" in
// font 1) and the separator (the width of "B" in font 1), the gap between
// adjacent columns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "output/number_format.h"
#include "output/page_canvas.h"
#include "output/picture.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::output {

// A text a report draws, evaluated each time it is drawn (UTF-8).
using TextProducer = std::function<std::string()>;
// A cell's value: table text (Windows-1252 bytes), a number with its width
// and decimals, a date or a logical.
using CellValue = std::variant<std::string, Number, store::Date, Logical>;
using ValueProducer = std::function<CellValue()>;

// The value of `field` on the current record of `area`, a number with the
// field's own width and decimals.
CellValue fieldValue(const store::WorkArea& area, const std::string& field);
// A producer of that value, read when the producer runs.
ValueProducer field(const store::WorkArea& area, const std::string& name);
// A producer of a fixed text.
TextProducer text(std::string value);

// The text form of a value: a text unchanged, a date by DTOC, a number by STR
// without leading blanks, a logical as ".T." or ".F.".
std::string textForm(const CellValue& value);

enum class Align { kLeft, kRight, kCenter };

struct TRColumn {
  std::vector<TextProducer> titles{text("")};
  std::vector<ValueProducer> data{[] { return CellValue(std::string()); }};
  int size = 0;                       // width in letters "B"; 0 is automatic
  std::vector<std::string> pictures;  // one per data line; missing ones repeat the first
  int dataFont = 1;
  bool total = false;
  std::function<bool()> totalCondition;  // empty: every record is summed
  std::string alignment;                 // "LEFT", "RIGHT", "CENTER"; empty: by the first value
  bool grid = false;
  int pen = 1;

  // Worked out when the report runs.
  double runningTotal = 0;
  int width = 0;
  int left = 0;
  Align align = Align::kLeft;
};

struct TRGroup {
  ValueProducer expression = [] { return CellValue(std::string()); };
  TextProducer header = text("");
  TextProducer footer = text("Total...");
  int font = 1;
  bool eject = false;

  std::string cValue;  // text form of the expression for the group being printed
  int count = 0;       // records printed in the current group
  std::vector<double> totals;
};

class TReport {
 public:
  TReport(PageCanvas& job, ui::UiPort& ui) : job_(job), ui_(ui) {}
  TReport(const TReport&) = delete;
  TReport& operator=(const TReport&) = delete;

  std::vector<TextProducer> titleLines{text("")};
  std::vector<TextProducer> headerLines{text("")};
  std::vector<TextProducer> footerLines{text("")};
  std::string titleAlign = "CENTER";
  std::string headerAlign = "LEFT";
  std::string footerAlign = "LEFT";
  std::vector<PrintFont> fonts{PrintFont{}};  // font 1 is the standard font
  std::vector<int> colours;                   // one per font; black when missing
  std::vector<PrintPen> pens{PrintPen{1}};    // widths in points
  std::string documentName;
  bool pageTotals = true;
  std::vector<std::unique_ptr<TRColumn>> columns;
  std::vector<std::unique_ptr<TRGroup>> groups;
  int nPage = 0;  // pages started so far

  // The colour of every text drawn in font `fontIndex` (1-based).
  void SetTxtColor(int colour, int fontIndex);
  // Rules joined across the column gaps, a rule between records, the totals
  // boxed and grid rules on every column.
  void CellView();
  bool cellView() const { return cellView_; }

  // Runs the report over the records of `area` from its current record, in its
  // controlling order: a record is printed when `forCondition` holds, and
  // reading goes on while `whileCondition` holds (defaults: every record, to
  // the end). False when the report produced nothing because the user did not
  // want a report wider than the page.
  bool Activate(store::WorkArea& area, const std::function<bool()>& forCondition = {},
                const std::function<bool()>& whileCondition = {});

 private:
  struct Layout;
  PageCanvas& job_;
  ui::UiPort& ui_;
  bool cellView_ = false;
};

// The declaration of a report, in the order of the calls: RPTBEGIN, then
// columns and groups, then RPTEND.
struct ReportHeading {
  std::vector<TextProducer> titleLines;   // empty: one empty line
  std::vector<TextProducer> headerLines;  // empty: one empty line
  std::vector<TextProducer> footerLines;  // empty: one empty line
  std::vector<PrintFont> fonts;           // empty: Arial 10
  std::vector<PrintPen> pens;             // empty: one pen of width 1
  std::string documentName;
  std::string titleAlign = "CENTER";
  std::string headerAlign = "LEFT";
  std::string footerAlign = "LEFT";
};
std::unique_ptr<TReport> RPTBEGIN(PageCanvas& job, ui::UiPort& ui, ReportHeading heading);
TRColumn& RPTADDCOLUMN(TReport& report, TRColumn column);
TRGroup& RPTADDGROUP(TReport& report, TRGroup group);
TReport& RPTEND(TReport& report);

}  // namespace canalix::output
