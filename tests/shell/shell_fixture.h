// A scratch data directory per test and readers of its tables.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "store/table_engine.h"

namespace canalix::shell::testing {

class DataDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/canalix-shell-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string bytes(const std::string& file) const {
    std::ifstream in(dir / file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The records of `table`, read by a workspace of its own.
  uint32_t recordCount(const std::string& table) const {
    store::Workspace reader(dir);
    EXPECT_TRUE(reader.DBUSEAREA(true, table + ".DBF", table, true));
    return reader.area(table).LASTREC();
  }

  std::filesystem::path dir;
};

}  // namespace canalix::shell::testing
