// Padding, trimming and upper-casing; blanks are the byte 0x20 only.
#include "output/text_format.h"

#include "output/date_format.h"

namespace canalix::output {

namespace {

// The plain text of a number as padding and counters use it.
std::string numberText(const Number& n) { return LTRIM(STR(n)); }

}  // namespace

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UPPER(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upperAscii(c);
  return out;
}

std::string LTRIM(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string RTRIM(std::string_view text) {
  const size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string ALLTRIM(std::string_view text) { return LTRIM(RTRIM(text)); }

std::string REPLICATE(std::string_view text, int count) {
  std::string out;
  if (count <= 0) return out;
  out.reserve(text.size() * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string SPACE(int count) { return count <= 0 ? std::string() : std::string(count, ' '); }

std::string PADL(std::string_view text, int length, char fill) {
  if (length <= 0) return {};
  const size_t len = static_cast<size_t>(length);
  if (text.size() >= len) return std::string(text.substr(0, len));
  return std::string(len - text.size(), fill) + std::string(text);
}

std::string PADR(std::string_view text, int length, char fill) {
  if (length <= 0) return {};
  const size_t len = static_cast<size_t>(length);
  if (text.size() >= len) return std::string(text.substr(0, len));
  return std::string(text) + std::string(len - text.size(), fill);
}

std::string PADC(std::string_view text, int length, char fill) {
  if (length <= 0) return {};
  const size_t len = static_cast<size_t>(length);
  if (text.size() >= len) return std::string(text.substr(0, len));
  const size_t missing = len - text.size();
  const size_t front = missing / 2;
  return std::string(front, fill) + std::string(text) + std::string(missing - front, fill);
}

std::string PADL(const Number& n, int length, char fill) { return PADL(numberText(n), length, fill); }
std::string PADR(const Number& n, int length, char fill) { return PADR(numberText(n), length, fill); }
std::string PADC(const Number& n, int length, char fill) { return PADC(numberText(n), length, fill); }
std::string PADL(store::Date d, int length, char fill) { return PADL(DTOC(d), length, fill); }
std::string PADR(store::Date d, int length, char fill) { return PADR(DTOC(d), length, fill); }
std::string PADC(store::Date d, int length, char fill) { return PADC(DTOC(d), length, fill); }

std::string leadingZeros(const Number& n, int width) {
  const std::string digits = numberText(n);
  return REPLICATE("0", width - static_cast<int>(digits.size())) + digits;
}

}  // namespace canalix::output
