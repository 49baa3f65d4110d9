// The general error handler's report: an error no caller handled is shown
// through the UI port, appended to the error log of the data directory, and
// ends the program.
#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "ui/ui_port.h"

namespace canalix::shell {

inline constexpr std::string_view kErrorTitle = "Error de CANALIX";
inline constexpr std::string_view kErrorLogName = "CANALIX.LOG";
inline constexpr int kErrorExitCode = 1;

struct ErrorReport {
  std::string description;  // "Error de apertura", or "Error interno" for a non-engine error
  int genCode = 0;          // 0 when the error is not the engine's
  int subCode = 0;
  std::string operation;
  std::string file;
  std::string detail;  // for a non-engine error, its what()

  // The lines of the report joined by CR LF: description, codes, operation, file, detail.
  std::string text() const;
};

// The report of the error held by `error` (EngineError or any other exception).
ErrorReport describeError(std::exception_ptr error);

// Shows the report in a stop box and appends it, dated, to CANALIX.LOG in
// `dataDir`. Returns the exit code the program must end with.
int reportFatalError(ui::UiPort& ui, const std::filesystem::path& dataDir, std::exception_ptr error);

}  // namespace canalix::shell
