// Identity documents of members (NIF, NIE, passport, CIF) and the pocket
// calculations of the other-calculations dialog: the letter of a NIF and the
// check digits of social-security affiliation numbers and contribution
// account codes. Pure functions over texts; the validators come in two forms:
// one that answers a Verdict (for callers without a window, such as
// canalix-cli) and one that shows the refusal through the UI port.
//
// Arguments are table text (Windows-1252); messages are UTF-8, as the UI port
// takes them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace canalix::ui {
class UiPort;
}

namespace canalix::members {

// The title of every box a validator raises.
inline constexpr std::string_view kAttentionTitle = "¡¡¡ Atención !!!";

// What a validator decided; `message` says why when `ok` is false.
struct Verdict {
  bool ok = true;
  std::string message;
};

// Shows a refusal as an alert titled kAttentionTitle; returns verdict.ok.
bool showVerdict(const Verdict& verdict, ui::UiPort& port);

// Document types, the member field `IS`.
enum DocumentType { kNif = 1, kPassport = 2, kNie = 3, kCif = 4 };

// The member who already holds a document number.
struct NifHolder {
  std::string numSocio;  // `NumSocio` as stored, blanks and all
  std::string name;      // the member's full name, Windows-1252
};

// Answers whether another member holds the ten characters `nif`: in new mode
// any member, otherwise any member but the one being edited; inactive members
// count. Implemented over the members' NIF order, leaving the members table
// on the order and record it found; tests give a fake.
using NifHolderLookup = std::function<std::optional<NifHolder>(std::string_view nif, bool newMember)>;

// The DNI control letter of `n`: entry n mod 23 of TRWAGMYFPDXBNJZSQVHLCKE.
char nifLetter(uint64_t n);

// The identity-document check on the trimmed number, in order: ten
// characters for NIF, NIE and passport; empty accepted; a CIF never ten
// characters; passports and CIFs accepted without more; a NIE begins with X,
// Y or Z (counting 0, 1 and 2 before its digits); digits only before the
// letter; the control letter; no other member with the same number (only
// when `lookup` is given and the number is not zero). Letters are compared as
// typed: the edit field upper-cases them.
Verdict checkDocument(std::string_view number, int type, bool newMember, const NifHolderLookup& lookup = {});
// checkDocument, with a refusal shown through `port`.
bool VALIDADNI(std::string_view number, int type, bool newMember, ui::UiPort& port,
               const NifHolderLookup& lookup = {});

// The NIF letter of the trimmed text for the label beside the field; one
// blank when the text is empty or begins with a letter, or `mode` is not 1.
// Always true.
bool VALIDANIF(std::string_view nif, std::string& label, int mode = 1);
// The two check digits of a social-security affiliation number (province
// code and up to eight digits): (province followed by the number brought to
// seven digits) mod 97. Two blanks for an empty number. Always true.
bool VALIDANAF(std::string_view province, std::string_view number, std::string& label);
// The same for a contribution account code of up to seven digits, brought to six.
bool VALIDACCC(std::string_view province, std::string_view number, std::string& label);

}  // namespace canalix::members
