// Orders of a work area: attaching the compound index file, navigation in key
// order with scopes, seeks, key counts, building tags and keeping every tag up
// to date when a record is written.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "store/names.h"
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

}  // namespace

std::vector<IndexEntry> collectKeys(WorkArea& area, WorkArea::State& s, const OrderDef& o, uint32_t count) {
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

namespace {

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

bool attachIndex(WorkArea& area, WorkArea::State& s, const std::filesystem::path& path) {
  int rc = 0;
  std::unique_ptr<CdxFile> index = CdxFile::open(s.file->env(), path, s.readOnly, rc);
  if (!index) return false;
  s.index = std::move(index);
  try {
    loadOrders(area, s);
  } catch (...) {
    s.index.reset();
    s.orders.clear();
    throw;
  }
  s.file->setIndexAttached(true);
  return true;
}

// Attaches the index file or throws 21/1003, for the calls that cannot fail quietly.
static void requireIndex(WorkArea& area, WorkArea::State& s, const std::filesystem::path& path) {
  if (!attachIndex(area, s, path))
    throw EngineError(err::kIndexOpen, err::kIndexOpenSub, "DBSETINDEX", path.string(), "acceso denegado");
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
  std::optional<CdxFile::ChangeScope> change;
  for (size_t i = 0; i < s.orders.size(); ++i) {
    if (before[i] == after[i]) continue;
    if (!change) change.emplace(*s.index);
    if (before[i]) s.index->remove(int(i + 1), {*before[i], s.recno});
    if (after[i]) s.index->insert(int(i + 1), {*after[i], s.recno});
  }
}

void rebuildOrders(WorkArea& area, WorkArea::State& s, uint32_t count) {
  if (!s.index) return;
  for (size_t i = 0; i < s.orders.size(); ++i) s.index->rebuild(int(i + 1), collectKeys(area, s, s.orders[i], count));
}

// ---- navigation in key order ---------------------------------------------------

namespace {

// The controlling order as navigation sees it: a descending tag read from its
// highest entry down, and the scopes as bounds of that sequence.
class Sequence {
 public:
  explicit Sequence(WorkArea::State& s) : s_(s), def_(s.orders[size_t(s.order - 1)]) {}

  // Comparison of a key with a prefix, in the direction of the sequence.
  int cmp(const std::string& key, const std::string& prefix) const {
    const int c = comparePrefix(key, prefix);
    return def_.descending ? -c : c;
  }
  bool beforeTop(const std::string& key) const { return s_.scopeTop && cmp(key, *s_.scopeTop) < 0; }
  bool afterBottom(const std::string& key) const { return s_.scopeBottom && cmp(key, *s_.scopeBottom) > 0; }

  // Entries to start from: the first of the sequence whose key is not before
  // `prefix`, and the last whose key is not after it (inclusive walks).
  IndexEntry firstFrom(const std::string& prefix) const { return def_.descending ? high(prefix) : low(prefix); }
  IndexEntry lastUpTo(const std::string& prefix) const { return def_.descending ? low(prefix) : high(prefix); }
  IndexEntry first() const { return firstFrom(""); }
  IndexEntry last() const { return lastUpTo(""); }
  IndexEntry topStart() const { return s_.scopeTop ? firstFrom(*s_.scopeTop) : first(); }
  IndexEntry bottomStart() const { return s_.scopeBottom ? lastUpTo(*s_.scopeBottom) : last(); }

  void walk(const IndexEntry& from, bool forward, bool inclusive, const std::function<bool(const IndexEntry&)>& visit) {
    s_.index->scan(s_.order, from, forward != def_.descending, inclusive, visit);
  }

 private:
  static IndexEntry low(const std::string& prefix) { return {prefix, 0}; }
  IndexEntry high(const std::string& prefix) const {
    std::string k = prefix;
    if (k.size() < size_t(def_.type.length) + 1) k.resize(size_t(def_.type.length) + 1, '\xFF');
    return {k, UINT32_MAX};
  }
  WorkArea::State& s_;
  const OrderDef& def_;
};

void toEof(WorkArea::State& s, uint32_t count) {
  s.entry.reset();
  s.recno = count + 1;
  s.eof = true;
  s.buffer = s.file->blankRecord();
}

// Stands on the record of `e` and tells whether it is visible.
bool visibleEntry(WorkArea& area, WorkArea::State& s, const IndexEntry& e, uint32_t count) {
  if (e.recno < 1 || e.recno > count)
    throw EngineError(err::kCorrupt, err::kCorruptSub, "índice", s.index->path().string(),
                      "el registro " + std::to_string(e.recno) + " no existe en la tabla");
  s.recno = e.recno;
  s.eof = false;
  s.entry = e;
  s.file->readRecord(e.recno, s.buffer);
  if (s.buffer[0] == '*') return false;
  return !s.filter || s.filter(area);
}

// Walks from `from` to the first visible record within the scopes; false when none.
bool seekVisible(WorkArea& area, WorkArea::State& s, Sequence& q, const IndexEntry& from, bool forward,
                 bool inclusive, uint32_t count) {
  bool found = false;
  q.walk(from, forward, inclusive, [&](const IndexEntry& e) {
    if (forward ? q.afterBottom(e.key) : q.beforeTop(e.key)) return false;
    if (forward ? q.beforeTop(e.key) : q.afterBottom(e.key)) return true;
    found = visibleEntry(area, s, e, count);
    return !found;
  });
  return found;
}

// The entry of the current record in the controlling order (where it would be).
IndexEntry here(WorkArea& area, WorkArea::State& s) {
  // Moving on from the entry itself keeps navigation going forward even when
  // an entry and its record disagree.
  if (s.entry && s.entry->recno == s.recno) return *s.entry;
  const std::optional<std::string> key = keyOf(area, s.orders[size_t(s.order - 1)]);
  return {key.value_or(std::string()), s.recno};
}

}  // namespace

void orderedEnd(WorkArea& area, WorkArea::State& s, bool bottom, uint32_t count) {
  Sequence q(s);
  const bool found = bottom ? seekVisible(area, s, q, q.bottomStart(), false, true, count)
                            : seekVisible(area, s, q, q.topStart(), true, true, count);
  if (!found) {
    toEof(s, count);
    s.bof = true;
  }
}

void orderedSkip(WorkArea& area, WorkArea::State& s, long n, uint32_t count) {
  Sequence q(s);
  for (long i = 0; i < std::labs(n); ++i) {
    if (n > 0) {
      if (s.eof) return;
      if (!seekVisible(area, s, q, here(area, s), true, false, count)) return toEof(s, count);
      continue;
    }
    const bool moved = s.eof ? seekVisible(area, s, q, q.bottomStart(), false, true, count)
                             : seekVisible(area, s, q, here(area, s), false, false, count);
    if (moved) continue;
    // Before the first visible record: stand on it, with BOF set.
    s.bof = true;
    if (!seekVisible(area, s, q, q.topStart(), true, true, count)) toEof(s, count);
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
    flush(*this, *s_, LASTREC());
    s_->index.reset();
    s_->order = 0;
    requireIndex(*this, *s_, path);
  }
  if (s_->order == 0 && !s_->orders.empty()) {
    s_->order = 1;
    DBGOTOP();
  }
}

void WorkArea::DBSETORDER(int order) {
  flush(*this, *s_, LASTREC());
  s_->order = order >= 1 && order <= int(s_->orders.size()) ? order : 0;
  s_->scopeTop.reset();
  s_->scopeBottom.reset();
}

int WorkArea::INDEXORD() const { return s_->order; }
bool WorkArea::indexAttached() const { return s_->index != nullptr; }
int WorkArea::orderCount() const { return int(s_->orders.size()); }

int WorkArea::orderNumber(const std::string& name) const {
  const std::string want = upperAscii(name);
  for (size_t i = 0; i < s_->orders.size(); ++i)
    if (s_->orders[i].name == want) return int(i + 1);
  return 0;
}

bool WorkArea::DBSEEK(const Value& key, bool soft) {
  State& s = *s_;
  flush(*this, *s_, LASTREC());
  const uint32_t count = LASTREC();
  s.bof = false;
  s.found = false;
  if (s.order == 0) {
    toEof(s, count);
    return false;
  }
  Sequence q(s);
  const std::string prefix = indexKey(key, s.orders[size_t(s.order - 1)].type, true);
  bool stands = false;
  q.walk(q.firstFrom(prefix), true, true, [&](const IndexEntry& e) {
    if (q.afterBottom(e.key)) return false;
    if (q.beforeTop(e.key) || !visibleEntry(*this, s, e, count)) return true;
    s.found = q.cmp(e.key, prefix) == 0;
    stands = s.found || soft || ws_.softSeek();
    return false;
  });
  if (!stands) toEof(s, count);
  return s.found;
}

void WorkArea::ORDSCOPE(int which, const std::optional<Value>& value) {
  if (s_->order == 0) return;
  std::optional<std::string> bound;
  if (value) bound = indexKey(*value, s_->orders[size_t(s_->order - 1)].type, true);
  (which == 0 ? s_->scopeTop : s_->scopeBottom) = bound;
}

// Counts the visible keys of the controlling order from the top, up to the
// current record when `upToCurrent`; the area keeps its position.
static uint32_t countKeys(WorkArea& area, WorkArea::State& s, bool upToCurrent) {
  const uint32_t count = area.LASTREC();
  const std::string buffer = s.buffer;
  const uint32_t recno = s.recno;
  const bool eof = s.eof;
  const std::optional<IndexEntry> entry = s.entry;
  Sequence q(s);
  uint32_t n = 0;
  bool reached = false;
  q.walk(q.topStart(), true, true, [&](const IndexEntry& e) {
    if (q.afterBottom(e.key)) return false;
    if (q.beforeTop(e.key)) return true;
    if (s.filter && !visibleEntry(area, s, e, count)) return true;
    ++n;
    reached = e.recno == recno;
    return !(upToCurrent && reached);
  });
  s.buffer = buffer;
  s.recno = recno;
  s.eof = eof;
  s.entry = entry;
  return !upToCurrent || reached ? n : 0;
}

uint32_t WorkArea::ORDKEYCOUNT() {
  if (s_->order == 0) return LASTREC();
  flush(*this, *s_, LASTREC());
  return countKeys(*this, *s_, false);
}

uint32_t WorkArea::ORDKEYNO() {
  if (s_->eof) return 0;
  if (s_->order == 0) return s_->recno;
  flush(*this, *s_, LASTREC());
  return countKeys(*this, *s_, true);
}

void WorkArea::ORDCONDSET(const std::string& forText, bool descending) {
  s_->pendingFor = forText;
  s_->pendingDescending = descending;
}

void WorkArea::ORDCREATE(const std::string& indexFile, const std::string& tag, const std::string& keyText) {
  State& s = *s_;
  if (s.readOnly) throw EngineError(err::kReadOnly, err::kReadOnlySub, "ORDCREATE", s.file->name(), "tabla abierta solo para lectura");
  flush(*this, *s_, LASTREC());
  const std::filesystem::path path = indexPath(*this, indexFile);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) CdxFile::create(s.file->env(), path);
  if (!s.index || s.index->path() != path) {
    s.index.reset();
    s.order = 0;
    requireIndex(*this, s, path);
  }
  const std::string forText = s.pendingFor;
  const bool descending = s.pendingDescending;
  s.pendingFor.clear();
  s.pendingDescending = false;
  CdxTag t;
  t.name = upperAscii(tag);
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
                                        collectKeys(*this, s, o, LASTREC()));
  loadOrders(*this, s);
  s.order = number;
  s.scopeTop.reset();
  s.scopeBottom.reset();
  DBGOTOP();
}

}  // namespace canalix::store
