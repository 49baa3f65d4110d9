// The pages the preview prints; see print_pages_dialog.h.
#include "output/print_pages_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "output/page_printer_qt.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_port.h"

namespace canalix::output {
namespace {

constexpr int kRefuseHz = 880;
constexpr int kRefuseMs = 120;

QString printerLine() {
  const std::string name = NOMBREIMPRESORA();
  return QStringLiteral("Imprimir en la impresora ") + ui::toQt(name);
}

}  // namespace

PrintPagesDialog::PrintPagesDialog(int count, int current, ui::UiPort& ui, QWidget* parent)
    : QDialog(parent), count_(count), current_(current), ui_(ui), chosen_{1, count} {
  setWindowTitle(QStringLiteral("Imprimir"));

  auto* group = new QGroupBox(QStringLiteral("Páginas"));
  all_ = new QRadioButton(QStringLiteral("&Todas (%1)").arg(count));
  currentPage_ = new QRadioButton(QStringLiteral("Página &actual (%1)").arg(current));
  range_ = new QRadioButton(QStringLiteral("&Desde"));
  from_ = new QSpinBox;
  to_ = new QSpinBox;
  for (QSpinBox* box : {from_, to_}) {
    box->setRange(0, 99999);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setMinimumWidth(60);
  }
  from_->setValue(1);
  to_->setValue(count);
  all_->setChecked(true);

  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(range_);
  rangeRow->addWidget(from_);
  rangeRow->addWidget(new QLabel(QStringLiteral("hasta")));
  rangeRow->addWidget(to_);
  rangeRow->addStretch();
  auto* pages = new QVBoxLayout(group);
  pages->addWidget(all_);
  pages->addWidget(currentPage_);
  pages->addLayout(rangeRow);

  printer_ = new QLabel(printerLine());
  auto* change = new QPushButton(QStringLiteral("&Impresora..."));
  connect(change, &QPushButton::clicked, this, &PrintPagesDialog::choosePrinter);
  auto* printerRow = new QHBoxLayout;
  printerRow->addWidget(printer_, 1);
  printerRow->addWidget(change);

  auto* buttons = new QDialogButtonBox;
  buttons->addButton(QStringLiteral("&Imprimir"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &PrintPagesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PrintPagesDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(printerRow);
  layout->addWidget(buttons);

  for (QRadioButton* b : {all_, currentPage_, range_}) {
    connect(b, &QRadioButton::toggled, this, &PrintPagesDialog::updateFields);
  }
  updateFields();
}

void PrintPagesDialog::updateFields() {
  from_->setEnabled(range_->isChecked());
  to_->setEnabled(range_->isChecked());
}

void PrintPagesDialog::chooseRange(int from, int to) {
  range_->setChecked(true);
  from_->setValue(from);
  to_->setValue(to);
}

void PrintPagesDialog::choosePrinter() {
  PRINTERSETUP(this);
  printer_->setText(printerLine());
}

void PrintPagesDialog::accept() {
  if (all_->isChecked()) {
    chosen_ = {1, count_};
  } else if (currentPage_->isChecked()) {
    chosen_ = {current_, current_};
  } else {
    const std::optional<PageRange> range = validPageRange(from_->value(), to_->value(), count_);
    if (!range) {
      ui_.tone(kRefuseHz, kRefuseMs);
      (from_->value() < 1 || from_->value() > count_ ? from_ : to_)->setFocus();
      return;
    }
    chosen_ = *range;
  }
  QDialog::accept();
}

}  // namespace canalix::output
