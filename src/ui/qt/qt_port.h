// The UI port shown with Qt: message boxes, questions, tones, notices,
// progress meter and file choosers over the active window.
#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <functional>

#include "ui/ui_port.h"

class QWidget;

namespace canalix::ui {

class QtPort : public UiPort {
 public:
  QtPort() = default;
  ~QtPort() override;

  // Where transient notices go (the main window's message bar); without it they
  // show as a tooltip over the active window.
  void setNoticeSink(std::function<void(const QString&)> sink) { noticeSink_ = std::move(sink); }

  void info(std::string_view text, std::string_view title = {}) override;
  void stop(std::string_view text, std::string_view title = {}) override;
  void alert(std::string_view text, std::string_view title = {}) override;
  bool yesNo(std::string_view text, std::string_view title = {},
             DefaultAnswer defaultAnswer = DefaultAnswer::kYes) override;
  void tone(int hertz, int milliseconds) override;
  void notice(std::string_view text) override;
  void progressBegin(std::string_view title, std::string_view text, int maximum) override;
  void progressStep(int value, std::string_view text) override;
  void progressEnd() override;
  std::optional<std::filesystem::path> openFile(std::string_view title, const std::filesystem::path& folder,
                                                const std::vector<FileFilter>& filters) override;
  std::optional<std::filesystem::path> saveFile(std::string_view title,
                                                const std::filesystem::path& suggested,
                                                const std::vector<FileFilter>& filters) override;
  std::optional<std::filesystem::path> chooseFolder(std::string_view title,
                                                    const std::filesystem::path& start) override;

 private:
  void showBox(BoxKind kind, std::string_view text, std::string_view title);

  std::function<void(const QString&)> noticeSink_;
  QPointer<QProgressDialog> progress_;
};

// The window boxes are shown over: the active modal dialog, else the active window.
QWidget* boxParent();

// The text a box shows for `text` (lines broken only at CR LF).
QString boxText(std::string_view text);

// The file dialog filter for `filters`, each pattern matched without regard to case.
QString fileDialogFilter(const std::vector<FileFilter>& filters);

}  // namespace canalix::ui
