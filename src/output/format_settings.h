// The global formatting settings: date format, epoch and the number defaults,
// fixed once at start-up and read by every formatting function.
#pragma once

#include <string>

namespace canalix::output {

struct FormatSettings {
  // Day, month and year as runs of "d", "m" and "y"; any other character is a
  // separator. Governs DTOC, CTOD, date edit fields and date columns. A run
  // of two "y" writes the last two digits of the year.
  std::string dateFormat = "dd-mm-yyyy";
  bool century = true;  // years show four digits; off shows the last two
  int epoch = 1935;     // a two-digit year yy reads as 20yy when yy < 35, else 19yy
  int decimals = 2;     // given to a computed non-whole number that carries none
  bool fixed = false;   // numbers keep their own decimals, never forced to `decimals`
};

// The plain text form of a number always uses this point; the E function of
// a picture shows it as ",".
inline constexpr char kDecimalPoint = '.';

// The settings in force; the defaults above until setFormatSettings is called.
const FormatSettings& formatSettings();
// Replaces the settings. Called once by the start-up, and by tests.
void setFormatSettings(const FormatSettings& settings);

}  // namespace canalix::output
