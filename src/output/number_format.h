// Numbers as text and back: fixed-width rendering (STR) with its rounding and
// overflow, reading numbers from text (VAL), ROUND, INT and the division that
// yields 0 on a zero divisor. Never through the locale: "." is always the point.
#pragma once

#include <string>
#include <string_view>

namespace canalix::output {

// A number with its display attributes, used when it is rendered without an
// explicit width: `width` is the whole rendered width (sign, integer digits,
// point and decimals), `decimals` the digits after the point.
struct Number {
  double value = 0.0;
  int width = 10;
  int decimals = 0;

  Number() = default;
  // A number computed by the program: a whole value carries 10 integer
  // positions and no decimals; a non-whole one 10 integer positions and the
  // decimals of the settings.
  Number(double v);  // NOLINT: implicit on purpose, a plain double is a computed number
  // A number with given attributes, as read from a numeric field of that
  // width and decimals.
  Number(double v, int w, int d) : value(v), width(w), decimals(d) {}
};

// A number read from a numeric table field of `width` and `decimals`.
inline Number fieldNumber(double value, int width, int decimals) { return Number(value, width, decimals); }

// Renders `n` with its own width and decimals (see STR below).
std::string STR(const Number& n);
// Renders `value` right-justified in `width` characters with no decimals.
std::string STR(double value, int width);
// Renders `value` right-justified in `width` characters with `decimals`
// decimals, rounded half away from zero at the last shown decimal. A width
// of 0 or less means 10; negative decimals mean 0. When the digits and the
// sign do not fit, or width <= decimals + 1 with decimals > 0, the result is
// `width` asterisks.
std::string STR(double value, int width, int decimals);
// True when `value` renders in `width`/`decimals` without overflowing: the
// check a numeric field makes before it stores a value.
bool fitsWidth(double value, int width, int decimals);

// Reads a number from text: leading blanks, tabs and line breaks skipped, an
// optional sign, digits with at most one "."; stops at the first other
// character. No digits read as 0. The result's decimals are the digits read
// after the point.
Number VAL(std::string_view text);

// `n` rounded half away from zero to `decimals` decimals (negative decimals
// round to tens, hundreds...), immune to values held in binary just below the
// half they stand for: ROUND(1.005, 2) == 1.01, ROUND(-0.125, 2) == -0.13.
double ROUND(double n, int decimals);
// `n` truncated toward zero.
double INT(double n);
// a / b, or 0 when b is 0: several formulas of the system rely on it.
double safeDiv(double a, double b);

}  // namespace canalix::output
