// TRANSFORM and the reading of picture masks.
#include "output/picture.h"

#include "output/date_format.h"
#include "output/text_format.h"

namespace canalix::output {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Letters of Windows-1252: a-z, A-Z, the accented range but for × and ÷, and
// the few letters among 0x80-0x9F (Š Œ Ž š œ ž Ÿ).
bool isLetter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) return true;
  if (u >= 0xC0) return u != 0xD7 && u != 0xF7;
  return u == 0x8A || u == 0x8C || u == 0x8E || u == 0x9A || u == 0x9C || u == 0x9E || u == 0x9F;
}

// The rendered number laid into the mask, left to right, with a cursor into
// the rendered text.
std::string layNumber(const std::string& rendered, std::string_view mask, bool european) {
  std::string out;
  size_t at = 0;
  bool digitSeen = false;
  bool pointDone = false;
  auto next = [&]() { return at < rendered.size() ? rendered[at++] : ' '; };
  for (char m : mask) {
    if (m == '9' || m == '#') {
      out += next();
      digitSeen = true;
    } else if (m == '$' || m == '*') {
      const char c = next();
      out += c == ' ' ? m : c;
      digitSeen = true;
    } else if (m == '.' && digitSeen && !pointDone) {
      out += european ? ',' : '.';
      ++at;  // the rendered point, or its asterisk on overflow
      pointDone = true;
    } else if (m == ',' && digitSeen) {
      const char before = at > 0 && at <= rendered.size() ? rendered[at - 1] : ' ';
      if (isDigit(before)) {
        out += european ? '.' : ',';
      } else if (!out.empty() && out.back() == '*') {
        out += '*';
      } else if (!out.empty() && out.back() == '-') {
        out.back() = ' ';  // the minus moves right, next to the first digit
        out += '-';
      } else {
        out += ' ';
      }
    } else {
      out += m;
    }
  }
  return out;
}

}  // namespace

Picture parsePicture(std::string_view picture) {
  Picture p;
  if (picture.empty() || picture[0] != '@') {
    p.mask = std::string(picture);
    return p;
  }
  const size_t blank = picture.find(' ');
  const std::string_view letters = picture.substr(1, blank == std::string_view::npos ? blank : blank - 1);
  p.functions = UPPER(letters);
  if (blank != std::string_view::npos) p.mask = std::string(picture.substr(blank + 1));
  return p;
}

NumericLayout numericLayout(std::string_view mask) {
  NumericLayout layout;
  const size_t point = mask.find('.');
  for (char c : mask.substr(0, point)) layout.width += isDigitPosition(c) ? 1 : 0;
  if (point == std::string_view::npos) return layout;
  for (char c : mask.substr(point + 1)) layout.decimals += isDigitPosition(c) ? 1 : 0;
  if (layout.decimals == 0) layout.decimals = 1;
  layout.width += 1 + layout.decimals;
  return layout;
}

std::string TRANSFORM(const Number& n, std::string_view picture) {
  const Picture p = parsePicture(picture);
  const bool european = p.has('E');
  std::string out;
  if (!p.hasMask()) {
    out = STR(n);
    if (european) {
      for (char& c : out) c = c == '.' ? ',' : c;
    }
  } else {
    const NumericLayout layout = numericLayout(p.mask);
    out = layNumber(STR(n.value, layout.width, layout.decimals), p.mask, european);
  }
  if (p.has('Z') && n.value == 0.0) out.assign(out.size(), ' ');
  return out;
}

std::string TRANSFORM(std::string_view text, std::string_view picture) {
  const Picture p = parsePicture(picture);
  const bool upper = p.has('!');
  if (!p.hasMask()) return upper ? UPPER(text) : std::string(text);
  const bool insert = p.has('R');
  std::string out;
  size_t at = 0;
  for (char m : p.mask) {
    if (isTextPlaceholder(m)) {
      const char c = at < text.size() ? text[at++] : ' ';
      out += (upper || m == '!') ? upperAscii(c) : c;
    } else {
      out += m;
      if (!insert) ++at;  // the literal takes the place of the value's character
    }
  }
  return out;
}

std::string TRANSFORM(const char* text, std::string_view picture) {
  return TRANSFORM(std::string_view(text), picture);
}

std::string TRANSFORM(store::Date d, std::string_view) { return DTOC(d); }

std::string TRANSFORM(Logical l, std::string_view) { return l.value ? "T" : "F"; }

bool isTextPlaceholder(char m) {
  switch (m) {
    case '9':
    case '#':
    case 'A':
    case 'a':
    case 'N':
    case 'n':
    case 'X':
    case 'x':
    case '!':
      return true;
    default:
      return false;
  }
}

bool isDigitPosition(char m) { return m == '9' || m == '#' || m == '$' || m == '*'; }

bool acceptsAt(char m, char typed) {
  switch (m) {
    case '9':
      return isDigit(typed);
    case '#':
      return isDigit(typed) || typed == ' ' || typed == '.' || typed == '+' || typed == '-';
    case 'A':
    case 'a':
      return isLetter(typed);
    case 'N':
    case 'n':
      return isLetter(typed) || isDigit(typed);
    case 'X':
    case 'x':
    case '!':
      return true;
    default:
      return false;
  }
}

}  // namespace canalix::output
