// DTOC, CTOD and friends over the date format of the settings.
#include "output/date_format.h"

#include <array>
#include <ctime>

#include "output/format_settings.h"

namespace canalix::output {

namespace {

bool isDateLetter(char c) { return c == 'd' || c == 'm' || c == 'y' || c == 'D' || c == 'M' || c == 'Y'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// `value` as exactly `width` digits (its last ones when longer).
std::string digits(int value, size_t width) {
  std::string s = std::to_string(value);
  if (s.size() < width) return std::string(width - s.size(), '0') + s;
  return s.substr(s.size() - width);
}

// Which of day (0), month (1) and year (2) the date format names first,
// second and third.
std::array<int, 3> partOrder(std::string_view format) {
  std::array<int, 3> order{0, 1, 2};
  int n = 0;
  bool seen[3] = {false, false, false};
  for (char c : format) {
    const char l = lower(c);
    const int part = l == 'd' ? 0 : l == 'm' ? 1 : l == 'y' ? 2 : -1;
    if (part < 0 || seen[part]) continue;
    seen[part] = true;
    order[n++] = part;
  }
  return order;
}

int completeYear(int year) {
  if (year >= 100) return year;
  const int epoch = formatSettings().epoch;
  const int century = epoch / 100 * 100;
  const int candidate = century + year;
  return candidate < epoch ? candidate + 100 : candidate;
}

}  // namespace

std::string DTOC(store::Date d) {
  const std::string& format = formatSettings().dateFormat;
  int year = 0, month = 0, day = 0;
  store::ymdFromJulian(d.julian, year, month, day);
  std::string out;
  for (size_t i = 0; i < format.size();) {
    const char l = lower(format[i]);
    if (!isDateLetter(l)) {
      out += format[i++];
      continue;
    }
    size_t run = 1;
    while (i + run < format.size() && lower(format[i + run]) == l) ++run;
    i += run;
    if (d.empty()) {
      out.append(run, ' ');
    } else if (l == 'y') {
      out += digits(year, run >= 3 && formatSettings().century ? 4 : 2);
    } else {
      out += digits(l == 'd' ? day : month, run);
    }
  }
  return out;
}

store::Date CTOD(std::string_view text) {
  const std::array<int, 3> order = partOrder(formatSettings().dateFormat);
  int parts[3] = {0, 0, 0};  // in the order of the format
  int current = 0;
  bool previousSeparator = false;
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    if (!digit && parts[0] > 0 && parts[1] > 0 && parts[2] > 0) break;
    if (digit) {
      if (current < 3 && parts[current] < 100000) parts[current] = parts[current] * 10 + (c - '0');
      previousSeparator = false;
    } else if (c != ' ') {
      if (!previousSeparator) ++current;
      previousSeparator = true;
    }
  }
  int ymd[3] = {0, 0, 0};  // day, month, year
  for (int i = 0; i < 3; ++i) ymd[order[i]] = parts[i];
  const int day = ymd[0], month = ymd[1], year = completeYear(ymd[2]);
  if (day == 0 || month == 0 || !store::validYmd(year, month, day)) return {};
  return store::makeDate(year, month, day);
}

std::string DTOS(store::Date d) {
  if (d.empty()) return std::string(8, ' ');
  int year = 0, month = 0, day = 0;
  store::ymdFromJulian(d.julian, year, month, day);
  return digits(year, 4) + digits(month, 2) + digits(day, 2);
}

store::Date DATE() { return store::today(); }

std::string TIME() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return digits(local.tm_hour, 2) + ":" + digits(local.tm_min, 2) + ":" + digits(local.tm_sec, 2);
}

int YEAR(store::Date d) {
  int year = 0, month = 0, day = 0;
  store::ymdFromJulian(d.julian, year, month, day);
  return year;
}

int MONTH(store::Date d) {
  int year = 0, month = 0, day = 0;
  store::ymdFromJulian(d.julian, year, month, day);
  return month;
}

int DAY(store::Date d) {
  int year = 0, month = 0, day = 0;
  store::ymdFromJulian(d.julian, year, month, day);
  return day;
}

// Julian day 0 of the count fell on a Monday, so day + 1 modulo 7 counts from Sunday.
int DOW(store::Date d) { return d.empty() ? 0 : (d.julian + 1) % 7 + 1; }

std::string dateTemplate() {
  std::string out = formatSettings().dateFormat;
  for (char& c : out) {
    if (isDateLetter(c)) c = '9';
  }
  return out;
}

}  // namespace canalix::output
