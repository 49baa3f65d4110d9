// CCC check digits, IBAN prefixes and SEPA creditor identifiers.
#include "members/bank_codes.h"

#include <array>

#include "output/text_format.h"

namespace canalix::members {

namespace {

using output::ALLTRIM;

const std::string kTwentyDigits = "El número de cuenta bancaria debe tener 20 dígitos";
const std::string kWrongAccount = "El número de cuenta bancaria es incorrecto";

// "ES" as ISO 13616 letter values (E = 14, S = 28) and the two zeros that
// stand for the check digits being computed.
constexpr std::string_view kSpainSuffix = "142800";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Ten characters: separators removed, the last ten kept, zeros in front.
std::string tenDigits(std::string_view text) {
  std::string kept;
  for (char c : text) {
    if (c != '-' && c != '.' && c != '/' && c != ' ') kept += c;
  }
  if (kept.size() > 10) kept.erase(0, kept.size() - 10);
  return std::string(10 - kept.size(), '0') + kept;
}

char checkDigit(const std::string& ten) {
  static constexpr std::array<int, 10> kWeights = {1, 2, 4, 8, 5, 10, 9, 7, 3, 6};
  int sum = 0;
  for (size_t i = 0; i < ten.size(); ++i) sum += (isDigit(ten[i]) ? ten[i] - '0' : 0) * kWeights[i];
  int d = 11 - sum % 11;
  if (d == 10) d = 1;
  if (d == 11) d = 0;
  return static_cast<char>('0' + d);
}

std::string twoDigits(int n) { return output::leadingZeros(output::Number(n), 2); }

}  // namespace

std::string DIGBANCO(std::string_view bankBranch, std::string_view account) {
  return {checkDigit(tenDigits(bankBranch)), checkDigit(tenDigits(account))};
}

Verdict checkAccount(std::string_view account, int payment) {
  const std::string trimmed = ALLTRIM(account);
  if (trimmed.empty()) return payment == 2 ? Verdict{false, kTwentyDigits} : Verdict{};
  if (trimmed.size() != 20) return Verdict{false, kTwentyDigits};
  for (char c : trimmed) {
    if (!isDigit(c)) return Verdict{false, kWrongAccount};
  }
  const std::string_view a(trimmed);
  if (DIGBANCO(a.substr(0, 8), a.substr(10, 10)) != a.substr(8, 2)) return Verdict{false, kWrongAccount};
  return {};
}

bool VALIDACUENTA(std::string_view account, int payment, ui::UiPort& port) {
  return showVerdict(checkAccount(account, payment), port);
}

int MODSTRING(std::string_view digits, int divisor) {
  if (divisor <= 0) return 0;
  long long remainder = 0;
  for (char c : digits) {
    if (isDigit(c)) remainder = (remainder * 10 + (c - '0')) % divisor;
  }
  return static_cast<int>(remainder);
}

std::string CALCULARIBAN(std::string_view account) {
  const std::string trimmed = ALLTRIM(account);
  if (trimmed.size() != 20) return std::string(4, ' ');
  return "ES" + twoDigits(98 - MODSTRING(trimmed + std::string(kSpainSuffix), 97));
}

std::string CONVERSION(std::string_view text) {
  static constexpr std::string_view kRemoved = " /-_?:().,;+";
  std::string out;
  for (char c : ALLTRIM(text)) {
    if (kRemoved.find(c) != std::string_view::npos) continue;
    if (c >= 'A' && c <= 'Z') {
      out += std::to_string(c - 'A' + 10);
    } else {
      out += c;
    }
  }
  return out;
}

std::string CALCULAIDENTIFICADOR(std::string_view businessCode, std::string_view nationalId) {
  const std::string id = ALLTRIM(nationalId);
  const int k = 98 - MODSTRING(CONVERSION(id + std::string(kSpainSuffix)), 97);
  return output::PADR(ALLTRIM("ES" + twoDigits(k) + std::string(businessCode) + id), 35);
}

}  // namespace canalix::members
