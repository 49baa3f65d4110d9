// QtPort: the UI port over QMessageBox, QProgressDialog, QFileDialog and the
// desktop's sound player.
#include "ui/qt/qt_port.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QToolTip>
#include <algorithm>

#include "ui/qt/qt_text.h"
#include "ui/tone_wave.h"

namespace canalix::ui {

QtPort::~QtPort() { delete progress_; }

QWidget* boxParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

QString boxText(std::string_view text) {
  QStringList lines;
  for (const std::string& line : boxLines(text)) lines << toQt(line);
  return lines.join(QChar('\n'));
}

QString fileDialogFilter(const std::vector<FileFilter>& filters) {
  QStringList entries;
  for (const FileFilter& f : filters) {
    const QString pattern = toQt(f.pattern);
    QStringList variants{pattern};
    if (pattern.toLower() != pattern) variants << pattern.toLower();
    if (pattern.toUpper() != pattern) variants << pattern.toUpper();
    entries << toQt(f.description) + " (" + variants.join(' ') + ")";
  }
  return entries.join(";;");
}

namespace {

// Lines break only where the text breaks them: the label is made as wide as
// the longest line, so that the box's own wrapping never breaks one.
void keepLines(QMessageBox& box) {
  box.setTextFormat(Qt::PlainText);
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  int widest = 0;
  for (const QString& line : box.text().split(QChar('\n'))) {
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
  }
  constexpr int kWidestBox = 1200;
  label->setMinimumWidth(std::min(widest + 8, kWidestBox));
}

}  // namespace

void QtPort::showBox(BoxKind kind, std::string_view text, std::string_view title) {
  const QMessageBox::Icon icon = kind == BoxKind::kStop    ? QMessageBox::Critical
                                 : kind == BoxKind::kAlert ? QMessageBox::Warning
                                                           : QMessageBox::Information;
  QMessageBox box(icon, toQt(boxTitle(kind, title)), boxText(text), QMessageBox::NoButton, boxParent());
  keepLines(box);
  QPushButton* ok = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

void QtPort::info(std::string_view text, std::string_view title) { showBox(BoxKind::kInfo, text, title); }
void QtPort::stop(std::string_view text, std::string_view title) { showBox(BoxKind::kStop, text, title); }
void QtPort::alert(std::string_view text, std::string_view title) { showBox(BoxKind::kAlert, text, title); }

bool QtPort::yesNo(std::string_view text, std::string_view title, DefaultAnswer defaultAnswer) {
  QMessageBox box(QMessageBox::Question, toQt(boxTitle(BoxKind::kQuestion, title)), boxText(text),
                  QMessageBox::NoButton, boxParent());
  keepLines(box);
  QPushButton* yes = box.addButton(QString::fromUtf8("&Sí"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(defaultAnswer == DefaultAnswer::kYes ? yes : no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

namespace {

// The first sound player of the desktop found on PATH, empty when none.
QString soundPlayer() {
  for (const char* name : {"paplay", "pw-play", "aplay"}) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found;
  }
  return {};
}

bool playWave(const QString& player, int hertz, int milliseconds) {
  QTemporaryFile file(QDir::tempPath() + "/canalix-tone-XXXXXX.wav");
  if (!file.open()) return false;
  const std::string wave = toneWave(hertz, milliseconds);
  file.write(wave.data(), qint64(wave.size()));
  file.close();
  QProcess process;
  QStringList args{file.fileName()};
  if (player.endsWith("aplay")) args.prepend("-q");
  process.start(player, args);
  if (!process.waitForFinished(milliseconds + 2000)) {
    process.kill();
    process.waitForFinished(500);
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

void QtPort::tone(int hertz, int milliseconds) {
  static const QString player = soundPlayer();
  if (!player.isEmpty() && playWave(player, hertz, milliseconds)) return;
  QApplication::beep();
  QThread::msleep(static_cast<unsigned long>(std::max(0, milliseconds)));
}

void QtPort::notice(std::string_view text) {
  if (noticeSink_) {
    noticeSink_(toQt(text));
    return;
  }
  QWidget* over = boxParent();
  const QPoint at = over ? over->mapToGlobal(over->rect().center()) : QPoint();
  QToolTip::showText(at, toQt(text), over, QRect(), 4000);
}

void QtPort::progressBegin(std::string_view title, std::string_view text, int maximum) {
  delete progress_;
  progress_ = new QProgressDialog(toQt(text), QString(), 0, maximum, boxParent());
  progress_->setWindowTitle(toQt(title));
  progress_->setWindowModality(Qt::ApplicationModal);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setValue(0);
  QApplication::processEvents();
}

void QtPort::progressStep(int value, std::string_view text) {
  if (!progress_) return;
  if (!text.empty()) progress_->setLabelText(toQt(text));
  progress_->setValue(value);
  QApplication::processEvents();
}

void QtPort::progressEnd() {
  delete progress_;
  progress_ = nullptr;
}

std::optional<std::filesystem::path> QtPort::openFile(std::string_view title,
                                                      const std::filesystem::path& folder,
                                                      const std::vector<FileFilter>& filters) {
  const QString chosen =
      QFileDialog::getOpenFileName(boxParent(), toQt(title), pathToQt(folder), fileDialogFilter(filters));
  if (chosen.isEmpty()) return std::nullopt;
  return pathFromQt(chosen);
}

std::optional<std::filesystem::path> QtPort::saveFile(std::string_view title,
                                                      const std::filesystem::path& suggested,
                                                      const std::vector<FileFilter>& filters) {
  const QString chosen =
      QFileDialog::getSaveFileName(boxParent(), toQt(title), pathToQt(suggested), fileDialogFilter(filters));
  if (chosen.isEmpty()) return std::nullopt;
  return pathFromQt(chosen);
}

std::optional<std::filesystem::path> QtPort::chooseFolder(std::string_view title,
                                                          const std::filesystem::path& start) {
  const QString chosen = QFileDialog::getExistingDirectory(boxParent(), toQt(title), pathToQt(start));
  if (chosen.isEmpty()) return std::nullopt;
  return pathFromQt(chosen);
}

}  // namespace canalix::ui
