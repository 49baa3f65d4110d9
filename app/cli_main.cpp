// canalix-cli: the headless companion of canalix over the same data directory.
// One table of verbs; a missing or unknown verb prints the usage and exits 2.
// An engine error that escapes a verb prints the error report and exits 1.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli/bank_verbs.h"
#include "cli/cli_verbs.h"
#include "store/engine_error.h"

namespace {

using canalix::cli::Args;

struct Verb {
  std::string_view name;
  std::string_view synopsis;
  int (*run)(const Args&);
};

constexpr Verb kVerbs[] = {
    {"init", "init DIRECTORIO          crea en DIRECTORIO las tablas que falten", canalix::cli::initVerb},
    {"dump", "dump DIRECTORIO TABLA    vuelca los registros de TABLA como texto delimitado",
     canalix::cli::dumpVerb},
    {"reorganize", "reorganize DIRECTORIO    reorganiza todas las tablas y reconstruye sus índices",
     canalix::cli::reorganizeVerb},
    {"check", "check DIRECTORIO TABLA   comprueba el índice de TABLA contra sus registros", canalix::cli::checkVerb},
    {"iban", "iban CCC                 IBAN de una cuenta de 20 dígitos", canalix::cli::ibanVerb},
    {"ccc", "ccc DIGITOS18            cuenta de 20 dígitos con sus dígitos de control", canalix::cli::cccVerb},
    {"dni", "dni NUMERO TIPO          comprueba un documento (1 NIF, 2 pasaporte, 3 NIE, 4 CIF)",
     canalix::cli::dniVerb},
    {"creditor-id", "creditor-id CODIGO NIF   identificador SEPA del acreedor (35 caracteres)",
     canalix::cli::creditorIdVerb},
};

int usage() {
  std::fputs("Uso: canalix-cli ORDEN ARGUMENTOS...\nÓrdenes:\n", stderr);
  for (const Verb& v : kVerbs) std::fprintf(stderr, "  %.*s\n", int(v.synopsis.size()), v.synopsis.data());
  return 2;
}

void report(const canalix::store::EngineError& e) {
  std::fprintf(stderr, "Error %d/%d: %s\n", e.genCode(), e.subCode(), e.description().c_str());
  if (!e.detail().empty()) std::fprintf(stderr, "Detalle: %s\n", e.detail().c_str());
  std::fprintf(stderr, "Operación: %s\nArchivo: %s\n", e.operation().c_str(), e.file().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view name = argv[1];
  const Args args(argv + 2, argv + argc);
  for (const Verb& v : kVerbs) {
    if (v.name != name) continue;
    try {
      return v.run(args);
    } catch (const canalix::store::EngineError& e) {
      report(e);
      return 1;
    } catch (const std::exception& e) {
      return canalix::cli::fail(e.what());
    }
  }
  std::fprintf(stderr, "canalix-cli: orden desconocida: %s\n", argv[1]);
  return usage();
}
