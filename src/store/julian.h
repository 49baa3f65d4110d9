// Dates as Julian day numbers; 0 is the empty date.
#pragma once

#include <cstdint>

namespace canalix::store {

struct Date {
  int32_t julian = 0;
  bool empty() const { return julian == 0; }
  friend bool operator==(Date, Date) = default;
  friend auto operator<=>(Date, Date) = default;
};

// Julian day number of a day of the proleptic Gregorian calendar.
int32_t julianFromYmd(int year, int month, int day);
void ymdFromJulian(int32_t julian, int& year, int& month, int& day);
inline Date makeDate(int year, int month, int day) { return Date{julianFromYmd(year, month, day)}; }
// False when the day does not exist (31-02, month 13...).
bool validYmd(int year, int month, int day);
// Today's date from the system clock, local time.
Date today();

}  // namespace canalix::store
