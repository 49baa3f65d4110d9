#include "output/cp1252.h"

#include <gtest/gtest.h>

#include <vector>

namespace canalix::output {
namespace {

struct Cp1252Case {
  const char* cp1252;
  const char* utf8;
};

TEST(Cp1252, BothWays) {
  const std::vector<Cp1252Case> cases = {
      {"MU\xD1OZ", "MUÑOZ"},
      {"Gesti\xF3n", "Gestión"},
      {"\xA1\xA1\xA1 Atenci\xF3n !!!", "¡¡¡ Atención !!!"},
      {"12,50 \x80", "12,50 €"},
      {"\x93"
       "cita"
       "\x94",
       "“cita”"},
      {"\x8A\x9A\x9F", "ŠšŸ"},
      {"\xE7\xC7\xFC", "çÇü"},
      {"plain", "plain"},
  };
  for (const Cp1252Case& c : cases) {
    EXPECT_EQ(utf8FromCp1252(c.cp1252), c.utf8);
    EXPECT_EQ(cp1252FromUtf8(c.utf8), c.cp1252);
  }
}

TEST(Cp1252, UnmappableAndBrokenBecomeTheMissingMark) {
  EXPECT_EQ(cp1252FromUtf8("a€b"),
            "a\x80"
            "b");
  EXPECT_EQ(cp1252FromUtf8("Ωx"), "?x");
  EXPECT_EQ(cp1252FromUtf8("\xC3"), "?");
  EXPECT_EQ(cp1252FromUtf8("😀", '_'), "_");
}

TEST(Cp1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(cp1252FromUtf8(utf8FromCp1252(all)), all);
}

}  // namespace
}  // namespace canalix::output
