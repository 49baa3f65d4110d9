// The orders every indexed table carries, in their numbering (screens select
// orders by these numbers), and the two start-up steps built on them: the
// building of missing index files (INDEXAFI) and the opening of the tables
// for shared use (ABREFI).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/table_engine.h"

namespace canalix::store {

struct TagDef {
  std::string_view name;
  std::string_view keyExpression;  // stored text, written into the index file unchanged
  bool descending;
};

// The tags of `table` (any case) in creation order; empty for a table
// without index file. Every tag carries the FOR condition kOrderFor.
std::span<const TagDef> tableOrders(std::string_view table);
inline constexpr std::string_view kOrderFor = "!DELETED()";

// Creates the tags of `table` on `area` (opened exclusively), in order.
// `usuariosTag` names the one tag of USUARIOS: "CLAVE" when INDEXAFI builds
// it, "USUARIOS" when the reorganisation does.
void createOrders(WorkArea& area, std::string_view table, std::string_view usuariosTag = "CLAVE");

// For each indexed table whose index file is missing, opens it exclusively,
// builds its tags and closes it. Existing index files are left as they are.
// Requires: the tables closed in `ws`. Returns the tables indexed.
std::vector<std::string> INDEXAFI(Workspace& ws);

// Opens the tables for the run, shared, each under its name, with its index
// file, standing on the first record of order 1; SOCIOS is left current.
// Returns false (network-error flag set) when another copy's use forbids
// an open; the tables opened until then stay open.
bool ABREFI(Workspace& ws);

}  // namespace canalix::store
