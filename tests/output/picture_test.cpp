#include "output/picture.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/blanks.h"
#include "output/date_format.h"

namespace canalix::output {
namespace {

using canalix::testing::blanks;

struct NumberCase {
  double value;
  const char* picture;
  const char* expected;
};

TEST(TransformNumber, PicturesInUse) {
  const std::vector<NumberCase> cases = {
      {1234.5, "@E 99999.99", "·1234,50"},
      {12.345, "@E 999.99", "·12,35"},
      {12.5, "@E 9999.99", "··12,50"},
      {1234.5, "@E 999999.99", "··1234,50"},
      {37, "@E 999999", "····37"},
      {1234.5, "@E 999,999.99", "··1.234,50"},
      {1234.5, "@E 99,999.99", "·1.234,50"},
      {1234.5, "@E 9,999.99", "1.234,50"},
      {1234.5, "@E 9,999,999.99", "····1.234,50"},
      {1234567.8, "@E 99,999,999.99", "·1.234.567,80"},
      {1234567.8, "@E 999,999,999.99", "··1.234.567,80"},
      {2.5, "@E 9,999,999.9999", "········2,5000"},
      {2.5, "@E 99,999,999.9999", "·········2,5000"},
      {12.6, "@E 99999999", "······13"},
      {1234567, "@E 99,999,999", "·1.234.567"},
      {2014, "@E 9999", "2014"},
      {2014, "@E 9,999", "2.014"},
      {2014, "@E 99,999", "·2.014"},
      {1234.5, "@E 99,999,999,999.99", "·········1.234,50"},
      {1234.5, "@E 999,999,999,999.99 ", "··········1.234,50·"},
      {1234.5, "@E 999,999,999,999.99 \x80", "··········1.234,50·\x80"},
      {1500, "@E 999,999,999,999 pts", "··········1.500·pts"},
      {1500, "@E 999,999,999,999      ", "··········1.500······"},
      {12.5, "999.99", "·12.50"},
      {1234.5, "99999.99", "·1234.50"},
      {12.5, "99.99", "12.50"},
      {7, "9", "7"},
      {1234.5, "999,999.99", "··1,234.50"},  // without E the separators are the plain ones
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(TRANSFORM(Number(c.value), c.picture), blanks(c.expected)) << c.value << " " << c.picture;
  }
}

TEST(TransformNumber, SeparatorsSignsAndOverflow) {
  const std::vector<NumberCase> cases = {
      {0, "@E 999,999.99", "······0,00"},
      {-5, "@E 999,999.99", "·····-5,00"},
      {-123.4, "@E 999,999.99", "···-123,40"},  // the separator before the minus is blank
      {-1234.5, "@E 999,999.99", "·-1.234,50"},
      {0.005, "@E 999,999.99", "······0,01"},
      {-0.004, "@E 999,999.99", "······0,00"},
      {999999.99, "@E 999,999.99", "999.999,99"},
      {-99999.99, "@E 999,999.99", "-99.999,99"},
      {-999999.99, "@E 999,999.99", "*******,**"},  // the sign does not fit
      {1234567, "@E 999,999.99", "*******,**"},
      {123456789, "@E 999,999,999.99", "123.456.789,00"},
      {1234567890, "@E 999,999,999.99", "***********,**"},
      {99.999, "99.99", "**.**"},
      {1234, "$,999", "1,234"},
      {12, "$$$$", "$$12"},
      {12, "**,***", "****12"},
      {-12, "**,***", "***-12"},
      {5.96, "999.", "··6."},           // a point without decimal positions still rounds to one
      {5, "Total: 999", "Total:···5"},  // literal text before the digits
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(TRANSFORM(Number(c.value), c.picture), blanks(c.expected)) << c.value << " " << c.picture;
  }
}

TEST(TransformNumber, ZeroAsBlanksUnderZ) {
  EXPECT_EQ(TRANSFORM(Number(0), "@EZ 999,999.99"), blanks("··········"));
  EXPECT_EQ(TRANSFORM(Number(0.001), "@EZ 999,999.99"), blanks("······0,00"));  // not zero, shows
  EXPECT_EQ(TRANSFORM(Number(3), "@ZE 999.99"), blanks("··3,00"));
}

TEST(TransformNumber, WithoutMaskUsesOwnAttributes) {
  EXPECT_EQ(TRANSFORM(fieldNumber(1234.5, 9, 2), "@E"), blanks("··1234,50"));
  EXPECT_EQ(TRANSFORM(fieldNumber(1234.5, 9, 2), ""), blanks("··1234.50"));
  EXPECT_EQ(TRANSFORM(Number(12), "@Z"), blanks("········12"));
  EXPECT_EQ(TRANSFORM(Number(0), "@Z"), blanks("··········"));
}

struct TextCase {
  const char* text;
  const char* picture;
  const char* expected;
};

TEST(TransformText, MasksAndFunctions) {
  const std::vector<TextCase> cases = {
      {"12345678901234567890", "@R 9999-9999-99-9999999999", "1234-5678-90-1234567890"},
      {"12345678901234567890", "99999999999999999999", "12345678901234567890"},
      {"1234", "@R 9999-9999-99-9999999999", "1234-····-··-··········"},  // past the value: blanks
      {"123456789", "9999-9999", "1234-6789"},  // without R the literal takes a character's place
      {"ruiz", "@!", "RUIZ"},
      {"mu\xF1oz", "@!", "MU\xF1OZ"},  // only a to z change case
      {"ab1", "!!!", "AB1"},
      {"ab1", "XXX", "ab1"},
      {"ab1", "@! XXX", "AB1"},
      {"abcdef", "XXX", "abc"},  // characters beyond the mask are dropped
      {"ab", "XXXX", "ab··"},
      {"abc", "", "abc"},
      {"abc", "@R", "abc"},
      {"a\xE7", "!A", "A\xE7"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(TRANSFORM(c.text, c.picture), blanks(c.expected)) << c.text << " " << c.picture;
  }
}

TEST(TransformOther, DatesAndLogicals) {
  EXPECT_EQ(TRANSFORM(store::makeDate(2026, 12, 9), "@D"), "09-12-2026");
  EXPECT_EQ(TRANSFORM(store::Date{}, "@D"), blanks("··-··-····"));
  EXPECT_EQ(TRANSFORM(Logical{true}, ""), "T");
  EXPECT_EQ(TRANSFORM(Logical{false}, ""), "F");
}

TEST(Picture, SplitsFunctionsFromMask) {
  const Picture p = parsePicture("@E 999,999,999,999      ");
  EXPECT_EQ(p.functions, "E");
  EXPECT_EQ(p.mask, "999,999,999,999      ");
  EXPECT_EQ(parsePicture("@!").mask, "");
  EXPECT_TRUE(parsePicture("@r! 99").has('R'));
  EXPECT_EQ(parsePicture("999.99").functions, "");
}

struct LayoutCase {
  const char* mask;
  int width;
  int decimals;
};

TEST(Picture, NumericLayout) {
  const std::vector<LayoutCase> cases = {
      {"999,999.99", 9, 2},           {"99999999", 8, 0}, {"999.", 5, 1}, {"9,999,999.9999", 12, 4},
      {"999,999,999,999 pts", 12, 0}, {"$$*9.9", 6, 1},
  };
  for (const LayoutCase& c : cases) {
    const NumericLayout l = numericLayout(c.mask);
    EXPECT_EQ(l.width, c.width) << c.mask;
    EXPECT_EQ(l.decimals, c.decimals) << c.mask;
  }
}

struct AcceptCase {
  char mask;
  const char* accepted;
  const char* refused;
};

TEST(Picture, WhatEachPositionAccepts) {
  const std::vector<AcceptCase> cases = {
      {'9', "0123456789", "a -.+"},
      {'#', "09 .+-", "aZ,"},
      {'A', "azAZ\xF1\xD1\xE1", "09 -"},
      {'N', "aZ09\xF1", " -."},
      {'X', "a9 -\xF1", ""},
      {'!', "a9 -", ""},
      {'-', "", "a9 -"},
  };
  for (const AcceptCase& c : cases) {
    for (const char* p = c.accepted; *p; ++p) EXPECT_TRUE(acceptsAt(c.mask, *p)) << c.mask << " " << *p;
    for (const char* p = c.refused; *p; ++p) EXPECT_FALSE(acceptsAt(c.mask, *p)) << c.mask << " " << *p;
  }
}

}  // namespace
}  // namespace canalix::output
