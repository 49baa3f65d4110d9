// canalix-cli iban, ccc, dni and creditor-id, run as a user runs them.
#include <gtest/gtest.h>

#include <vector>

#include "cli/cli_run.h"

namespace canalix::members {
namespace {

using canalix::testing::cli;
using canalix::testing::run;
using canalix::testing::RunResult;

RunResult verb(const std::string& args) { return run(cli(args)); }

// Whether canalix-cli knows the four verbs at all; one failure says so.
bool verbsKnown() {
  for (const char* name : {"iban", "ccc", "dni", "creditor-id"}) {
    if (verb(name).err.find("orden desconocida") != std::string::npos) {
      ADD_FAILURE() << "canalix-cli has no verb " << name << " in its table";
      return false;
    }
  }
  return true;
}

struct VerbCase {
  const char* args;
  int exitCode;
  const char* out;  // stdout on success, stderr otherwise
};

TEST(BankVerbs, PrintResultsOrRefusals) {
  const std::vector<VerbCase> cases = {
      {"iban 21000418450200051332", 0, "ES9121000418450200051332\n"},
      {"iban '2100 0418 45 0200051332'", 0, "ES9121000418450200051332\n"},
      {"iban 2100-0813-61-0123456789", 0, "ES7921000813610123456789\n"},
      {"iban 21000418460200051332", 1, "El número de cuenta bancaria es incorrecto\n"},
      {"iban 2100041845020005133", 1, "El número de cuenta bancaria debe tener 20 dígitos\n"},
      {"iban ''", 1, "El número de cuenta bancaria debe tener 20 dígitos\n"},
      {"ccc 210004180200051332", 0, "21000418450200051332\n"},
      {"ccc '2077 0024 3102575766'", 0, "20770024003102575766\n"},
      {"ccc 21000418020005133", 1, "Se esperan 18 dígitos: entidad, oficina y número de cuenta\n"},
      {"dni 012345678Z 1", 0, "Documento aceptado\n"},
      {"dni 012345678z 1", 0, "Documento aceptado\n"},  // typed codes are taken in upper case
      {"dni y01234567x 3", 0, "Documento aceptado\n"},
      {"dni 012345678A 1", 1, "El número y/o letra del documento son incorrectos\n"},
      {"dni B123456789 4", 1, "El C.I.F. de la Empresa no puede tener 10 dígitos.\n"},
      {"dni 12345678Z 1", 1,
       "El Número de Documento Identificativo debe tener 10 dígitos en el caso del NIF, NIE y Pasaporte.\n"
       "Si se trata del NIF o Pasaporte añada tantos ceros a la izquierda como sea necesario.\n"
       "Si se trata del NIE (Tarjeta de extranjero) añada un cero a la derecha de la  X  si fuera "
       "necesario.\n"},
      {"creditor-id 000 B85626240", 0, "\"ES77000B85626240                   \"\n"},
      {"creditor-id zzz 47690558n", 0, "\"ES23ZZZ47690558N                   \"\n"},
  };
  if (!verbsKnown()) return;
  for (const VerbCase& c : cases) {
    const RunResult r = verb(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
    EXPECT_EQ(c.exitCode == 0 ? r.out : r.err, c.out) << c.args;
  }
}

TEST(BankVerbs, WrongUsageExitsTwo) {
  if (!verbsKnown()) return;
  for (const char* args : {"iban", "ccc 1 2", "dni 012345678Z", "dni 012345678Z 5", "creditor-id 000"}) {
    const RunResult r = verb(args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_NE(r.err.find("Uso: canalix-cli"), std::string::npos) << args;
  }
}

}  // namespace
}  // namespace canalix::members
