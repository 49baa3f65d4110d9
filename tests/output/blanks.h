// Expected texts are written with "·" for each blank, so that their widths read at a glance.
#pragma once

#include <string>
#include <string_view>

namespace canalix::testing {

inline std::string blanks(std::string_view dotted) {
  std::string out;
  for (size_t i = 0; i < dotted.size(); ++i) {
    if (dotted.substr(i, 2) == "\xC2\xB7") {
      out += ' ';
      ++i;
    } else {
      out += dotted[i];
    }
  }
  return out;
}

}  // namespace canalix::testing
