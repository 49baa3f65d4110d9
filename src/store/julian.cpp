// Julian day numbers of the proleptic Gregorian calendar (Fliegel and Van
// Flandern's integer formulas); day 0 stands for the empty date.
#include "store/julian.h"

#include <ctime>

namespace canalix::store {

int32_t julianFromYmd(int year, int month, int day) {
  const int a = (14 - month) / 12;
  const int64_t y = int64_t{year} + 4800 - a;
  const int64_t m = month + 12 * a - 3;
  return static_cast<int32_t>(day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045);
}

void ymdFromJulian(int32_t julian, int& year, int& month, int& day) {
  if (julian <= 0) {
    year = month = day = 0;
    return;
  }
  const int64_t a = int64_t{julian} + 32044;
  const int64_t b = (4 * a + 3) / 146097;
  const int64_t c = a - 146097 * b / 4;
  const int64_t d = (4 * c + 3) / 1461;
  const int64_t e = c - 1461 * d / 4;
  const int64_t m = (5 * e + 2) / 153;
  day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  month = static_cast<int>(m + 3 - 12 * (m / 10));
  year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

bool validYmd(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

Date today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return makeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace canalix::store
