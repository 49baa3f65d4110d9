// Identity documents and the social-security check digits.
#include "members/identifiers.h"

#include "members/bank_codes.h"
#include "output/cp1252.h"
#include "output/text_format.h"
#include "ui/ui_port.h"

namespace canalix::members {

namespace {

using output::ALLTRIM;

const std::string kTenCharacters =
    "El Número de Documento Identificativo debe tener 10 dígitos en el caso del NIF, NIE y Pasaporte.\r\n"
    "Si se trata del NIF o Pasaporte añada tantos ceros a la izquierda como sea necesario.\r\n"
    "Si se trata del NIE (Tarjeta de extranjero) añada un cero a la derecha de la  X  si fuera necesario.";
const std::string kCifTen = "El C.I.F. de la Empresa no puede tener 10 dígitos.\r\n";
const std::string kNieLetter = "El Número de Tarjeta de Extranjero debe comenzar por la letra `X`, `Y` o `Z`";
const std::string kWrongLetter = "El número y/o letra del documento son incorrectos";
const std::string kDuplicate = "Ese Número de Documento ya existe. Pertenece al socio:\r\n";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

Verdict refuse(std::string message) { return Verdict{false, std::move(message)}; }

// The value a NIE's first letter stands for in front of its digits; -1 for
// any other letter.
int niePrefix(char first) {
  switch (first) {
    case 'X':
      return 0;
    case 'Y':
      return 1;
    case 'Z':
      return 2;
    default:
      return -1;
  }
}

// Up to eight digits read as a number (the caller has checked them).
uint64_t digitValue(std::string_view digits) {
  uint64_t n = 0;
  for (char c : digits) n = n * 10 + static_cast<uint64_t>(c - '0');
  return n;
}

// The social-security number brought to `width` digits: zeros in front of a
// shorter one, the leading zero dropped from one a digit longer.
std::string socialSecurityNumber(const std::string& number, size_t width) {
  if (number.size() < width) return std::string(width - number.size(), '0') + number;
  if (number.size() == width + 1 && number[0] == '0') return number.substr(1);
  return number;
}

bool socialSecurityDigits(std::string_view province, std::string_view number, size_t width,
                          std::string& label) {
  const std::string n = ALLTRIM(number);
  if (n.empty()) {
    label = "  ";
    return true;
  }
  const int r = MODSTRING(ALLTRIM(province) + socialSecurityNumber(n, width), 97);
  label = output::leadingZeros(output::Number(r), 2);
  return true;
}

}  // namespace

bool showVerdict(const Verdict& verdict, ui::UiPort& port) {
  if (!verdict.ok) port.alert(verdict.message, kAttentionTitle);
  return verdict.ok;
}

char nifLetter(uint64_t n) { return "TRWAGMYFPDXBNJZSQVHLCKE"[n % 23]; }

Verdict checkDocument(std::string_view number, int type, bool newMember, const NifHolderLookup& lookup) {
  const std::string doc = ALLTRIM(number);
  // Documents other than CIFs are stored in exactly ten characters; a longer
  // one cannot be stored either.
  if (!doc.empty() && doc.size() != 10 && type != kCif) return refuse(kTenCharacters);
  if (doc.empty()) return {};
  if (doc.size() >= 10 && type == kCif) return refuse(kCifTen);
  if (type == kPassport || type == kCif) return {};
  uint64_t prefix = 0;
  std::string_view digits(doc);
  digits.remove_suffix(1);
  if (type == kNie) {
    const int value = niePrefix(doc[0]);
    if (value < 0) return refuse(kNieLetter);
    prefix = static_cast<uint64_t>(value) * 10000000;  // in front of the seven digits of the card
    digits.remove_prefix(1);
  }
  for (char c : digits) {
    if (!isDigit(c)) {
      return refuse("El carácter " + output::utf8FromCp1252(std::string(1, c)) +
                    " no está permitido. Solo debe introducir números y letras");
    }
  }
  const uint64_t n = prefix + digitValue(digits);
  if (doc.back() != nifLetter(n)) return refuse(kWrongLetter);
  if (n == 0 || !lookup) return {};
  const std::optional<NifHolder> holder = lookup(doc, newMember);
  if (!holder) return {};
  return refuse(kDuplicate +
                output::utf8FromCp1252(ALLTRIM(holder->numSocio) + " - " + ALLTRIM(holder->name)));
}

bool VALIDADNI(std::string_view number, int type, bool newMember, ui::UiPort& port,
               const NifHolderLookup& lookup) {
  return showVerdict(checkDocument(number, type, newMember, lookup), port);
}

bool VALIDANIF(std::string_view nif, std::string& label, int mode) {
  const std::string text = ALLTRIM(nif);
  if (mode != 1 || text.empty() || !isDigit(text[0])) {
    label = " ";
    return true;
  }
  const double n = output::INT(output::VAL(text).value);
  label = std::string(1, nifLetter(n < 0 ? 0 : static_cast<uint64_t>(n)));
  return true;
}

bool VALIDANAF(std::string_view province, std::string_view number, std::string& label) {
  return socialSecurityDigits(province, number, 7, label);
}

bool VALIDACCC(std::string_view province, std::string_view number, std::string& label) {
  return socialSecurityDigits(province, number, 6, label);
}

}  // namespace canalix::members
