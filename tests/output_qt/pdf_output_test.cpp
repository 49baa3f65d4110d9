// A job written as a PDF file and read back with poppler's tools, the way the
// command line and a person check a printout.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "output/page_printer_qt.h"
#include "print_job.h"

namespace canalix::output {
namespace {

QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(30000)) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

// A listing page as the callers draw it: a title, a grey header band in a box,
// rows with amounts aligned on their right edge, a rule and the page number.
void drawSamplePage(TPrinter& job, int page, int pages) {
  const PrintFont title{"Arial", 14, true, false};
  const PrintFont body{"Arial", 10, false, false};
  const PrintFont small{"Arial", 8, false, true};
  const PrintPen thick{5};
  const PrintPen medium{3};
  const PrintBrush grey{kLightGrey};
  job.StartPage();
  job.CmSay(1.5, 10.5, "COMUNIDAD DE REGANTES DEL CANAL", &title, 0, kBlack, kTransparent, 2);
  job.CmSay(2.4, 10.5, "Listado de recibos de agua", &body, 0, kBlack, kTransparent, 2);
  CAJA(3.5, 1.5, 4.3, 19.5, job, 1, &grey);
  CAJA(3.5, 1.5, 12.0, 19.5, job, 0, nullptr, &medium);
  // The box painted its inside white: the header band goes over it again.
  CAJA(3.55, 1.55, 4.3, 19.45, job, 1, &grey);
  job.CmSay(3.7, 2, "Socio", &body);
  job.CmSay(3.7, 8, "Parcela", &body);
  job.CmSay(3.7, 19, "Importe", &body, 0, kBlack, kTransparent, 1);
  LINEA(4.3, 1.5, 4.3, 19.5, job, &medium);
  for (int row = 0; row < 5; ++row) {
    const double at = 4.8 + row * 0.8;
    const int number = (page - 1) * 5 + row + 1;
    job.CmSay(at, 2, "Socio número " + std::to_string(number), &body);
    job.CmSay(at, 8, "Polígono 3, parcela " + std::to_string(100 + number), &body);
    job.CmSay(at, 19, std::to_string(10 * number) + ",50", &body, 0, kBlack, kTransparent, 1);
  }
  LINEA(12.5, 1.5, 12.5, 19.5, job, &thick);
  job.CmSay(13, 2, "Página " + std::to_string(page) + " de " + std::to_string(pages), &small);
  job.EndPage();
}

TEST(PdfOutput, ThreePageJobReadsBackWithItsTextsOnTheirPages) {
  testing::PreviewJob job("Listado de recibos", std::nullopt);
  for (int page = 1; page <= 3; ++page) drawSamplePage(job.printer, page, 3);
  RecordedJob& recorded = job.end();
  ASSERT_EQ(recorded.pageCount(), 3);

  QTemporaryDir dir;
  const QString pdf = dir.filePath("recibos.pdf");
  ASSERT_TRUE(writePdf(recorded, pdf.toStdString()));
  QDir().mkpath("/tmp/shots");
  QFile::remove("/tmp/shots/print-job.pdf");
  QFile::copy(pdf, "/tmp/shots/print-job.pdf");

  const QString info = run("pdfinfo", {pdf});
  EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+3"))) << info.toStdString();
  EXPECT_TRUE(info.contains("A4")) << info.toStdString();
  EXPECT_TRUE(info.contains("Listado de recibos")) << "the document's title";

  const QString text = run("pdftotext", {"-layout", pdf, "-"});
  QStringList pages = text.split(QLatin1Char('\f'));
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
  ASSERT_EQ(pages.size(), 3) << text.toStdString();
  for (int p = 1; p <= 3; ++p) {
    const QString& page = pages[p - 1];
    EXPECT_TRUE(page.contains("COMUNIDAD DE REGANTES DEL CANAL")) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Página %1 de 3").arg(p))) << page.toStdString();
    const int first = (p - 1) * 5 + 1;
    // One line of the table: the member, the parcel and the amount in their columns.
    const QRegularExpression row(QStringLiteral("Socio número %1\\s+Polígono 3, parcela %2\\s+%3,50")
                                     .arg(first)
                                     .arg(100 + first)
                                     .arg(10 * first));
    EXPECT_TRUE(page.contains(row)) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("Página %1 de 3").arg(p % 3 + 1)));
  }
  // The amounts end on one column: right-aligned at 19 cm.
  const QStringList lines = pages[0].split('\n');
  QList<int> ends;
  for (const QString& line : lines) {
    if (line.contains(",50")) ends << int(line.trimmed().size() + line.indexOf(line.trimmed()));
  }
  ASSERT_EQ(ends.size(), 5);
  for (int end : ends) EXPECT_EQ(end, ends.first());

  QDir().mkpath("/tmp/shots");
  run("pdftoppm", {"-png", "-r", "60", pdf, "/tmp/shots/print-job"});
  for (int p = 1; p <= 3; ++p) {
    EXPECT_TRUE(QFile::exists(QStringLiteral("/tmp/shots/print-job-%1.png").arg(p)));
  }
}

}  // namespace
}  // namespace canalix::output
