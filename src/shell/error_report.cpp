// The general error handler's report and its log.
#include "shell/error_report.h"

#include <cstdio>
#include <ctime>
#include <fstream>

#include "shell/session.h"
#include "store/engine_error.h"
#include "store/julian.h"

namespace canalix::shell {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string stamp() {
  int y = 0, m = 0, d = 0;
  store::ymdFromJulian(store::today().julian, y, m, d);
  char date[16];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", d, m, y);
  return std::string(date) + " " + timeText();
}

// Appends the report; false when the log cannot be written (the box says so).
bool appendToLog(const std::filesystem::path& log, const ErrorReport& report) {
  std::ofstream out(log, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << "==== " << stamp() << " " << kProgramTitle << "\n";
  std::string text = report.text();
  for (size_t at; (at = text.find(kCrLf)) != std::string::npos;) text.replace(at, kCrLf.size(), "\n");
  out << text << "\n\n";
  out.flush();
  return bool(out);
}

}  // namespace

std::string ErrorReport::text() const {
  std::string t = "Descripción: " + description;
  if (genCode != 0)
    t += std::string(kCrLf) + "Códigos: " + std::to_string(genCode) + "/" + std::to_string(subCode);
  if (!operation.empty()) t += std::string(kCrLf) + "Operación: " + operation;
  if (!file.empty()) t += std::string(kCrLf) + "Fichero: " + file;
  if (!detail.empty()) t += std::string(kCrLf) + "Detalle: " + detail;
  return t;
}

ErrorReport describeError(std::exception_ptr error) {
  ErrorReport report;
  try {
    std::rethrow_exception(error);
  } catch (const store::EngineError& e) {
    report = {e.description(), e.genCode(), e.subCode(), e.operation(), e.file(), e.detail()};
  } catch (const std::exception& e) {
    report.description = "Error interno";
    report.detail = e.what();
  } catch (...) {
    report.description = "Error interno";
    report.detail = "excepción desconocida";
  }
  return report;
}

int reportFatalError(ui::UiPort& ui, const std::filesystem::path& dataDir, std::exception_ptr error) {
  const ErrorReport report = describeError(error);
  const std::filesystem::path log = dataDir / std::string(kErrorLogName);
  std::string text = "Se ha producido un error y CANALIX debe terminar." + std::string(kCrLf) +
                     std::string(kCrLf) + report.text() + std::string(kCrLf) + std::string(kCrLf);
  if (appendToLog(log, report)) {
    text += "El error queda anotado en " + log.string();
  } else {
    text += "No se ha podido anotar el error en " + log.string();
  }
  ui.stop(text, kErrorTitle);
  return kErrorExitCode;
}

}  // namespace canalix::shell
