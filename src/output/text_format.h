// Padding, trimming and upper-casing of single-byte (Windows-1252) texts: the
// helpers from which fixed-width fields, listing columns and keys are built.
#pragma once

#include <string>
#include <string_view>

#include "output/number_format.h"
#include "store/julian.h"

namespace canalix::output {

// Upper-cases the letters a to z only; accented letters, ñ and ç stay as they are.
std::string UPPER(std::string_view text);
char upperAscii(char c);

std::string ALLTRIM(std::string_view text);  // without leading and trailing blanks
std::string LTRIM(std::string_view text);    // without leading blanks
std::string RTRIM(std::string_view text);    // without trailing blanks

// `text` repeated `count` times; empty for a count of 0 or less.
std::string REPLICATE(std::string_view text, int count);
// `count` blanks; empty for a count of 0 or less.
std::string SPACE(int count);

// Bring a value to exactly `length` characters with `fill`: PADL fills in
// front, PADR behind, PADC half (rounded down) in front and the rest behind.
// A longer value is cut to its first `length` characters whatever the side.
// A number is padded from its STR text without leading blanks, a date from
// its DTOC text.
std::string PADL(std::string_view text, int length, char fill = ' ');
std::string PADR(std::string_view text, int length, char fill = ' ');
std::string PADC(std::string_view text, int length, char fill = ' ');
std::string PADL(const Number& n, int length, char fill = ' ');
std::string PADR(const Number& n, int length, char fill = ' ');
std::string PADC(const Number& n, int length, char fill = ' ');
std::string PADL(store::Date d, int length, char fill = ' ');
std::string PADR(store::Date d, int length, char fill = ' ');
std::string PADC(store::Date d, int length, char fill = ' ');

// A counter with leading zeros: "0" repeated (width minus the length of the
// trimmed number) and the trimmed number; longer numbers are not cut.
std::string leadingZeros(const Number& n, int width);

}  // namespace canalix::output
