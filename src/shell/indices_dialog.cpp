// IndicesDialog: the picture, the warning, the progress text and bar of the
// reorganisation, and the three buttons of which only some are shown at a
// time: Aceptar and Cancelar before the reorganisation, Salir after it.
//
// The reorganisation runs on the windows' own thread; the progress callback
// repaints the dialog as it goes without taking the user's clicks or keys.
// An error of the reorganisation is kept and the dialog closed, so that it
// reaches the caller through ordinary code rather than through Qt's handlers.
#include "shell/indices_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt/bitmap_icons.h"
#include "ui/qt/qt_text.h"

namespace canalix::shell {
namespace {

// The opening sound: two tones of one clock tick each.
constexpr int kOpenHighHz = 4000, kOpenLowHz = 3000, kClockTickMs = 55;
constexpr int kPictureSize = 48;

// The wait cursor for the life of the object.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QPushButton* makeButton(const QIcon& icon, std::string_view text, std::string_view tooltip,
                        const char* objectName, QWidget* parent) {
  auto* button = new QPushButton(icon, ui::toQt(text), parent);
  button->setToolTip(ui::toQt(tooltip));
  button->setObjectName(QString::fromLatin1(objectName));
  button->setCursor(Qt::PointingHandCursor);
  button->setAutoDefault(false);  // Enter gives the default button only
  return button;
}

QLabel* plainLabel(const QString& text, const char* objectName, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);  // the message's double blanks stay
  label->setObjectName(QString::fromLatin1(objectName));
  return label;
}

}  // namespace

IndicesDialog::IndicesDialog(ui::UiPort& ui, store::Workspace& ws, store::DataDirLock& lock, bool automatic,
                             const std::string& communityTitle, QWidget* parent)
    : QDialog(parent), ui_(ui), ws_(ws), lock_(lock), automatic_(automatic) {
  setWindowTitle(ui::toQt(kIndicesTitle));
  setModal(true);
  setMinimumWidth(500);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->setSpacing(10);

  auto* community = plainLabel(ui::toQt(communityTitle).trimmed(), "indicesCommunity", this);
  community->setAlignment(Qt::AlignCenter);
  community->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; color: rgb(128, 0, 0); }"));
  community->setVisible(!community->text().isEmpty());
  layout->addWidget(community);

  auto* top = new QHBoxLayout;
  top->setSpacing(14);
  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("indicesPicture"));
  picture->setPixmap(ui::bitmapIcon("ORGANIZA").pixmap(kPictureSize, kPictureSize));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  top->addWidget(picture);
  auto* texts = new QVBoxLayout;
  auto* heading = plainLabel(ui::toQt(automatic ? kIndicesAutomaticHeading : kIndicesAskingHeading),
                             "indicesHeading", this);
  heading->setStyleSheet(automatic ? QStringLiteral("QLabel { font-weight: bold; font-size: 14pt; }")
                                   : QStringLiteral("QLabel { font-weight: bold; font-size: 14pt; "
                                                    "color: rgb(192, 0, 0); }"));
  texts->addWidget(heading);
  auto* message = plainLabel(ui::toQt(automatic ? kIndicesAutomaticMessage : kIndicesAskingMessage),
                             "indicesMessage", this);
  message->setWordWrap(true);
  texts->addWidget(message);
  texts->addStretch(1);
  top->addLayout(texts, 1);
  layout->addLayout(top);

  progressText_ = plainLabel(QString(), "indicesProgressText", this);
  progressText_->setStyleSheet(QStringLiteral("QLabel { color: rgb(0, 0, 128); }"));
  progressText_->setMinimumHeight(progressText_->fontMetrics().height());
  layout->addWidget(progressText_);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("indicesBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  layout->addWidget(bar_);

  buildButtons(layout);
}

IndicesDialog::~IndicesDialog() = default;

void IndicesDialog::buildButtons(QVBoxLayout* layout) {
  QStyle* style = QApplication::style();
  accept_ = makeButton(style->standardIcon(QStyle::SP_DialogOkButton), "    Aceptar",
                       "Comenzar la reorganización de archivos", "indicesAccept", this);
  cancel_ = makeButton(style->standardIcon(QStyle::SP_DialogCancelButton), "    Cancelar",
                       "Cancelar el proceso", "indicesCancel", this);
  exit_ = makeButton(ui::bitmapIcon("SALIR"), "    Salir", " Salir ", "indicesExit", this);
  exit_->setEnabled(!automatic_);
  exit_->hide();
  // The reorganisation is heavy: Enter cancels.
  cancel_->setDefault(true);

  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  row->addStretch(1);
  row->addWidget(accept_);
  row->addWidget(cancel_);
  row->addWidget(exit_);
  layout->addLayout(row);
  connect(accept_, &QPushButton::clicked, this, &IndicesDialog::reorganise);
  connect(cancel_, &QPushButton::clicked, this, &IndicesDialog::reject);
  connect(exit_, &QPushButton::clicked, this, &IndicesDialog::accept);
}

void IndicesDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (opened_) return;
  opened_ = true;
  {
    WaitCursor wait;
    ui_.tone(kOpenHighHz, kClockTickMs);
    ui_.tone(kOpenLowHz, kClockTickMs);
  }
  if (!automatic_) {
    cancel_->setFocus();
    return;
  }
  showExitOnly();
  QTimer::singleShot(0, this, [this] {
    reorganise();
    if (!error_) accept();
  });
}

void IndicesDialog::reorganise() {
  if (running_ || result_.done) return;
  running_ = true;
  accept_->setEnabled(false);  // nothing but the progress may seem to answer while it runs
  cancel_->setEnabled(false);
  {
    WaitCursor wait;
    store::ReorgOptions options;
    options.today = store::today();
    options.progress = [this](const store::ReorgProgress& p) { showProgress(p); };
    try {
      result_ = store::INDEXAYA(ws_, lock_, options);
    } catch (...) {
      error_ = std::current_exception();
    }
  }
  running_ = false;
  showExitOnly();
  if (error_) {
    done(QDialog::Rejected);
    return;
  }
  // At start-up the program itself says that the reorganisation is postponed.
  if (!result_.done && !automatic_) ui_.stop(store::refusalMessage(result_));
}

void IndicesDialog::reject() {
  if (!running_) QDialog::reject();
}

void IndicesDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void IndicesDialog::showProgress(const store::ReorgProgress& progress) {
  progressText_->setText(ui::toQt(progress.text));
  bar_->setValue(progress.percent);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void IndicesDialog::showExitOnly() {
  accept_->hide();
  cancel_->hide();
  cancel_->setDefault(false);
  exit_->show();
  if (exit_->isEnabled()) {
    exit_->setDefault(true);
    exit_->setFocus();
  }
}

store::ReorgResult INDICES(QWidget* parent, ui::UiPort& ui, store::Workspace& ws, store::DataDirLock& lock,
                           bool automatic, const std::string& communityTitle) {
  IndicesDialog dialog(ui, ws, lock, automatic, communityTitle, parent);
  dialog.exec();
  if (dialog.error()) std::rethrow_exception(dialog.error());
  return dialog.reorgResult();
}

}  // namespace canalix::shell
