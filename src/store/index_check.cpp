// checkIndex: the tree of each tag (verify) and its entries compared with the
// keys computed afresh from the records.
#include "store/index_check.h"

#include <algorithm>
#include <iterator>

#include "store/work_area_state.h"

namespace canalix::store {
namespace {

std::string describe(const IndexEntry& e) { return "registro " + std::to_string(e.recno) + " clave \"" + e.key + "\""; }

// One line for the entries of `a` that `b` lacks, naming the first of them.
void reportMissing(const std::vector<IndexEntry>& a, const std::vector<IndexEntry>& b, const std::string& what,
                   std::vector<std::string>& problems) {
  std::vector<IndexEntry> missing;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(missing), entryLess);
  if (missing.empty()) return;
  problems.push_back(what + ": " + std::to_string(missing.size()) + " (el primero, " + describe(missing.front()) + ")");
}

}  // namespace

std::vector<std::string> checkIndex(WorkArea& area) {
  WorkArea::State& s = *area.state();
  std::vector<std::string> problems;
  if (!s.index) return problems;
  area.DBCOMMIT();
  const uint32_t count = area.LASTREC();
  for (size_t i = 0; i < s.orders.size(); ++i) {
    const int order = int(i + 1);
    const std::string tag = "etiqueta " + s.orders[i].name;
    for (std::string& p : s.index->verify(order)) problems.push_back(std::move(p));
    const std::vector<IndexEntry> actual = s.index->entries(order);
    const std::vector<IndexEntry> expected = collectKeys(area, s, s.orders[i], count);
    reportMissing(expected, actual, tag + ", claves que faltan", problems);
    reportMissing(actual, expected, tag + ", claves que sobran", problems);
  }
  return problems;
}

}  // namespace canalix::store
