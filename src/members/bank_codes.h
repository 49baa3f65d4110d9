// Spanish bank codes: the check digits of the 20-digit account code (CCC),
// the IBAN prefix of an account (ISO 13616 with the ISO 7064 MOD 97-10
// check) and the SEPA creditor identifier. Pure functions over digit texts;
// VALIDACUENTA comes, like the identity check, as a Verdict and as a
// validator that shows its refusal through the UI port.
//
// An account (CCC) is 20 characters: bank (1-4), branch (5-8), the two check
// digits (9-10) and the account number (11-20); an empty one is twenty blanks.
#pragma once

#include <string>
#include <string_view>

#include "members/identifiers.h"

namespace canalix::members {

// The two check digits of bank+branch and of the account number. Each
// argument loses every "-", ".", "/" and blank, keeps its last ten characters
// and is filled with zeros in front to ten; each digit is weighted 1, 2, 4,
// 8, 5, 10, 9, 7, 3, 6 and the digit is 11 - (sum mod 11), with 10 written as
// 1 and 11 as 0.
std::string DIGBANCO(std::string_view bankBranch, std::string_view account);

// The account check: required (twenty digits) for direct debit, `payment`
// 2; otherwise an empty account passes. A non-empty one needs twenty digits
// whose check digits agree with DIGBANCO.
Verdict checkAccount(std::string_view account, int payment);
// checkAccount, with a refusal shown through `port`.
bool VALIDACUENTA(std::string_view account, int payment, ui::UiPort& port);

// The remainder of the number a digit string writes, divided by `divisor`
// digit by digit, for strings of any length. Characters other than digits
// are skipped. 0 for a divisor of 0 or less.
int MODSTRING(std::string_view digits, int divisor);

// "ES" and the IBAN check digits of a 20-character account, or four blanks
// when the trimmed account is not 20 characters. The account's own check
// digits are not tested.
std::string CALCULARIBAN(std::string_view account);

// The trimmed text for a MOD 97-10 check: blank / - _ ? : ( ) . , ; + removed,
// each capital A-Z written as 10-35, anything else left in place.
std::string CONVERSION(std::string_view text);

// The SEPA creditor identifier, 35 characters: "ES", the check digits over
// the national identifier, the three-character business code (no part of
// the check), the national identifier, blanks to the right.
std::string CALCULAIDENTIFICADOR(std::string_view businessCode, std::string_view nationalId);

}  // namespace canalix::members
