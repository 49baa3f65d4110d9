// AboutDialog: pointer-sensitive labels that turn blue under the pointer and
// sound when it enters them; the title closes the box, the links open the web
// page and a new mail through the desktop.
#include "shell/about_dialog.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>

#include "ui/qt/bitmap_icons.h"
#include "ui/qt/qt_text.h"

namespace canalix::shell {
namespace {

const char* const kBlue = "rgb(0, 0, 255)";

// The system sounds of the box, played as short tones through the port.
constexpr int kSelectHz = 1200, kDeselectHz = 600, kSoundMs = 40;

// A bold label with its own colour that turns blue under the pointer, sounds
// on entering and runs `onClick` when clicked.
class HoverLabel : public QLabel {
 public:
  HoverLabel(const QString& text, const QString& colour, std::function<void()> onEnter,
             std::function<void()> onClick, QWidget* parent)
      : QLabel(text, parent), colour_(colour), onEnter_(std::move(onEnter)), onClick_(std::move(onClick)) {
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
    paint(colour_);
  }

 protected:
  void enterEvent(QEnterEvent* event) override {
    paint(QString::fromLatin1(kBlue));
    onEnter_();
    QLabel::enterEvent(event);
  }
  void leaveEvent(QEvent* event) override {
    paint(colour_);
    QLabel::leaveEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) onClick_();
    QLabel::mouseReleaseEvent(event);
  }

 private:
  void paint(const QString& colour) {
    setStyleSheet("QLabel { font-weight: bold; background: transparent; color: " + colour + "; }");
  }

  QString colour_;
  std::function<void()> onEnter_;
  std::function<void()> onClick_;
};

QPushButton* makeExitButton(const QIcon& icon, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(icon, text, parent);
  button->setToolTip(QStringLiteral(" Salir "));
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

}  // namespace

AboutDialog::AboutDialog(ui::UiPort& ui, const QString& title, const QString& programTitle, QWidget* parent)
    : QDialog(parent), ui_(ui) {
  setWindowTitle(title);
  setModal(true);
  setMinimumWidth(380);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->setSpacing(10);

  auto* picture = new QLabel(this);
  picture->setPixmap(ui::bitmapIcon("CANALIX").pixmap(64, 64));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture);

  title_ = new HoverLabel(
      programTitle, QStringLiteral("rgb(128, 0, 0)"), [this] { ui_.tone(kDeselectHz, kSoundMs); },
      [this] { accept(); }, this);
  layout->addWidget(title_);

  // The links are white on transparent, so they stand on a dark band.
  auto* band = new QWidget(this);
  band->setObjectName(QStringLiteral("aboutBand"));
  band->setAttribute(Qt::WA_StyledBackground);
  band->setStyleSheet(QStringLiteral("#aboutBand { background: rgb(0, 64, 96); border-radius: 4px; }"));
  auto* bandLayout = new QVBoxLayout(band);
  bandLayout->setContentsMargins(12, 10, 12, 10);
  const QString web = ui::toQt(kMakerWeb);
  const QString mail = ui::toQt(kMakerMail);
  web_ = new HoverLabel(
      web, QStringLiteral("white"), [this] { ui_.tone(kSelectHz, kSoundMs); },
      [web] { QDesktopServices::openUrl(QUrl(web)); }, band);
  mail_ = new HoverLabel(
      mail, QStringLiteral("white"), [this] { ui_.tone(kSelectHz, kSoundMs); },
      [mail] { QDesktopServices::openUrl(QUrl("MailTo:" + mail)); }, band);
  bandLayout->addWidget(web_);
  bandLayout->addWidget(mail_);
  layout->addWidget(band);

  auto* buttons = new QHBoxLayout;
  home_ = makeExitButton(ui::bitmapIcon("CASA"), QString(), this);
  home_->setObjectName(QStringLiteral("aboutHome"));
  exit_ = makeExitButton(ui::bitmapIcon("SALIR"), QStringLiteral("    Salir"), this);
  exit_->setObjectName(QStringLiteral("aboutExit"));
  exit_->setDefault(true);
  buttons->addWidget(home_);
  buttons->addStretch(1);
  buttons->addWidget(exit_);
  layout->addLayout(buttons);
  connect(home_, &QPushButton::clicked, this, &QDialog::accept);
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

void ACERCADE(ui::UiPort& ui, const QString& title, const QString& programTitle, QWidget* parent) {
  AboutDialog dialog(ui, title, programTitle, parent);
  dialog.exec();
}

}  // namespace canalix::shell
