#include "members/bank_codes.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/scripted_port.h"

namespace canalix::members {
namespace {

struct DigbancoCase {
  const char* bankBranch;
  const char* account;
  const char* expected;
};

TEST(DIGBANCO, CheckDigitsOfTheAccountCode) {
  const std::vector<DigbancoCase> cases = {
      {"21000418", "0200051332", "45"},
      {"21000813", "0123456789", "61"},    // published IBAN ES79 2100 0813 6101 2345 6789
      {"00491500", "1234567892", "05"},    // published IBAN ES60 0049 1500 0512 3456 7892
      {"20770024", "3102575766", "00"},    // published IBAN ES76 2077 0024 0031 0257 5766
      {"00000000", "0000000000", "00"},    // a sum of 0 gives 11, written 0
      {"00000000", "1000000000", "01"},    // remainder 1 gives 10, written 1
      {"2100-0418", "02000.51332", "45"},  // separators are removed
      {"2100 0418", "0200/051332", "45"},
      {"990021000418", "0200051332", "45"},  // the last ten characters count
      {"21000418", "200051332", "45"},       // zeros in front
  };
  for (const DigbancoCase& c : cases) {
    EXPECT_EQ(DIGBANCO(c.bankBranch, c.account), c.expected) << c.bankBranch << " " << c.account;
  }
}

struct AccountCase {
  const char* account;
  int payment;
  const char* message;  // empty when accepted
};

TEST(VALIDACUENTA, AccountsAcceptedAndRefused) {
  const char* twenty = "El número de cuenta bancaria debe tener 20 dígitos";
  const char* wrong = "El número de cuenta bancaria es incorrecto";
  const std::vector<AccountCase> cases = {
      {"21000418450200051332", 2, ""},
      {"21000813610123456789", 1, ""},
      {"00491500051234567892", 3, ""},
      {"20770024003102575766", 2, ""},
      {"                    ", 1, ""},      // no account, paid into the community's account
      {"                    ", 3, ""},      // cash
      {"                    ", 2, twenty},  // direct debit needs one
      {"", 2, twenty},
      {"2100041845020005133 ", 1, twenty},
      {"210004184502000513321", 1, twenty},
      {"21000418460200051332", 2, wrong},  // check digits swapped for others
      {"21000418450200051333", 2, wrong},
      {"2100041845020005133A", 2, wrong},  // digits only
      {"2100 418450200051332", 2, wrong},
  };
  for (const AccountCase& c : cases) {
    const Verdict v = checkAccount(c.account, c.payment);
    EXPECT_EQ(v.ok, *c.message == '\0') << '"' << c.account << "\" " << c.payment;
    EXPECT_EQ(v.message, c.message) << '"' << c.account << "\" " << c.payment;
  }
}

TEST(VALIDACUENTA, RefusalIsOneAlertWithTheTitle) {
  ui::ScriptedPort port;
  EXPECT_TRUE(VALIDACUENTA("21000418450200051332", 2, port));
  EXPECT_TRUE(port.calls().empty());
  EXPECT_FALSE(VALIDACUENTA("21000418460200051332", 2, port));
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kAlert);
  EXPECT_EQ(port.calls()[0].title, "¡¡¡ Atención !!!");
  EXPECT_EQ(port.calls()[0].text, "El número de cuenta bancaria es incorrecto");
}

struct IbanCase {
  const char* account;
  const char* expected;
};

TEST(CALCULARIBAN, SpanishIbanPrefix) {
  const std::vector<IbanCase> cases = {
      {"21000418450200051332", "ES91"},  // the IBAN registry's example for Spain
      {"21000813610123456789", "ES79"},
      {"00491500051234567892", "ES60"},
      {"20770024003102575766", "ES76"},
      {"21000418450200050024", "ES02"},  // remainder 96
      {"21000418450200050042", "ES98"},  // remainder 0
      {"21000418460200051332", "ES29"},  // the account's own check digits are not tested
      {"  21000418450200051332  ", "ES91"},
      {"2100041845020005133", "    "},
      {"", "    "},
  };
  for (const IbanCase& c : cases) EXPECT_EQ(CALCULARIBAN(c.account), c.expected) << c.account;
}

struct ModCase {
  const char* digits;
  int divisor;
  int expected;
};

TEST(MODSTRING, LongDivisionOfAnyLength) {
  const std::vector<ModCase> cases = {
      {"1185626240142800", 97, 21},
      {"123456789012345678901234567890123456789012345678901234567890", 97, 10},
      {"100", 7, 2},
      {"1-0-0", 7, 2},  // non-digits add nothing
      {"", 97, 0},
      {"123", 0, 0},
  };
  for (const ModCase& c : cases) EXPECT_EQ(MODSTRING(c.digits, c.divisor), c.expected) << c.digits;
}

struct ConversionCase {
  const char* text;
  const char* expected;
};

TEST(CONVERSION, LettersToTheirValues) {
  const std::vector<ConversionCase> cases = {
      {"B85626240ES00", "1185626240142800"},
      {" AZ ", "1035"},
      {"A/B-C_D?E:F(G)H.I,J;K+L", "101112131415161718192021"},
      {"a1*", "a1*"},  // other characters stay where they are
  };
  for (const ConversionCase& c : cases) EXPECT_EQ(CONVERSION(c.text), c.expected) << c.text;
}

struct CreditorCase {
  const char* code;
  const char* nationalId;
  const char* expected;
};

TEST(CALCULAIDENTIFICADOR, ThirtyFiveCharacters) {
  const std::vector<CreditorCase> cases = {
      {"000", "B85626240", "ES77000B85626240"},  // published worked example
      {"000", "12345678J", "ES0500012345678J"},  // published example with a NIF
      {"ZZZ", "47690558N", "ES23ZZZ47690558N"},  // the business code takes no part in the check
      {"000", " B85626240 ", "ES77000B85626240"}, {"001", "X1234567L", "ES59001X1234567L"},
  };
  for (const CreditorCase& c : cases) {
    const std::string id = CALCULAIDENTIFICADOR(c.code, c.nationalId);
    ASSERT_EQ(id.size(), 35u) << c.nationalId;
    EXPECT_EQ(id, std::string(c.expected) + std::string(35 - std::string(c.expected).size(), ' '));
  }
  EXPECT_EQ(CALCULAIDENTIFICADOR("000", "B85626240").substr(16), std::string(19, ' '));
}

}  // namespace
}  // namespace canalix::members
