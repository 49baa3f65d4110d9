// Table, field, tag and file names compared and stored without regard to
// case. Only the letters a to z change: the rest of the single-byte text is
// kept as it is.
#pragma once

#include <string>
#include <string_view>

namespace canalix::store {

inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

inline std::string upperAscii(std::string s) {
  for (char& c : s) c = upperAscii(c);
  return s;
}

inline bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upperAscii(a[i]) != upperAscii(b[i])) return false;
  return true;
}

}  // namespace canalix::store
