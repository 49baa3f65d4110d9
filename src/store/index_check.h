// The soundness check of a table's compound index file: every tag's tree, and
// every tag against the keys its records give.
#pragma once

#include <string>
#include <vector>

#include "store/table_engine.h"

namespace canalix::store {

// Problems found in the index file attached to `area`, one Spanish line each;
// empty when the index is sound (or the table has none). Throws 32/1012 when
// a page cannot even be read.
std::vector<std::string> checkIndex(WorkArea& area);

}  // namespace canalix::store
