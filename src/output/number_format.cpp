// Fixed-width rendering and reading of numbers, and the rounding helpers.
//
// STR works on the decimal expansion of the value to 16 significant digits
// (what a double reliably holds), so that a value held in binary just below a
// half, such as 12.345 or 1.005, rounds as the half it stands for.
#include "output/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "output/format_settings.h"

namespace canalix::output {

namespace {

constexpr int kSignificant = 16;
constexpr int kDefaultWidth = 10;

// The magnitude as 16 significant decimal digits: digits[0] stands at
// 10^exponent, digits[15] at 10^(exponent-15).
struct Decimal16 {
  std::array<int, kSignificant> digits{};
  int exponent = 0;
  bool zero = true;
};

Decimal16 decimalDigits(double magnitude) {
  Decimal16 d;
  if (magnitude == 0.0) return d;
  // "d.ddddddddddddddde+XX": to_chars rounds correctly at the 16th digit.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, kSignificant - 1);
  std::string_view text(buf, res.ptr - buf);
  int n = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] >= '0' && text[i] <= '9' && n < kSignificant) d.digits[n++] = text[i] - '0';
  }
  int exponent = 0;
  std::from_chars(text.data() + i + 1 + (text[i + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
  d.exponent = exponent;
  d.zero = false;
  return d;
}

// Digit of the expansion at 10^power; positions beyond the 16th significant
// digit are 0.
int digitAt(const Decimal16& d, int power) {
  int i = d.exponent - power;
  return (i >= 0 && i < kSignificant) ? d.digits[i] : 0;
}

// Whether the digits from 10^power down decide to round up at 10^(power+1).
bool roundsUp(const Decimal16& d, int power) {
  int i = d.exponent - power;
  if (i < 0 || i >= kSignificant) return false;
  int first = d.digits[i];
  if (first >= 5) return true;
  if (first != 4 || i == kSignificant - 1) return false;
  for (int k = i + 1; k < kSignificant - 1; ++k) {
    if (d.digits[k] != 9) return false;
  }
  return d.digits[kSignificant - 1] >= 2;
}

// The rounded digits of the magnitude, integer part without leading zeros
// (at least one digit), then the decimals; empty when it cannot fit `width`.
std::string roundedDigits(double magnitude, int decimals, int width) {
  Decimal16 d = decimalDigits(magnitude);
  int top = d.zero ? 0 : std::max(d.exponent, 0);
  if (top + 1 > width) return {};  // more integer digits than positions
  std::vector<int> digits;         // from 10^top down to 10^-decimals
  for (int p = top; p >= -decimals; --p) digits.push_back(digitAt(d, p));
  if (!d.zero && roundsUp(d, -decimals - 1)) {
    int k = static_cast<int>(digits.size()) - 1;
    while (k >= 0 && digits[k] == 9) digits[k--] = 0;
    if (k >= 0) {
      ++digits[k];
    } else {
      digits.insert(digits.begin(), 1);
    }
  }
  int intCount = static_cast<int>(digits.size()) - decimals;
  int skip = 0;
  while (skip < intCount - 1 && digits[skip] == 0) ++skip;
  std::string out;
  for (int k = skip; k < static_cast<int>(digits.size()); ++k) {
    if (k == intCount) out += '.';
    out += static_cast<char>('0' + digits[k]);
  }
  return out;
}

bool allZero(const std::string& digits) {
  for (char c : digits) {
    if (c != '0' && c != '.') return false;
  }
  return true;
}

// The rendered text without padding, or empty on overflow.
std::string renderTight(double value, int width, int decimals) {
  if (decimals > 0 && width <= decimals + 1) return {};
  if (!std::isfinite(value)) return {};
  std::string digits = roundedDigits(std::fabs(value), decimals, width);
  if (digits.empty()) return {};
  if (value < 0 && !allZero(digits)) digits.insert(digits.begin(), '-');
  if (static_cast<int>(digits.size()) > width) return {};
  return digits;
}

bool isWhole(double v) { return std::isfinite(v) && v == std::trunc(v); }

double pow10(int n) {
  static constexpr std::array<double, 23> kExact = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  return n < static_cast<int>(kExact.size()) ? kExact[n] : std::pow(10.0, n);
}

}  // namespace

Number::Number(double v) : value(v), width(kDefaultWidth), decimals(0) {
  if (isWhole(v)) return;
  decimals = formatSettings().decimals;
  if (decimals > 0) width += decimals + 1;
}

std::string STR(const Number& n) { return STR(n.value, n.width, n.decimals); }

std::string STR(double value, int width) { return STR(value, width, 0); }

std::string STR(double value, int width, int decimals) {
  if (width <= 0) width = kDefaultWidth;
  if (decimals < 0) decimals = 0;
  std::string text = renderTight(value, width, decimals);
  if (text.empty()) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + text;
}

bool fitsWidth(double value, int width, int decimals) {
  if (width <= 0) width = kDefaultWidth;
  if (decimals < 0) decimals = 0;
  return !renderTight(value, width, decimals).empty();
}

Number VAL(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  bool point = false;
  bool anyDigit = false;
  int decimals = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      number += c;
      anyDigit = true;
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      number += c;
      point = true;
    } else {
      break;
    }
  }
  double value = 0.0;
  if (anyDigit) {
    // from_chars wants a digit before the point.
    std::string s = number;
    size_t at = s[0] == '-' ? 1 : 0;
    if (s[at] == '.') s.insert(at, "0");
    std::from_chars(s.data(), s.data() + s.size(), value);
  }
  if (value == 0.0) value = 0.0;  // no negative zero
  int width = kDefaultWidth + (decimals > 0 ? decimals + 1 : 0);
  return Number(value, width, decimals);
}

double ROUND(double n, int decimals) {
  if (n == 0.0 || !std::isfinite(n)) return n == 0.0 ? 0.0 : n;
  double scaleBack = 1.0;
  if (decimals < 0) {
    scaleBack = pow10(-decimals);
    n = n / scaleBack;
    decimals = 0;
  }
  double p = pow10(decimals);
  // Both products in extended precision, then one rounding to double.
  double t = static_cast<double>(static_cast<long double>(n) * p * 10.0L);
  t = n > 0 ? t + 5.0 : t - 5.0;
  t = t / 10.0;
  t = t * 1.0000000000000002;
  t = std::trunc(t);
  double r = t / p;
  r = r * scaleBack;
  return r == 0.0 ? 0.0 : r;
}

double INT(double n) {
  double t = std::trunc(n);
  return t == 0.0 ? 0.0 : t;
}

double safeDiv(double a, double b) { return b == 0.0 ? 0.0 : a / b; }

}  // namespace canalix::output
