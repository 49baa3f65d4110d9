// The state of a work area, shared by the files that implement the engine
// (table_engine.cpp for records and locks, work_area_orders.cpp for orders).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "store/cdx_file.h"
#include "store/key_expression.h"
#include "store/table_engine.h"
#include "store/table_file.h"

namespace canalix::store {

// One tag of the attached index file, with its expressions parsed.
struct OrderDef {
  std::string name;
  KeyExpression key;
  std::optional<KeyExpression> forCondition;
  bool descending = false;
  KeyType type;
};

struct WorkArea::State {
  std::unique_ptr<TableFile> file;
  bool shared = false;
  bool readOnly = false;
  uint32_t recno = 1;
  bool eof = true;
  bool bof = false;
  bool found = false;
  std::string buffer;
  bool changed = false;
  std::set<uint32_t> locks;
  bool fileLocked = false;
  uint32_t count = 0;         // exclusive use: records including unwritten header changes
  bool headerDirty = false;   // exclusive use: records added since the header was written
  std::function<bool(WorkArea&)> filter;
  std::string filterText;

  // Orders: the attached index file, its tags, the controlling order (0 =
  // record order) and its scopes as encoded key prefixes.
  std::unique_ptr<CdxFile> index;
  std::vector<OrderDef> orders;
  int order = 0;
  std::optional<std::string> scopeTop, scopeBottom;
  std::optional<IndexEntry> entry;  // the order's entry the area stands on, when it came there by the order
  bool appended = false;  // the current record was appended and has no keys yet
  std::string pendingFor;  // ORDCONDSET: FOR text and descending flag of the next ORDCREATE
  bool pendingDescending = false;
};

// Writes the area's pending record change, if any, and updates its keys
// (no flush to disk: that is DBCOMMIT's).
void flush(WorkArea& area, WorkArea::State& s, uint32_t count);
// The key bytes of `v` in an order of `type`; a `prefix` text is not padded.
std::string indexKey(const Value& v, KeyType type, bool prefix);
// Opens the index file at `path` for the area and parses its tags; false
// when the system refuses access (another user's). Throws 21/1003 and
// 32/1012; on failure the area keeps no index.
bool attachIndex(WorkArea& area, WorkArea::State& s, const std::filesystem::path& path);
// Updates every tag for the record in the buffer, which replaced `oldRecord`
// in the file (a fresh append has no keys yet).
void updateKeys(WorkArea& area, WorkArea::State& s, const std::string& oldRecord, bool fresh);
// The keys of order `o` over the `count` records of the table, sorted.
std::vector<IndexEntry> collectKeys(WorkArea& area, WorkArea::State& s, const OrderDef& o, uint32_t count);
// Rebuilds every tag over the `count` records of the table.
void rebuildOrders(WorkArea& area, WorkArea::State& s, uint32_t count);
// Top (or bottom) and skips in the controlling order.
void orderedEnd(WorkArea& area, WorkArea::State& s, bool bottom, uint32_t count);
void orderedSkip(WorkArea& area, WorkArea::State& s, long n, uint32_t count);

}  // namespace canalix::store
