// canalix-cli iban, ccc, dni and creditor-id: thin wrappers over the bank
// codes and identity checks of the members.
#include "bank_verbs.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "members/bank_codes.h"
#include "members/identifiers.h"
#include "output/cp1252.h"
#include "output/text_format.h"

namespace canalix::cli {

namespace {

int usage(const char* synopsis) {
  std::fprintf(stderr, "Uso: canalix-cli %s\n", synopsis);
  return 2;
}

// A refusal as the message box would show it, one line per CR LF.
int refuse(const members::Verdict& verdict) {
  std::string text;
  for (size_t i = 0; i < verdict.message.size(); ++i) {
    const bool lineBreak = verdict.message.compare(i, 2, "\r\n") == 0;
    text += lineBreak ? '\n' : verdict.message[i];
    if (lineBreak) ++i;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::fprintf(stderr, "%s\n", text.c_str());
  return 1;
}

// A code typed by the user: Windows-1252, upper case.
std::string typedCode(const std::string& utf8) { return output::UPPER(output::cp1252FromUtf8(utf8)); }

// Digits typed in groups: the blanks and dashes between them dropped.
std::string withoutSeparators(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '-') out += c;
  }
  return out;
}

bool allDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

}  // namespace

int ibanVerb(const Args& args) {
  if (args.size() != 1) return usage("iban CUENTA");
  const std::string account = withoutSeparators(args[0]);
  const members::Verdict verdict = members::checkAccount(account, 2);
  if (!verdict.ok) return refuse(verdict);
  std::printf("%s%s\n", members::CALCULARIBAN(account).c_str(), account.c_str());
  return 0;
}

int cccVerb(const Args& args) {
  if (args.size() != 1) return usage("ccc ENTIDAD+OFICINA+CUENTA (18 dígitos)");
  const std::string digits = withoutSeparators(args[0]);
  if (digits.size() != 18 || !allDigits(digits)) {
    return refuse({false, "Se esperan 18 dígitos: entidad, oficina y número de cuenta"});
  }
  const std::string bankBranch = digits.substr(0, 8);
  const std::string number = digits.substr(8);
  std::printf("%s%s%s\n", bankBranch.c_str(), members::DIGBANCO(bankBranch, number).c_str(), number.c_str());
  return 0;
}

int dniVerb(const Args& args) {
  if (args.size() != 2) return usage("dni NÚMERO TIPO (1 NIF, 2 pasaporte, 3 NIE, 4 CIF)");
  const std::string& type = args[1];
  if (type.size() != 1 || type[0] < '1' || type[0] > '4') {
    return usage("dni NÚMERO TIPO (1 NIF, 2 pasaporte, 3 NIE, 4 CIF)");
  }
  const members::Verdict verdict = members::checkDocument(typedCode(args[0]), type[0] - '0', true);
  if (!verdict.ok) return refuse(verdict);
  std::printf("Documento aceptado\n");
  return 0;
}

int creditorIdVerb(const Args& args) {
  if (args.size() != 2) return usage("creditor-id SUFIJO IDENTIFICADOR");
  const std::string id = members::CALCULAIDENTIFICADOR(typedCode(args[0]), typedCode(args[1]));
  std::printf("\"%s\"\n", output::utf8FromCp1252(id).c_str());
  return 0;
}

}  // namespace canalix::cli
