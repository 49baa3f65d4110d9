// The page printer: a print job on which the listings draw pages item by item
// (TPrinter), the pages a preview job records, and their output to a printer
// or a PDF file.
//
// A direct job draws on the default printer: the first StartPage opens the
// device's job under the document name and every StartPage/EndPage pair is one
// sheet. A preview job records each page as a picture file (QPicture) in the
// temporary folder (TMPDIR, else /tmp) and, at PRINTEND, hands the recorded job
// to the preview window, which deletes the files when it closes. With no printer
// installed a preview job records on a virtual A4 device (page_geometry.h), so the
// preview and the PDF still work; a direct job says so once and draws nothing.
#pragma once

#include <QPageLayout>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/page_canvas.h"

class QPainter;
class QPicture;
class QPrinter;
class QRectF;
class QWidget;

namespace canalix::ui {
class UiPort;
}

namespace canalix::output {

// One recorded page: its picture file and the geometry it was drawn on.
struct RecordedPage {
  std::filesystem::path file;
  PageGeometry geometry;
};

// The pages of a preview job. Owns their files: they are deleted with it.
class RecordedJob {
 public:
  explicit RecordedJob(std::string documentName = {}) : documentName_(std::move(documentName)) {}
  RecordedJob(RecordedJob&& other) noexcept;
  RecordedJob& operator=(RecordedJob&& other) noexcept;
  RecordedJob(const RecordedJob&) = delete;
  RecordedJob& operator=(const RecordedJob&) = delete;
  ~RecordedJob() { clear(); }

  const std::string& documentName() const { return documentName_; }
  const std::vector<RecordedPage>& pages() const { return pages_; }
  int pageCount() const { return int(pages_.size()); }
  bool empty() const { return pages_.empty(); }
  void add(RecordedPage page) { pages_.push_back(std::move(page)); }
  // Deletes every page file and forgets the pages.
  void clear();

 private:
  std::string documentName_;
  std::vector<RecordedPage> pages_;
};

// Draws `page` so that its whole sheet fills `sheet` (painter coordinates); what
// lies outside the page's printable area is cut, as on paper.
void drawRecordedPage(QPainter& painter, const RecordedPage& page, const QRectF& sheet);
// The same for a page already loaded.
void drawRecordedPage(QPainter& painter, const QPicture& picture, const PageGeometry& geometry,
                      const QRectF& sheet);

// Writes pages from..to (1-based, inclusive; all when to is 0) of `job` to a PDF
// file, each page on a sheet of its own size. False when the file cannot be written.
bool writePdf(const RecordedJob& job, const std::filesystem::path& file, int from = 1, int to = 0);

// Prints pages from..to of `job` on `printer` as one document named after the job.
// False when the printer cannot start.
bool printRecordedPages(const RecordedJob& job, QPrinter& printer, int from, int to);

// The printers of this process.
// True when the system has at least one printer.
bool printersInstalled();
// The printer later jobs use: the one chosen in PRINTERSETUP, else the system's default,
// else the first installed; empty when there is none.
QString defaultPrinterName();
// Tests: behave as if no printer were installed (true) or as the system is (false).
void simulateNoPrinters(bool none);

// The system's printer set-up dialog; the printer and orientation chosen become
// the default of later jobs of this process.
void PRINTERSETUP(QWidget* parent = nullptr);
// The default printer's name, make and model, and location, joined by commas
// (those Qt knows); empty when there is no printer.
std::string NOMBREIMPRESORA();

// What the system says when a direct job finds no printer.
inline constexpr const char* kNoPrinterText =
    "There are no printers installed!\r\nPlease exit this application and install a printer.";

class TPrinter : public PageCanvas {
 public:
  // Where PRINTEND sends a preview job with at least one page; by default the
  // preview window (RPREVIEW).
  using PreviewSink = std::function<void(RecordedJob&& job, bool modal)>;

  explicit TPrinter(ui::UiPort& ui);
  // Ends a job still running, as PRINTEND would but without a preview.
  ~TPrinter() override;

  // Starts a job named `document`. `askUser` shows the printer set-up first;
  // `printer` names a printer other than the default (empty: the default);
  // `preview` records the pages for the preview, shown `modal` or beside the
  // application; `selection` is accepted and ignored (listings print whole).
  // False when the job draws nothing (no printer for a direct job).
  bool PRINTBEGIN(const std::string& document, bool askUser = false, bool preview = false,
                  const std::string& printer = {}, bool modal = false, bool selection = false);
  // The sheet size in tenths of a millimetre, width by length (2100 x 2970 is A4).
  void SetSize(int widthTenthsMm, int lengthTenthsMm);
  void SetLandscape();
  void SetPortrait();

  void StartPage() override;
  void EndPage() override;
  void Say(int row, int col, std::string_view text, const PrintFont* font = nullptr, int width = 0,
           int colour = kBlack, int bkMode = kTransparent, int align = 0) override;
  void Line(int top, int left, int bottom, int right, const PrintPen* pen = nullptr) override;
  void Box(int top, int left, int bottom, int right, const PrintPen* pen = nullptr) override;
  void FillRect(const PixelRect& rect, const PrintBrush& brush) override;
  void SayBitmap(int row, int col, std::string_view image, int width, int height) override;

  // Ends the job: a preview job with pages goes to the preview sink; the
  // recorded files of a job nobody keeps are deleted; the orientation of the
  // job's start is restored and the device released.
  void PRINTEND();

  void setPreviewSink(PreviewSink sink) { previewSink_ = std::move(sink); }
  // Tests and the command line: record on this geometry instead of the printer's.
  void useGeometry(const PageGeometry& geometry);

  const PageGeometry& geometry() const override { return geometry_; }
  const std::string& documentName() const { return documentName_; }
  bool preview() const { return preview_; }
  bool started() const { return started_; }
  int page() const { return page_; }
  const RecordedJob& recorded() const { return recorded_; }

 private:
  struct Device;

  QPainter* painter();  // the open page's painter; null when nothing may be drawn
  void readGeometry();
  void finishPage();

  ui::UiPort& ui_;
  std::unique_ptr<Device> device_;
  PreviewSink previewSink_;
  std::string documentName_;
  bool preview_ = false;
  bool modal_ = false;
  bool started_ = false;
  bool dead_ = false;  // a direct job without printer: draws nothing
  int page_ = 0;
  QPageLayout::Orientation startOrientation_ = QPageLayout::Portrait;
  QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
  int widthTenthsMm_ = kA4WidthTenthsMm;
  int lengthTenthsMm_ = kA4LengthTenthsMm;
  bool fixedGeometry_ = false;
  PageGeometry geometry_;
  RecordedJob recorded_;
};

}  // namespace canalix::output
