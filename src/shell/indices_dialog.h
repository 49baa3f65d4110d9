// INDICES: the dialog of the reorganisation of the data files. Asked for from
// the main window it warns that no other copy may be working and waits for
// Aceptar; at start-up (automatic mode) it runs the reorganisation as soon as
// it is shown and closes itself.
#pragma once

#include <QDialog>
#include <exception>
#include <string>
#include <string_view>

#include "store/data_dir_lock.h"
#include "store/reorganisation.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace canalix::shell {

inline constexpr std::string_view kIndicesTitle = "Reorganizar archivos de CANALIX";
inline constexpr std::string_view kIndicesAutomaticHeading = "REORGANIZACION AUTOMATICA";
inline constexpr std::string_view kIndicesAutomaticMessage = "Por favor........., espere......";
inline constexpr std::string_view kIndicesAskingHeading = "¡PRECAUCION!";
inline constexpr std::string_view kIndicesAskingMessage =
    "Para realizar  este proceso  se requiere que no  existan otros usuarios trabajando en el sistema. "
    "Verifique y confirme la ejecución.";

class IndicesDialog : public QDialog {
  Q_OBJECT

 public:
  // `ws` and `lock` are the program's workspace and data-directory lock, both
  // in use again when the dialog closes. `communityTitle` is UTF-8.
  IndicesDialog(ui::UiPort& ui, store::Workspace& ws, store::DataDirLock& lock, bool automatic,
                const std::string& communityTitle, QWidget* parent = nullptr);
  ~IndicesDialog() override;

  // What the reorganisation did; not done when it has not run.
  const store::ReorgResult& reorgResult() const { return result_; }
  // The error that stopped the reorganisation; null when none did.
  std::exception_ptr error() const { return error_; }

 public slots:
  // Aceptar: runs the reorganisation, showing its progress.
  void reorganise();
  // Cancelar and Escape; refused while the reorganisation runs.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildButtons(QVBoxLayout* layout);
  void showProgress(const store::ReorgProgress& progress);
  void showExitOnly();

  ui::UiPort& ui_;
  store::Workspace& ws_;
  store::DataDirLock& lock_;
  const bool automatic_;
  QLabel* progressText_;
  QProgressBar* bar_;
  QPushButton* accept_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* exit_ = nullptr;
  bool opened_ = false;
  bool running_ = false;
  store::ReorgResult result_;
  std::exception_ptr error_;
};

// Shows the dialog over `parent` and returns what the reorganisation did once
// it closes. An error of the reorganisation is thrown again here, after the
// dialog has closed, for the general error handler.
store::ReorgResult INDICES(QWidget* parent, ui::UiPort& ui, store::Workspace& ws, store::DataDirLock& lock,
                           bool automatic, const std::string& communityTitle);

}  // namespace canalix::shell
