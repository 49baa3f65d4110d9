// A scratch data directory per test, and byte-level access to the files in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "store/table_engine.h"

namespace canalix::store::testing {

class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/canalix-store-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string bytes(const std::string& file) const {
    std::ifstream in(dir / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void writeBytes(const std::string& file, const std::string& content) const {
    std::ofstream(dir / file, std::ios::binary | std::ios::trunc) << content;
  }
  // Every file of the data directory with its bytes.
  std::map<std::string, std::string> files() const {
    std::map<std::string, std::string> all;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      all[entry.path().filename().string()] = bytes(entry.path().filename().string());
    return all;
  }
  std::string recordBytes(const std::string& file, uint32_t n) const {
    const std::string b = bytes(file);
    const int hl = uint8_t(b[8]) | uint8_t(b[9]) << 8;
    const int rl = uint8_t(b[10]) | uint8_t(b[11]) << 8;
    return b.substr(size_t(hl + (n - 1) * rl), size_t(rl));
  }
  // Expects `f` to throw the engine error `gen`/`sub`.
  static void expectError(const std::function<void()>& f, int gen, int sub) {
    try {
      f();
      ADD_FAILURE() << "no error " << gen << "/" << sub;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.genCode(), gen) << e.what();
      EXPECT_EQ(e.subCode(), sub) << e.what();
    }
  }
  static uint32_t headerCount(const std::string& b) {
    return uint32_t(uint8_t(b[4])) | uint32_t(uint8_t(b[5])) << 8 | uint32_t(uint8_t(b[6])) << 16 |
           uint32_t(uint8_t(b[7])) << 24;
  }

  std::filesystem::path dir;
};

// A small table with one field of each kind, the wide character field included.
inline Structure sampleStructure() {
  return {{"Nombre", 'C', 10, 0}, {"Importe", 'N', 6, 2}, {"Fecha", 'D', 8, 0},
          {"Pagado", 'L', 1, 0},  {"Texto", 'C', 600, 0}};
}

}  // namespace canalix::store::testing
