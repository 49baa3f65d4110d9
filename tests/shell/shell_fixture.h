// A scratch data directory per test and readers of its tables.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "shell/startup.h"
#include "store/data_dir_lock.h"
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

  // Prepares the directory as the program's start does, under the fixture's
  // data-directory lock (held until the test ends).
  PreparedData prepare(store::Workspace& ws, ui::UiPort& port, const StartupSteps& steps = defaultStartupSteps()) {
    if (!lock) lock = std::make_unique<store::DataDirLock>(dir);
    return prepareDataDirectory(ws, *lock, port, steps);
  }
  void TearDown() override {
    lock.reset();
    store::testing::ScratchDir::TearDown();
  }

  std::unique_ptr<store::DataDirLock> lock;

};

}  // namespace canalix::shell::testing
