// Windows-1252, the code page of table text, to and from UTF-8, the encoding
// of the UI port, of Qt strings and of the terminal.
#pragma once

#include <string>
#include <string_view>

namespace canalix::output {

// Every byte becomes its character; the five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) pass as the C1 controls of the same value.
std::string utf8FromCp1252(std::string_view text);
// Characters without a Windows-1252 byte, and broken UTF-8, become `missing`.
std::string cp1252FromUtf8(std::string_view text, char missing = '?');

}  // namespace canalix::output
