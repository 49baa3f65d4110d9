// EngineError: the engine's one error type and the Spanish descriptions of its
// general codes, as the error report shows them.
#include "store/engine_error.h"

namespace canalix::store {

namespace {

const char* describe(int genCode) {
  switch (genCode) {
    case 14: return "Campo inexistente";
    case 15: return "Alias inexistente";
    case 16: return "Alias en uso";
    case 20: return "Error de creación";
    case 21: return "Error de apertura";
    case 23: return "Error de lectura";
    case 24: return "Error de escritura";
    case 32: return "Corrupción detectada";
    case 33: return "Tipo de dato incorrecto";
    case 34: return "Anchura de dato excedida";
    case 37: return "Se requiere uso exclusivo";
    case 38: return "Registro no bloqueado";
    case 39: return "Tabla de solo lectura";
    case 40: return "No se puede bloquear el registro añadido";
    case 41: return "No se puede bloquear el índice";
    default: return "Error del motor de tablas";
  }
}

std::string composeMessage(int genCode, int subCode, const std::string& operation, const std::string& file,
                           const std::string& detail) {
  std::string m = describe(genCode);
  m += " (" + std::to_string(genCode) + "/" + std::to_string(subCode) + ")";
  if (!operation.empty()) m += " en " + operation;
  if (!file.empty()) m += ": " + file;
  if (!detail.empty()) m += " - " + detail;
  return m;
}

}  // namespace

EngineError::EngineError(int genCode, int subCode, std::string operation, std::string file, std::string detail)
    : std::runtime_error(composeMessage(genCode, subCode, operation, file, detail)),
      genCode_(genCode),
      subCode_(subCode),
      operation_(std::move(operation)),
      file_(std::move(file)),
      detail_(std::move(detail)) {}

std::string EngineError::description() const { return describe(genCode_); }

}  // namespace canalix::store
