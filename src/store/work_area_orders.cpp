// Orders of a work area: attaching the compound index file, navigation in key
// order with scopes, seeks, key counts, building tags and keeping every tag up
// to date when a record is written.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "store/work_area_state.h"

namespace canalix::store {
namespace {

// The 8-byte key of a number: big-endian IEEE double, sign bit flipped for
// zero and positive values, every byte inverted for negative ones, so that
// byte order is numeric order.
std::string numberKey(double v) {
  if (v == 0) v = 0;  // -0 sorts as 0
  uint64_t bits = 0;
  std::memcpy(&bits, &v, 8);
  bits = v < 0 ? ~bits : bits ^ (1ull << 63);
  std::string k(8, '\0');
  for (int i = 0; i < 8; ++i) k[size_t(i)] = char((bits >> (56 - 8 * i)) & 0xFF);
  return k;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

int comparePrefix(const std::string& key, const std::string& prefix) {
  const size_t n = std::min(key.size(), prefix.size());
  const int c = std::memcmp(key.data(), prefix.data(), n);
  if (c != 0) return c;
  return key.size() < prefix.size() ? -1 : 0;
}

}  // namespace

std::string indexKey(const Value& v, KeyType type, bool prefix) {
  if (const auto* s = std::get_if<std::string>(&v)) {
    if (prefix) return *s;
    std::string k = s->substr(0, size_t(type.length));
    k.resize(size_t(type.length), ' ');
    return k;
  }
  if (const auto* d = std::get_if<double>(&v)) return numberKey(*d);
  if (const auto* d = std::get_if<Date>(&v)) return numberKey(double(d->julian));
  return std::get<bool>(v) ? "T" : "F";
}

namespace {

char fillOf(KeyType t) { return t.type == 'C' ? ' ' : '\0'; }

[[noreturn]] void badTag(const WorkArea::State& s, const std::string& detail) {
  throw EngineError(err::kCorrupt, err::kCorruptSub, "DBSETINDEX", s.index->path().string(), detail);
}

// The key and FOR result of the area's current buffer for `o`.
std::optional<std::string> keyOf(WorkArea& area, const OrderDef& o) {
  if (o.forCondition) {
    const Value pass = o.forCondition->evaluate(area);
    if (!std::get<bool>(pass)) return std::nullopt;
  }
  return indexKey(o.key.evaluate(area), o.type, false);
}

// Keys of every record meeting each order's FOR condition, sorted.
std::vector<IndexEntry> collect(WorkArea& area, WorkArea::State& s, const OrderDef& o, uint32_t count) {
  std::vector<IndexEntry> out;
  const std::string saved = s.buffer;
  const uint32_t savedRecno = s.recno;
  const bool savedEof = s.eof;
  for (uint32_t n = 1; n <= count; ++n) {
    s.file->readRecord(n, s.buffer);
    s.recno = n;
    s.eof = false;
    if (auto k = keyOf(area, o)) out.push_back({*k, n});
  }
  s.buffer = saved;
  s.recno = savedRecno;
  s.eof = savedEof;
  std::sort(out.begin(), out.end(), entryLess);
  return out;
}

OrderDef parseTag(WorkArea& area, WorkArea::State& s, const CdxTag& t) {
  OrderDef o{t.name, KeyExpression(t.keyExpression, area), std::nullopt, t.descending, {}};
  if (!t.forExpression.empty()) {
    o.forCondition.emplace(t.forExpression, area);
    if (o.forCondition->type().type != 'L') badTag(s, "la condición FOR de " + t.name + " no es lógica");
  }
  o.type = o.key.type();
  const int expected = o.type.type == 'C' ? o.type.length : o.type.type == 'L' ? 1 : 8;
  if (t.keyLength != expected)
    badTag(s, "la etiqueta " + t.name + " tiene claves de " + std::to_string(t.keyLength) + " bytes y su expresión da " +
                  std::to_string(expected));
  return o;
}

void loadOrders(WorkArea& area, WorkArea::State& s) {
  s.orders.clear();
  const std::vector<CdxTag> tags = s.index->tags();
  for (size_t i = 0; i < tags.size(); ++i) {
    s.orders.push_back(parseTag(area, s, tags[i]));
    s.index->setFill(int(i + 1), fillOf(s.orders.back().type));
  }
}

}  // namespace

void attachIndex(WorkArea& area, WorkArea::State& s, const std::filesystem::path& path) {
  int rc = 0;
  std::unique_ptr<CdxFile> index = CdxFile::open(s.file->env(), path, s.readOnly, rc);
  if (!index)
    throw EngineError(err::kIndexOpen, err::kIndexOpenSub, "DBSETINDEX", path.string(), std::strerror(rc));
  s.index = std::move(index);
  try {
    loadOrders(area, s);
  } catch (...) {
    s.index.reset();
    s.orders.clear();
    throw;
  }
  s.file->setIndexAttached(true);
}

// Brings every tag up to date for the record in the buffer, written over
// `oldRecord` (or new, without keys, when `fresh`).
void updateKeys(WorkArea& area, WorkArea::State& s, const std::string& oldRecord, bool fresh) {
  if (!s.index) return;
  std::vector<std::optional<std::string>> before, after;
  for (const OrderDef& o : s.orders) after.push_back(keyOf(area, o));
  if (!fresh) {
    std::string current = oldRecord;
    std::swap(current, s.buffer);
    try {
      for (const OrderDef& o : s.orders) before.push_back(keyOf(area, o));
    } catch (...) {
      std::swap(current, s.buffer);
      throw;
    }
    std::swap(current, s.buffer);
  } else {
    before.assign(s.orders.size(), std::nullopt);
  }
  for (size_t i = 0; i < s.orders.size(); ++i) {
    if (before[i] == after[i]) continue;
    if (before[i]) s.index->remove(int(i + 1), {*before[i], s.recno});
    if (after[i]) s.index->insert(int(i + 1), {*after[i], s.recno});
  }
}

void rebuildOrders(WorkArea& area, WorkArea::State& s, uint32_t count) {
  if (!s.index) return;
  for (size_t i = 0; i < s.orders.size(); ++i) s.index->rebuild(int(i + 1), collect(area, s, s.orders[i], count));
}

// ---- navigation in key order ---------------------------------------------------

namespace {

struct Sequence {
  const std::vector<IndexEntry>& asc;
  bool descending;
  size_t size() const { return asc.size(); }
  const IndexEntry& at(size_t i) const { return descending ? asc[asc.size() - 1 - i] : asc[i]; }
  // Comparison of a key with a prefix in the direction of the sequence.
  int cmp(const std::string& key, const std::string& prefix) const {
    const int c = comparePrefix(key, prefix);
    return descending ? -c : c;
  }
};

Sequence sequence(WorkArea::State& s) {
  const OrderDef& o = s.orders[size_t(s.order - 1)];
  return Sequence{s.index->entries(s.order), o.descending};
}

bool inScope(const WorkArea::State& s, const Sequence& q, const std::string& key) {
  if (s.scopeTop && q.cmp(key, *s.scopeTop) < 0) return false;
  if (s.scopeBottom && q.cmp(key, *s.scopeBottom) > 0) return false;
  return true;
}

// Stands on entry i of the sequence and tells whether it is visible.
bool visibleEntry(WorkArea& area, WorkArea::State& s, const Sequence& q, size_t i) {
  const IndexEntry& e = q.at(i);
  if (!inScope(s, q, e.key)) return false;
  s.recno = e.recno;
  s.eof = false;
  s.file->readRecord(e.recno, s.buffer);
  if (s.buffer[0] == '*') return false;
  return !s.filter || s.filter(area);
}

void toEof(WorkArea::State& s, uint32_t count) {
  s.recno = count + 1;
  s.eof = true;
  s.buffer = s.file->blankRecord();
}

// First visible entry from i moving by step; false when none.
bool scan(WorkArea& area, WorkArea::State& s, const Sequence& q, int64_t i, int step) {
  for (; i >= 0 && i < int64_t(q.size()); i += step)
    if (visibleEntry(area, s, q, size_t(i))) return true;
  return false;
}

// Where the sequence continues forward and backward from the current record.
std::pair<int64_t, int64_t> around(WorkArea& area, WorkArea::State& s, const Sequence& q) {
  const OrderDef& o = s.orders[size_t(s.order - 1)];
  const std::optional<std::string> key = keyOf(area, o);
  const IndexEntry here{key.value_or(std::string()), s.recno};
  const auto it = std::lower_bound(q.asc.begin(), q.asc.end(), here, entryLess);
  const int64_t j = it - q.asc.begin(), n = int64_t(q.size());
  const bool exact = key && it != q.asc.end() && *it == here;
  if (!q.descending) return exact ? std::pair{j + 1, j - 1} : std::pair{j, j - 1};
  const int64_t seq = n - 1 - j;
  return exact ? std::pair{seq + 1, seq - 1} : std::pair{seq + 1, seq};
}

// Index of the first entry of the sequence whose key is not before `prefix`.
size_t firstNotBefore(const Sequence& q, const std::string& prefix) {
  size_t lo = 0, hi = q.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (q.cmp(q.at(mid).key, prefix) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

}  // namespace

void orderedEnd(WorkArea& area, WorkArea::State& s, bool bottom, uint32_t count) {
  const Sequence q = sequence(s);
  const bool found = bottom ? scan(area, s, q, int64_t(q.size()) - 1, -1) : scan(area, s, q, 0, +1);
  if (!found) {
    toEof(s, count);
    s.bof = true;
  }
}

void orderedSkip(WorkArea& area, WorkArea::State& s, long n, uint32_t count) {
  const Sequence q = sequence(s);
  for (long i = 0; i < std::labs(n); ++i) {
    if (n > 0 && s.eof) return;
    int64_t from;
    if (s.eof) {
      from = int64_t(q.size()) - 1;  // backwards from end of file: the last key
    } else {
      const auto [fwd, back] = around(area, s, q);
      from = n > 0 ? fwd : back;
    }
    if (scan(area, s, q, from, n > 0 ? +1 : -1)) continue;
    if (n > 0) {
      toEof(s, count);
      return;
    }
    s.bof = true;
    if (!scan(area, s, q, 0, +1)) toEof(s, count);
    return;
  }
}

// ---- the area's order operations -----------------------------------------------

static std::filesystem::path indexPath(WorkArea& area, const std::string& indexFile) {
  std::filesystem::path p = indexFile.empty() ? area.path().stem().string() + ".CDX" : indexFile;
  if (p.extension().empty()) p += ".CDX";
  return area.workspace().resolve(p.string());
}

void WorkArea::DBSETINDEX(const std::string& indexFile) {
  const std::filesystem::path path = indexPath(*this, indexFile);
  if (!s_->index || s_->index->path() != path) {
    DBCOMMIT();
    s_->index.reset();
    s_->order = 0;
    attachIndex(*this, *s_, path);
  }
  if (s_->order == 0 && !s_->orders.empty()) {
    s_->order = 1;
    DBGOTOP();
  }
}

void WorkArea::DBSETORDER(int order) {
  DBCOMMIT();
  s_->order = order >= 1 && order <= int(s_->orders.size()) ? order : 0;
  s_->scopeTop.reset();
  s_->scopeBottom.reset();
}

int WorkArea::INDEXORD() const { return s_->order; }
bool WorkArea::indexAttached() const { return s_->index != nullptr; }
int WorkArea::orderCount() const { return int(s_->orders.size()); }

int WorkArea::orderNumber(const std::string& name) const {
  const std::string want = upper(name);
  for (size_t i = 0; i < s_->orders.size(); ++i)
    if (s_->orders[i].name == want) return int(i + 1);
  return 0;
}

bool WorkArea::DBSEEK(const Value& key, bool soft) {
  State& s = *s_;
  const uint32_t count = LASTREC();
  DBCOMMIT();
  s.bof = false;
  s.found = false;
  if (s.order == 0) {
    toEof(s, count);
    return false;
  }
  const Sequence q = sequence(s);
  const std::string prefix = indexKey(key, s.orders[size_t(s.order - 1)].type, true);
  for (size_t i = firstNotBefore(q, prefix); i < q.size(); ++i) {
    if (!visibleEntry(*this, s, q, i)) continue;
    s.found = q.cmp(q.at(i).key, prefix) == 0;
    if (s.found || soft || ws_.softSeek()) return s.found;
    break;
  }
  toEof(s, count);
  return false;
}

void WorkArea::ORDSCOPE(int which, const std::optional<Value>& value) {
  if (s_->order == 0) return;
  std::optional<std::string> bound;
  if (value) bound = indexKey(*value, s_->orders[size_t(s_->order - 1)].type, true);
  (which == 0 ? s_->scopeTop : s_->scopeBottom) = bound;
}

uint32_t WorkArea::ORDKEYCOUNT() {
  State& s = *s_;
  if (s.order == 0) return LASTREC();
  DBCOMMIT();
  const Sequence q = sequence(s);
  if (!s.filter) {
    uint32_t n = 0;
    for (size_t i = 0; i < q.size(); ++i) n += inScope(s, q, q.at(i).key) ? 1 : 0;
    return n;
  }
  const std::string saved = s.buffer;
  const uint32_t recno = s.recno;
  const bool eof = s.eof;
  uint32_t n = 0;
  for (size_t i = 0; i < q.size(); ++i) n += visibleEntry(*this, s, q, i) ? 1 : 0;
  s.buffer = saved;
  s.recno = recno;
  s.eof = eof;
  return n;
}

uint32_t WorkArea::ORDKEYNO() {
  State& s = *s_;
  if (s.eof) return 0;
  if (s.order == 0) return s.recno;
  DBCOMMIT();
  const Sequence q = sequence(s);
  const std::optional<std::string> key = keyOf(*this, s.orders[size_t(s.order - 1)]);
  if (!key) return 0;
  uint32_t n = 0;
  for (size_t i = 0; i < q.size(); ++i) {
    if (!inScope(s, q, q.at(i).key)) continue;
    ++n;
    if (q.at(i).recno == s.recno) return n;
  }
  return 0;
}

void WorkArea::ORDCONDSET(const std::string& forText, bool descending) {
  s_->pendingFor = forText;
  s_->pendingDescending = descending;
}

void WorkArea::ORDCREATE(const std::string& indexFile, const std::string& tag, const std::string& keyText) {
  State& s = *s_;
  if (s.readOnly) throw EngineError(err::kReadOnly, err::kReadOnlySub, "ORDCREATE", s.file->name(), "tabla abierta solo para lectura");
  DBCOMMIT();
  const std::filesystem::path path = indexPath(*this, indexFile);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) CdxFile::create(s.file->env(), path);
  if (!s.index || s.index->path() != path) {
    s.index.reset();
    s.order = 0;
    attachIndex(*this, s, path);
  }
  const std::string forText = s.pendingFor;
  const bool descending = s.pendingDescending;
  s.pendingFor.clear();
  s.pendingDescending = false;
  CdxTag t;
  t.name = upper(tag);
  t.keyExpression = keyText;
  t.forExpression = forText;
  t.descending = descending;
  OrderDef o = parseTag(*this, s, [&] {
    CdxTag probe = t;
    KeyExpression k(keyText, *this);
    probe.keyLength = k.type().type == 'C' ? k.type().length : k.type().type == 'L' ? 1 : 8;
    return probe;
  }());
  const int keyLength = o.type.type == 'C' ? o.type.length : o.type.type == 'L' ? 1 : 8;
  const int number = s.index->createTag(t.name, keyText, forText, keyLength, fillOf(o.type), descending,
                                        collect(*this, s, o, LASTREC()));
  loadOrders(*this, s);
  s.order = number;
  s.scopeTop.reset();
  s.scopeBottom.reset();
  DBGOTOP();
}

}  // namespace canalix::store
