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

// Creates the tags of `table` on `area` (opened exclusively), in order, in
// the index file named after the area's table file.
// `usuariosTag` names the one tag of USUARIOS: "CLAVE" when INDEXAFI builds
// it, "USUARIOS" when the reorganisation does.
void createOrders(WorkArea& area, std::string_view table, std::string_view usuariosTag = "CLAVE");

struct IndexReport {
  std::vector<std::string> built;     // tables whose index file was built
  std::vector<std::string> setAside;  // damaged index files, by the name they were kept under
};

// For each indexed table whose index file is missing or cannot be read,
// opens it exclusively, builds its tags and closes it. A damaged index file
// is first renamed aside intact ("SOCIOS.CDX.dañado"). Index files that can
// be read are left as they are.
// Requires: the tables closed in `ws`. Throws 21/1001 naming the table when
// another copy's use forbids the exclusive open: such a table cannot be
// shared without its index.
IndexReport INDEXAFI(Workspace& ws);

// Opens the tables for the run, shared, each under its name, with its index
// file, standing on the first record of order 1; SOCIOS is left current.
// Throws 21/1001 naming the table when another copy's use forbids an open,
// and 21/1003 when an indexed table has no index file: shared without it, it
// would lock at other offsets than the copies using it. Nothing is left open
// on a throw.
void ABREFI(Workspace& ws);

// The text telling the user that the damaged index file `table`.CDX was put
// aside as `keptAs` and built again.
std::string setAsideNotice(const std::string& keptAs);

}  // namespace canalix::store
