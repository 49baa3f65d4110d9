// Pictures: display masks of an optional function part ("@" and letters, up
// to a blank) and a template of one character per output position. TRANSFORM
// formats numbers, texts, dates and logicals with a picture; the helpers below
// tell edit fields what each template position accepts.
//
// Function letters: E (decimal "," and thousands "."), ! (upper case), R
// (template literals are inserted, and stripped again from edited values),
// D (a date), Z (zero shows as blanks).
#pragma once

#include <string>
#include <string_view>

#include "output/number_format.h"
#include "store/julian.h"

namespace canalix::output {

struct Picture {
  std::string functions;  // the function letters, upper case, without "@"
  std::string mask;       // the template; empty when the picture has none

  bool has(char function) const { return functions.find(function) != std::string::npos; }
  bool hasMask() const { return !mask.empty(); }
};

// Splits a picture text: "@E 999,999.99" gives functions "E" and mask
// "999,999.99". Exactly one blank ends the function part.
Picture parsePicture(std::string_view picture);

// The rendering a numeric mask asks of STR: the digit positions ("9", "#",
// "$", "*") before the first "." are the integer positions; with a "." the
// width is those plus one plus the digit positions after it (at least one).
struct NumericLayout {
  int width = 0;
  int decimals = 0;
};
NumericLayout numericLayout(std::string_view mask);

// A logical value; a type of its own so that numbers never pass for logicals.
struct Logical {
  bool value = false;
};

// A number: rendered with STR at the mask's layout (or its own width and
// decimals when there is no mask), then laid into the mask: separators only
// between digits, the minus next to the first digit, "*" everywhere but the
// decimal point on overflow, blanks for zero under Z.
std::string TRANSFORM(const Number& n, std::string_view picture);
// A text: each mask position takes one character of the value; placeholders
// copy it (upper-cased at "!" and under the ! function), other characters
// replace it, or are inserted before it under R. Without a mask the text is
// copied, upper-cased under !.
std::string TRANSFORM(std::string_view text, std::string_view picture);
std::string TRANSFORM(const char* text, std::string_view picture);
// A date: written by DTOC whatever the mask.
std::string TRANSFORM(store::Date d, std::string_view picture);
// A logical: "T" or "F".
std::string TRANSFORM(Logical l, std::string_view picture);

// Template characters of texts that take the value's character: 9 # A N X,
// their lower-case forms, and "!".
bool isTextPlaceholder(char maskChar);
// Digit positions of numeric masks: 9 # $ *.
bool isDigitPosition(char maskChar);
// Whether an edit field accepts `typed` at a text mask position: digits at
// 9, digits, blank, ".", "+" and "-" at #, letters at A, letters and digits
// at N, anything at X and "!". Letters are a-z, A-Z and the accented letters
// of Windows-1252.
bool acceptsAt(char maskChar, char typed);

}  // namespace canalix::output
