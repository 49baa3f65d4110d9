#include "output/text_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/blanks.h"

namespace canalix::output {
namespace {

using canalix::testing::blanks;

TEST(Upper, OnlyAtoZ) {
  EXPECT_EQ(UPPER("mu\xF1oz"), "MU\xF1OZ");  // muñoz gives MUñOZ
  EXPECT_EQ(UPPER("garc\xED"
                  "a \xE7"),
            "GARC\xED"
            "A \xE7");
  EXPECT_EQ(UPPER("az{}`@09"), "AZ{}`@09");
}

TEST(Trim, BlanksOnly) {
  EXPECT_EQ(ALLTRIM("  ab c  "), "ab c");
  EXPECT_EQ(LTRIM("  ab  "), "ab  ");
  EXPECT_EQ(RTRIM("  ab  "), "  ab");
  EXPECT_EQ(ALLTRIM("    "), "");
  EXPECT_EQ(ALLTRIM("\tab\t"), "\tab\t");
}

TEST(Replicate, RepeatsOrNothing) {
  EXPECT_EQ(REPLICATE("ab", 3), "ababab");
  EXPECT_EQ(REPLICATE("0", -2), "");
  EXPECT_EQ(SPACE(3), "   ");
  EXPECT_EQ(SPACE(0), "");
}

struct PadCase {
  std::string got;
  const char* expected;
};

TEST(Pad, ExactLengthAndCutAtTheEnd) {
  const std::vector<PadCase> cases = {
      {PADL(Number(12345), 3), "123"},  // cut at the end, not at the start
      {PADR("12345", 3), "123"},
      {PADC("12345", 3), "123"},
      {PADC("ab", 5, '*'), "*ab**"},
      {PADC("ab", 6, '*'), "**ab**"},
      {PADL("ab", 5), "···ab"},
      {PADR("ab", 5), "ab···"},
      {PADL("ab", 0), ""},
      {PADL(Number(42), 6, '0'), "000042"},
      {PADR(fieldNumber(3.5, 9, 2), 6), "3.50··"},
      {PADL(store::makeDate(2014, 3, 5), 12), "··05-03-2014"},
      {PADR(store::Date{}, 11, '*'), "··-··-····*"},
  };
  for (const PadCase& c : cases) EXPECT_EQ(c.got, blanks(c.expected));
}

TEST(Pad, LeadingZeroCounters) {
  EXPECT_EQ(leadingZeros(Number(7), 5), "00007");
  EXPECT_EQ(leadingZeros(Number(123456), 5), "123456");
  EXPECT_EQ(leadingZeros(fieldNumber(12, 4, 0), 4), "0012");
}

}  // namespace
}  // namespace canalix::output
