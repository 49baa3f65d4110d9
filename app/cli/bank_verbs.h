// The bank and identity verbs of canalix-cli: the checks the member dialog
// makes, for anyone checking a member's data from a shell. Arguments are
// taken in UTF-8 and upper case; results go to stdout, refusals to stderr
// with exit code 1, wrong usage with exit code 2.
#pragma once

#include "cli_verbs.h"

namespace canalix::cli {

// iban CCC: the 24-character IBAN of an account (blanks and "-" allowed
// between its groups), or the refusal of the account check.
int ibanVerb(const Args& args);
// ccc DIGITS18: bank and branch (8 digits) and account number (10 digits)
// with the two check digits put in their place: the 20-digit account.
int cccVerb(const Args& args);
// dni NUMBER TYPE: "Documento aceptado", or the refusal of the identity
// check (type 1 NIF, 2 passport, 3 NIE, 4 CIF). No duplicate search.
int dniVerb(const Args& args);
// creditor-id CODE NATIONALID: the 35-character SEPA creditor identifier
// between double quotes, blanks kept.
int creditorIdVerb(const Args& args);

}  // namespace canalix::cli
