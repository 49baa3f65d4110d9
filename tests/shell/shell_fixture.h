// A scratch data directory per test and readers of its tables.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "store/store_fixture.h"
#include "store/table_engine.h"

namespace canalix::shell::testing {

// The engine tests' scratch directory, with a reader of table sizes.
class DataDir : public store::testing::ScratchDir {
 protected:
  // The records of `table`, read by a workspace of its own.
  uint32_t recordCount(const std::string& table) const {
    store::Workspace reader(dir);
    EXPECT_TRUE(reader.DBUSEAREA(true, table + ".DBF", table, true));
    return reader.area(table).LASTREC();
  }

};

}  // namespace canalix::shell::testing
