#include "output/date_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/blanks.h"
#include "output/format_settings.h"

namespace canalix::output {
namespace {

using canalix::testing::blanks;
using store::Date;
using store::makeDate;

TEST(DTOC, WritesTheDateFormat) {
  EXPECT_EQ(DTOC(makeDate(2026, 12, 9)), "09-12-2026");
  EXPECT_EQ(DTOC(makeDate(1, 1, 1)), "01-01-0001");
  EXPECT_EQ(DTOC(Date{}), blanks("··-··-····"));
}

TEST(DTOC, FollowsAnotherFormat) {
  const FormatSettings saved = formatSettings();
  FormatSettings s = saved;
  s.dateFormat = "yyyy/mm/dd";
  setFormatSettings(s);
  EXPECT_EQ(DTOC(makeDate(2014, 3, 5)), "2014/03/05");
  EXPECT_EQ(CTOD("2014/3/5"), makeDate(2014, 3, 5));
  EXPECT_EQ(dateTemplate(), "9999/99/99");
  s.dateFormat = "dd/mm/yy";
  setFormatSettings(s);
  EXPECT_EQ(DTOC(makeDate(2014, 3, 5)), "05/03/14");
  setFormatSettings(saved);
}

struct CtodCase {
  const char* text;
  int year, month, day;  // 0 for the empty date
};

TEST(CTOD, ReadsDayMonthYear) {
  const std::vector<CtodCase> cases = {
      {"09-12-2026", 2026, 12, 9},
      {"31/12/2100", 2100, 12, 31},
      {"31-12-2100", 2100, 12, 31},
      {"29-02-2100", 0, 0, 0},  // 2100 is no leap year
      {"29-02-2000", 2000, 2, 29},
      {"29-02-2024", 2024, 2, 29},
      {"01/01/34", 2034, 1, 1},  // the epoch: below 35 is this century
      {"01/01/35", 1935, 1, 1},
      {"01/01/99", 1999, 1, 1},
      {"01/01/00", 2000, 1, 1},
      {"15-06", 2000, 6, 15},  // a missing year reads as 2000
      {"  /  /  ", 0, 0, 0},
      {"", 0, 0, 0},
      {"00-05-2014", 0, 0, 0},  // a day of 0
      {"05-00-2014", 0, 0, 0},
      {"31-04-2014", 0, 0, 0},
      {"32-01-2014", 0, 0, 0},
      {"5-3-2014", 2014, 3, 5},
      {" 5- 3-2014", 2014, 3, 5},   // blanks inside a part are skipped
      {"05--03-2014", 2014, 3, 5},  // a second separator in a row does nothing
      {"05.03.2014", 2014, 3, 5},
      {"05-03-2014 basura", 2014, 3, 5},  // reading stops at the blank after a complete date
      {"05-03-2014-7", 2014, 3, 5},
      {"05-03-99999", 0, 0, 0},  // beyond year 9999
      {"31-12-9999", 9999, 12, 31},
  };
  for (const CtodCase& c : cases) {
    const Date expected = c.year == 0 ? Date{} : makeDate(c.year, c.month, c.day);
    EXPECT_EQ(CTOD(c.text), expected) << '"' << c.text << '"';
  }
}

TEST(CTOD, RoundTripsEveryDayOfALeapYear) {
  for (Date d = makeDate(2024, 1, 1); d < makeDate(2025, 1, 1); d.julian++) {
    ASSERT_EQ(CTOD(DTOC(d)), d) << DTOC(d);
  }
}

TEST(DTOS, SortableEightCharacters) {
  EXPECT_EQ(DTOS(makeDate(2014, 3, 5)), "20140305");
  EXPECT_EQ(DTOS(Date{}), blanks("········"));
  EXPECT_LT(DTOS(makeDate(1999, 12, 31)), DTOS(makeDate(2000, 1, 1)));
}

TEST(DateParts, YearMonthDayAndWeekday) {
  const Date d = makeDate(2026, 12, 9);  // a Wednesday
  EXPECT_EQ(YEAR(d), 2026);
  EXPECT_EQ(MONTH(d), 12);
  EXPECT_EQ(DAY(d), 9);
  EXPECT_EQ(DOW(d), 4);
  EXPECT_EQ(DOW(makeDate(2014, 3, 2)), 1);  // a Sunday
  EXPECT_EQ(DOW(makeDate(2000, 1, 1)), 7);  // a Saturday
  EXPECT_EQ(YEAR(Date{}), 0);
  EXPECT_EQ(MONTH(Date{}), 0);
  EXPECT_EQ(DAY(Date{}), 0);
  EXPECT_EQ(DOW(Date{}), 0);
}

TEST(Clock, TodayAndTimeOfDay) {
  EXPECT_FALSE(DATE().empty());
  const std::string t = TIME();
  ASSERT_EQ(t.size(), 8u);
  EXPECT_EQ(t[2], ':');
  EXPECT_EQ(t[5], ':');
  EXPECT_LE(t.substr(0, 2), "23");
}

TEST(DateTemplate, DigitsForLetters) { EXPECT_EQ(dateTemplate(), "99-99-9999"); }

}  // namespace
}  // namespace canalix::output
