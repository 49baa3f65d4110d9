#include "output/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "output/blanks.h"

namespace canalix::output {
namespace {

using canalix::testing::blanks;

struct StrCase {
  double value;
  int width;
  int decimals;
  const char* expected;
};

TEST(STR, RendersRoundsAndOverflows) {
  const std::vector<StrCase> cases = {
      {1234.5, 9, 2, "··1234.50"},
      {-5, 8, 2, "···-5.00"},
      {2.5, 4, 0, "···3"},
      {-2.5, 4, 0, "··-3"},
      {-123, 3, 0, "***"},  // the sign does not fit
      {-123, 4, 0, "-123"},
      {5, 2, 2, "**"},  // width not greater than decimals + 1
      {5, 3, 1, "5.0"},
      {-0.004, 6, 2, "··0.00"},  // rounds to zero: no sign
      {-0.5, 6, 2, "·-0.50"},
      {0.5, 4, 2, "0.50"},       // a number below 1 shows its "0"
      {-0.5, 4, 2, "****"},      // ... and then the sign does not fit
      {12.345, 6, 2, "·12.35"},  // held just below the half: rounds as the half
      {1.005, 5, 2, "·1.01"},
      {2.675, 5, 2, "·2.68"},
      {0.285, 5, 2, "·0.29"},
      {-0.125, 6, 2, "·-0.13"},
      {99.999, 5, 2, "*****"},  // the carry needs one more position
      {9.999, 5, 2, "10.00"},
      {0, 5, 0, "····0"},
      {0, 6, 2, "··0.00"},
      {1234567, 7, 0, "1234567"},
      {12345678, 7, 0, "*******"},
      {123.456, 10, 3, "···123.456"},
      {1e15, 16, 0, "1000000000000000"},
      {0.1 + 0.2, 6, 2, "··0.30"},
      {1.0 / 3.0, 20, 18, "0.333333333333333300"},  // beyond 16 significant digits: zeros
      {42, 0, 0, "········42"},                     // width 0 means 10
      {42, 5, -1, "···42"},                         // negative decimals mean none
      {0.45, 3, 0, "··0"},
      {0.5, 3, 0, "··1"},
      {-1.5, 3, 0, "·-2"},
  };
  for (const StrCase& c : cases) {
    EXPECT_EQ(STR(c.value, c.width, c.decimals), blanks(c.expected))
        << c.value << " width " << c.width << " decimals " << c.decimals;
  }
}

TEST(STR, DigitFourRoundsUpOnlyBeforeARunOfNines) {
  // 0.4999999999999999 to 0 decimals: 16 significant digits, a 4 and fifteen 9s.
  EXPECT_EQ(STR(0.4999999999999999, 3, 0), "  1");
  EXPECT_EQ(STR(0.49999999999999, 3, 0), "  0");
  EXPECT_EQ(STR(0.4, 3, 0), "  0");
}

TEST(STR, UsesTheNumbersOwnAttributesWithoutWidth) {
  EXPECT_EQ(STR(fieldNumber(1234.5, 9, 2)), blanks("··1234.50"));
  EXPECT_EQ(STR(Number(7)), blanks("·········7"));  // a computed whole number: 10 positions
  EXPECT_EQ(STR(Number(2.5)), blanks("·········2.50"));
  EXPECT_EQ(STR(7.0, 3), blanks("··7"));
}

TEST(STR, FitsWidthIsTheOverflowRule) {
  EXPECT_TRUE(fitsWidth(9999.99, 7, 2));
  EXPECT_FALSE(fitsWidth(-9999.99, 7, 2));
  EXPECT_FALSE(fitsWidth(9999.995, 7, 2));
  EXPECT_TRUE(fitsWidth(-999.99, 7, 2));
}

struct ValCase {
  const char* text;
  double value;
  int decimals;
};

TEST(VAL, ReadsUpToTheFirstOtherCharacter) {
  const std::vector<ValCase> cases = {
      {"  12.50", 12.5, 2},
      {"12,50", 12, 0},
      {"abc", 0, 0},
      {"", 0, 0},
      {"\t\r\n-3.25x", -3.25, 2},
      {"+7", 7, 0},
      {"1.2.3", 1.2, 1},
      {".5", 0.5, 1},
      {"- 5", 0, 0},
      {"007", 7, 0},
      {"12.", 12, 0},
      {"1234567890123", 1234567890123.0, 0},
  };
  for (const ValCase& c : cases) {
    const Number n = VAL(c.text);
    EXPECT_DOUBLE_EQ(n.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(n.decimals, c.decimals) << '"' << c.text << '"';
  }
  EXPECT_FALSE(std::signbit(VAL("-0").value));
}

struct RoundCase {
  double value;
  int decimals;
  double expected;
};

TEST(ROUND, HalfAwayFromZeroDespiteBinary) {
  const std::vector<RoundCase> cases = {
      {1.005, 2, 1.01},         {2.675, 2, 2.68},    {0.285, 2, 0.29},
      {-0.125, 2, -0.13},       {-2.5, 0, -3},       {2.5, 0, 3},
      {2.4999, 0, 2},           {0, 2, 0},           {1234.565, 2, 1234.57},
      {-1234.565, 2, -1234.57}, {0.1 + 0.2, 2, 0.3}, {1250, -2, 1300},
      {-1250, -2, -1300},       {1249, -2, 1200},    {12.3449, 2, 12.34},
      {8.325, 2, 8.33},         {1.15, 1, 1.2},      {100.0, 2, 100.0},
  };
  for (const RoundCase& c : cases) {
    EXPECT_DOUBLE_EQ(ROUND(c.value, c.decimals), c.expected) << c.value << " to " << c.decimals;
  }
  EXPECT_FALSE(std::signbit(ROUND(-0.001, 2)));
}

TEST(INT, TruncatesTowardZero) {
  EXPECT_EQ(INT(2.9), 2);
  EXPECT_EQ(INT(-2.9), -2);
  EXPECT_FALSE(std::signbit(INT(-0.5)));
}

TEST(SafeDiv, DivisionByZeroYieldsZero) {
  EXPECT_EQ(safeDiv(5, 0), 0);
  EXPECT_EQ(safeDiv(5, 2), 2.5);
}

}  // namespace
}  // namespace canalix::output
