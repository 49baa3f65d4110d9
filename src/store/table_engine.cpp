// Work areas: navigation over visible records, the record buffer, appends,
// locks and the header rules of shared and exclusive use.
#include "store/names.h"
#include "store/table_engine.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "store/file_layer.h"
#include "store/table_file.h"
#include "store/work_area_state.h"

namespace canalix::store {
namespace {

}  // namespace


// ---- the area's own helpers ------------------------------------------------

WorkArea::WorkArea(Workspace& ws, std::string alias, std::unique_ptr<TableFile> file)
    : ws_(ws), alias_(std::move(alias)), s_(std::make_unique<State>()) {
  s_->file = std::move(file);
}

WorkArea::~WorkArea() = default;

const std::filesystem::path& WorkArea::path() const { return s_->file->path(); }
bool WorkArea::shared() const { return s_->shared; }
bool WorkArea::readOnly() const { return s_->readOnly; }
const Structure& WorkArea::structure() const { return s_->file->structure(); }
int WorkArea::fieldIndex(const std::string& name) const { return s_->file->fieldIndex(name); }

uint32_t WorkArea::LASTREC() const { return s_->shared ? s_->file->countFromSize() : s_->count; }

// Writes the buffer when it changed, then brings the tags up to date.
void flush(WorkArea& area, WorkArea::State& s, uint32_t count) {
  if (!s.changed) return;
  s.changed = false;
  const bool fresh = s.appended;
  s.appended = false;
  if (s.recno < 1 || s.recno > count) return;
  std::string old;
  if (s.index && !fresh) s.file->readRecord(s.recno, old);
  s.file->writeRecord(s.recno, s.buffer);
  s.entry.reset();  // its keys may have changed
  updateKeys(area, s, old, fresh);
}

// Loads record n into the buffer, or the blank end-of-file record.
static void load(WorkArea::State& s, uint32_t n, uint32_t count) {
  s.entry.reset();
  if (n >= 1 && n <= count) {
    s.recno = n;
    s.eof = false;
    s.file->readRecord(n, s.buffer);
  } else {
    s.recno = count + 1;
    s.eof = true;
    s.buffer = s.file->blankRecord();
  }
}

bool WorkArea::DELETED() const { return !s_->eof && s_->buffer[0] == '*'; }

// Positions on record n and tells whether it is visible.
static bool visibleAt(WorkArea& area, WorkArea::State& s, uint32_t n, uint32_t count) {
  load(s, n, count);
  if (s.buffer[0] == '*') return false;
  return !s.filter || s.filter(area);
}

// Stands on the first visible record from `from` moving by `step` (+1 or -1);
// false when none is left in that direction (the position is then undefined).
static bool seekVisible(WorkArea& area, WorkArea::State& s, int64_t from, int step, uint32_t count) {
  for (int64_t n = from; n >= 1 && n <= int64_t(count); n += step)
    if (visibleAt(area, s, uint32_t(n), count)) return true;
  return false;
}

void WorkArea::DBGOTOP() {
  const uint32_t count = LASTREC();
  flush(*this, *s_, count);
  s_->bof = false;
  if (s_->order) return orderedEnd(*this, *s_, false, count);
  if (!seekVisible(*this, *s_, 1, +1, count)) {
    load(*s_, 0, count);
    s_->bof = true;
  }
}

void WorkArea::DBGOBOTTOM() {
  const uint32_t count = LASTREC();
  flush(*this, *s_, count);
  s_->bof = false;
  if (s_->order) return orderedEnd(*this, *s_, true, count);
  if (!seekVisible(*this, *s_, count, -1, count)) {
    load(*s_, 0, count);
    s_->bof = true;
  }
}

void WorkArea::DBSKIP(long n) {
  const uint32_t count = LASTREC();
  flush(*this, *s_, count);
  s_->bof = false;
  if (n == 0) {
    load(*s_, s_->recno, count);
    return;
  }
  if (s_->order) return orderedSkip(*this, *s_, n, count);
  if (n > 0) {
    for (long i = 0; i < n && !s_->eof; ++i)
      if (!seekVisible(*this, *s_, int64_t(s_->recno) + 1, +1, count)) load(*s_, 0, count);
    return;
  }
  for (long i = 0; i < -n; ++i) {
    const uint32_t here = s_->recno;
    if (!seekVisible(*this, *s_, int64_t(here) - 1, -1, count)) {
      // Before the first visible record: stand on it, with BOF set.
      s_->bof = true;
      if (!seekVisible(*this, *s_, 1, +1, count)) load(*s_, 0, count);
      return;
    }
  }
}

void WorkArea::DBGOTO(uint32_t n) {
  const uint32_t count = LASTREC();
  flush(*this, *s_, count);
  s_->bof = false;
  load(*s_, n, count);
}

bool WorkArea::Eof() const { return s_->eof; }
bool WorkArea::Bof() const { return s_->bof; }
bool WorkArea::Found() const { return s_->found; }
uint32_t WorkArea::RECNO() const { return s_->recno; }

void WorkArea::DBSETFILTER(std::function<bool(WorkArea&)> condition, std::string text) {
  s_->filter = std::move(condition);
  s_->filterText = std::move(text);
}

void WorkArea::DBCLEARFILTER() {
  s_->filter = nullptr;
  s_->filterText.clear();
}

const std::string& WorkArea::filterText() const { return s_->filterText; }

// ---- fields -----------------------------------------------------------------

static int requireField(const WorkArea& area, const TableFile& file, const std::string& field) {
  const int i = file.fieldIndex(field);
  if (i < 0) throw EngineError(err::kNoField, err::kNoFieldSub, area.alias() + "->" + field, file.name(), "no existe el campo");
  return i;
}

Value WorkArea::get(const std::string& field) const {
  return s_->file->decode(s_->buffer, requireField(*this, *s_->file, field));
}

static void wrongType(const WorkArea& area, const std::string& field) {
  throw EngineError(err::kDataType, err::kDataTypeSub, area.alias() + "->" + field, area.path().filename().string(),
                    "lectura con un tipo distinto del campo");
}

std::string WorkArea::getText(const std::string& field) const {
  Value v = get(field);
  if (!std::holds_alternative<std::string>(v)) wrongType(*this, field);
  return std::get<std::string>(v);
}
double WorkArea::getNumber(const std::string& field) const {
  Value v = get(field);
  if (!std::holds_alternative<double>(v)) wrongType(*this, field);
  return std::get<double>(v);
}
Date WorkArea::getDate(const std::string& field) const {
  Value v = get(field);
  if (!std::holds_alternative<Date>(v)) wrongType(*this, field);
  return std::get<Date>(v);
}
bool WorkArea::getLogical(const std::string& field) const {
  Value v = get(field);
  if (!std::holds_alternative<bool>(v)) wrongType(*this, field);
  return std::get<bool>(v);
}

static void requireWritable(const WorkArea& area, const WorkArea::State& s, const std::string& what) {
  if (s.readOnly)
    throw EngineError(err::kReadOnly, err::kReadOnlySub, what, s.file->name(), "tabla abierta solo para lectura");
  if (s.shared && !s.fileLocked && !s.locks.count(s.recno))
    throw EngineError(err::kUnlocked, err::kUnlockedSub, what, s.file->name(),
                      "registro " + std::to_string(s.recno) + " de " + area.alias() + " sin bloquear");
}

void WorkArea::put(const std::string& field, const Value& value) {
  const int i = requireField(*this, *s_->file, field);
  requireWritable(*this, *s_, alias_ + "->" + field);
  if (s_->eof) return;
  try {
    s_->file->encode(s_->buffer, i, value);
  } catch (const EngineError& e) {
    // A value that cannot be stored takes the whole pending change with it:
    // nothing of a half-made record may reach the file.
    if (e.genCode() == err::kDataWidth) {
      s_->changed = s_->appended;  // a fresh record still gets written, blank, with its keys
      s_->file->readRecord(s_->recno, s_->buffer);
    }
    throw;
  }
  s_->changed = true;
}

// ---- append, delete, pack ---------------------------------------------------

bool WorkArea::DBAPPEND() {
  State& s = *s_;
  ws_.setNetErr(false);
  if (s.readOnly) throw EngineError(err::kReadOnly, err::kReadOnlySub, "DBAPPEND", s.file->name(), "tabla abierta solo para lectura");
  flush(*this, s, LASTREC());
  TableFile& f = *s.file;
  const LockOffsets at = f.locks();
  if (!s.shared) {
    const uint32_t n = s.count + 1;
    f.writeRecord(n, f.blankRecord());
    s.count = n;
    s.headerDirty = true;
    load(s, n, n);
    s.bof = false;
    s.appended = s.changed = true;  // its keys go in when it is written
    return true;
  }
  if (f.env().lock(f.fd(), at.appendByte(), 1, LockKind::kExclusive, true) != LockResult::kGranted)
    throw EngineError(err::kAppendLock, err::kAppendLockSub, "DBAPPEND", f.name(), "no se puede bloquear la cabecera");
  // From here on the append byte is released on every path.
  struct AppendByte {
    TableFile& f;
    uint64_t at;
    ~AppendByte() { f.env().unlock(f.fd(), at, 1); }
  } guard{f, at.appendByte()};
  const uint32_t count = f.countFromSize();
  const uint32_t n = count + 1;
  for (uint32_t r : s.locks) f.env().unlock(f.fd(), at.record(r), 1);
  s.locks.clear();
  if (!s.fileLocked && f.env().lock(f.fd(), at.record(n), 1, LockKind::kExclusive) != LockResult::kGranted) {
    ws_.setNetErr(true);
    return false;
  }
  try {
    f.writeRecord(n, f.blankRecord());
    f.writeHeader(n, false);
  } catch (...) {
    f.truncateTo(count);
    if (!s.fileLocked) f.env().unlock(f.fd(), at.record(n), 1);
    throw;
  }
  if (!s.fileLocked) s.locks.insert(n);
  load(s, n, n);
  s.bof = false;
  s.appended = s.changed = true;  // its keys go in when it is written
  return true;
}

void WorkArea::DBDELETE() {
  requireWritable(*this, *s_, "DBDELETE");
  if (s_->eof) return;
  s_->buffer[0] = '*';
  s_->changed = true;
}

void WorkArea::DBRECALL() {
  requireWritable(*this, *s_, "DBRECALL");
  if (s_->eof) return;
  s_->buffer[0] = ' ';
  s_->changed = true;
}

void WorkArea::DBPACK() {
  State& s = *s_;
  if (s.shared) throw EngineError(err::kShared, err::kSharedSub, "DBPACK", s.file->name(), "la tabla está abierta compartida");
  if (s.readOnly) throw EngineError(err::kReadOnly, err::kReadOnlySub, "DBPACK", s.file->name(), "tabla abierta solo para lectura");
  flush(*this, s, s.count);
  std::vector<std::string> live;
  std::string rec;
  for (uint32_t n = 1; n <= s.count; ++n) {
    s.file->readRecord(n, rec);
    if (rec[0] != '*') live.push_back(rec);
  }
  s.file->replaceWith(live, LockKind::kExclusive);
  s.count = uint32_t(live.size());
  s.headerDirty = false;
  rebuildOrders(*this, s, s.count);
  DBGOTOP();
}

void WorkArea::DBEVAL(const std::function<void(WorkArea&)>& action, const std::function<bool(WorkArea&)>& forCondition) {
  for (DBGOTOP(); !Eof(); DBSKIP())
    if (!forCondition || forCondition(*this)) action(*this);
}

// ---- locks, commit, close ---------------------------------------------------

static void releaseLocks(WorkArea::State& s) {
  TableFile& f = *s.file;
  const LockOffsets at = f.locks();
  for (uint32_t r : s.locks) f.env().unlock(f.fd(), at.record(r), 1);
  s.locks.clear();
  if (s.fileLocked) f.env().unlock(f.fd(), at.fileStart(), at.fileLength());
  s.fileLocked = false;
}

bool WorkArea::RLOCK() {
  State& s = *s_;
  const uint32_t count = LASTREC();
  flush(*this, s, count);
  if (!s.shared) return true;
  if (s.fileLocked) return true;
  if (s.eof) return false;
  TableFile& f = *s.file;
  const LockOffsets at = f.locks();
  for (uint32_t r : s.locks)
    if (r != s.recno) f.env().unlock(f.fd(), at.record(r), 1);
  s.locks.clear();
  const LockResult r = f.env().lock(f.fd(), at.record(s.recno), 1, LockKind::kExclusive);
  if (r != LockResult::kGranted) return false;
  s.locks.insert(s.recno);
  f.readRecord(s.recno, s.buffer);
  return true;
}

bool WorkArea::FLOCK() {
  State& s = *s_;
  flush(*this, s, LASTREC());
  if (!s.shared) return true;
  if (s.fileLocked) return true;
  releaseLocks(s);
  TableFile& f = *s.file;
  const LockOffsets at = f.locks();
  if (f.env().lock(f.fd(), at.fileStart(), at.fileLength(), LockKind::kExclusive) != LockResult::kGranted) return false;
  s.fileLocked = true;
  return true;
}

void WorkArea::DBRUNLOCK() {
  flush(*this, *s_, LASTREC());
  releaseLocks(*s_);
}

bool WorkArea::isLocked(uint32_t recno) const { return !s_->shared || s_->fileLocked || s_->locks.count(recno) > 0; }

void WorkArea::DBCOMMIT() {
  State& s = *s_;
  flush(*this, s, LASTREC());
  if (s.headerDirty) {
    s.file->writeHeader(s.count, true);
    s.headerDirty = false;
  }
  if (!s.readOnly) {
    s.file->sync();
    if (s.index) s.index->sync();
  }
}

void WorkArea::DBCLOSEAREA() { ws_.closeArea(alias_); }

// Everything a close does before the file is let go.
static void finish(WorkArea& area, WorkArea::State& s) {
  area.DBCOMMIT();
  releaseLocks(s);
  s.file->env().unlock(s.file->fd(), kShareModeByte, 1);
}

// ---- workspace ----------------------------------------------------------------

Workspace::Workspace(std::filesystem::path dataDir, FileLayer* env) : dataDir_(std::move(dataDir)) {
  if (!env) {
    ownedEnv_ = std::make_unique<FileLayer>();
    env = ownedEnv_.get();
  }
  env_ = env;
}

Workspace::~Workspace() {
  try {
    DBCLOSEALL();
  } catch (...) {
    // A destructor cannot report; explicit closes do.
  }
}

std::filesystem::path Workspace::resolve(const std::string& fileName) const {
  const std::filesystem::path given(fileName);
  const std::filesystem::path exact = given.is_absolute() ? given : dataDir_ / given;
  std::error_code ec;
  if (std::filesystem::exists(exact, ec)) return exact;
  const std::string want = upperAscii(exact.filename().string());
  for (const auto& entry : std::filesystem::directory_iterator(exact.parent_path(), ec))
    if (upperAscii(entry.path().filename().string()) == want) return entry.path();
  return exact;
}

void Workspace::DBCREATE(const std::string& fileName, const Structure& structure) {
  const std::filesystem::path given(fileName);
  TableFile::create(*env_, given.is_absolute() ? given : dataDir_ / given, structure);
}

bool Workspace::DBUSEAREA(bool newArea, const std::string& fileName, const std::string& alias, bool shared,
                          bool readOnly, OpenIndex openIndex) {
  // A shared table without its index would lock at the other offsets and
  // stop excluding the copies that use the index.
  if (shared && openIndex == OpenIndex::kNone)
    throw std::invalid_argument("DBUSEAREA: a shared table is always opened with its index");
  netErr_ = false;
  const std::filesystem::path path = resolve(fileName);
  const std::string key = upperAscii(alias.empty() ? path.stem().string() : alias);
  if (!newArea && !current_.empty()) closeArea(current_);
  if (areas_.count(key))
    throw EngineError(err::kDupAlias, err::kDupAliasSub, "DBUSEAREA", path.string(), "el alias " + key + " ya está en uso");
  int rc = 0;
  std::unique_ptr<TableFile> file = TableFile::open(*env_, path, readOnly, rc);
  if (!file) {
    netErr_ = true;
    return false;
  }
  const LockResult share = env_->lock(file->fd(), kShareModeByte, 1, shared ? LockKind::kShared : LockKind::kExclusive);
  if (share == LockResult::kBusy) {
    netErr_ = true;
    return false;
  }
  if (share != LockResult::kGranted)
    throw EngineError(err::kOpen, err::kOpenSub, "DBUSEAREA", path.string(),
                      "el sistema de archivos no admite bloqueos; la tabla no puede compartirse");
  std::unique_ptr<WorkArea> area(new WorkArea(*this, key, std::move(file)));
  area->s_->shared = shared;
  area->s_->readOnly = readOnly;
  area->s_->count = area->s_->file->headerCount();
  if (!shared) {
    // Records past the header's count are the remains of an interrupted
    // exclusive append: they were never part of the table.
    area->s_->count = std::min(area->s_->count, area->s_->file->countFromSize());
  }
  const std::filesystem::path index = resolve(path.parent_path() / (path.stem().string() + ".CDX"));
  std::error_code ec;
  if (openIndex == OpenIndex::kAttach && std::filesystem::exists(index, ec) && !attachIndex(*area, *area->s_, index)) {
    netErr_ = true;  // refused like the table itself: quietly
    return false;
  }
  WorkArea& a = *area;
  areas_[key] = std::move(area);
  current_ = key;
  a.DBGOTOP();
  return true;
}

void Workspace::closeArea(const std::string& alias) {
  const std::string key = upperAscii(alias);
  auto it = areas_.find(key);
  if (it == areas_.end()) return;
  std::unique_ptr<WorkArea> area = std::move(it->second);
  areas_.erase(it);
  if (current_ == key) current_.clear();
  finish(*area, *area->s_);
}

void Workspace::DBCLOSEALL() {
  while (!areas_.empty()) closeArea(areas_.begin()->first);
}

WorkArea* Workspace::find(const std::string& alias) {
  auto it = areas_.find(upperAscii(alias));
  return it == areas_.end() ? nullptr : it->second.get();
}

WorkArea& Workspace::area(const std::string& alias) {
  if (WorkArea* a = find(alias)) return *a;
  throw EngineError(err::kNoAlias, err::kNoAliasSub, alias, "", "no hay tabla abierta con ese alias");
}

WorkArea& Workspace::current() {
  if (current_.empty()) throw EngineError(err::kNoAlias, err::kNoAliasSub, "área actual", "", "no hay tabla abierta");
  return area(current_);
}

void Workspace::select(const std::string& alias) { current_ = area(alias).alias(); }

bool Workspace::used(const std::string& alias) const { return areas_.count(upperAscii(alias)) > 0; }

std::vector<std::string> Workspace::aliases() const {
  std::vector<std::string> out;
  for (const auto& [k, v] : areas_) out.push_back(k);
  return out;
}

}  // namespace canalix::store
