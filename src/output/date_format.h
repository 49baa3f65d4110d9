// Dates as text and back in the date format of the settings (DTOC, CTOD), the
// sortable form of index keys (DTOS), today's date and time, and the parts of
// a date. Dates are Julian day numbers; the empty date is day 0.
#pragma once

#include <string>
#include <string_view>

#include "store/julian.h"

namespace canalix::output {

// The date in the date format: 09-12-2026. The empty date keeps the
// separators and shows blanks for the digits: "  -  -    ".
std::string DTOC(store::Date d);
// Reads day, month and year in the order the date format gives them. Digits
// accumulate into the current part; any character other than a digit or a
// blank closes it (a second one in a row does nothing); reading stops at a
// blank or separator once the three parts are non-zero. A year below 100 is
// completed with the epoch. An impossible date, a part of 0 or an empty text
// gives the empty date. Never throws.
store::Date CTOD(std::string_view text);
// Year, month and day as "yyyymmdd" (eight blanks for the empty date), so
// that keys on dates sort chronologically.
std::string DTOS(store::Date d);

// Today's local date.
store::Date DATE();
// The local time now as "hh:mm:ss" on the 24-hour clock.
std::string TIME();

// The parts of a date; 0 for the empty date. DOW counts 1 (Sunday) to 7 (Saturday).
int YEAR(store::Date d);
int MONTH(store::Date d);
int DAY(store::Date d);
int DOW(store::Date d);

// The template of a date edit field: the date format with every letter
// turned into "9" ("99-99-9999").
std::string dateTemplate();

}  // namespace canalix::output
