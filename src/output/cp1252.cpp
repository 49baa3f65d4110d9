// Windows-1252 <-> UTF-8. The bytes 0xA0-0xFF are Latin-1; 0x80-0x9F carry the
// euro sign, typographic quotes and a few letters, listed below.
#include "output/cp1252.h"

#include <array>
#include <cstdint>

namespace canalix::output {

namespace {

// Code points of the bytes 0x80-0x9F; the undefined ones keep their own value.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int byteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Decodes one UTF-8 sequence at text[i], advancing i; -1 when it is broken.
int64_t nextCodePoint(std::string_view text, size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead >= 0xF8) return -1;
  int64_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return cp;
}

}  // namespace

std::string utf8FromCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    appendUtf8(out, (u >= 0x80 && u < 0xA0) ? kHigh[u - 0x80] : char32_t{u});
  }
  return out;
}

std::string cp1252FromUtf8(std::string_view text, char missing) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const int64_t cp = nextCodePoint(text, i);
    const int byte = cp < 0 ? -1 : byteOf(static_cast<char32_t>(cp));
    out += byte < 0 ? missing : static_cast<char>(byte);
  }
  return out;
}

}  // namespace canalix::output
