// Copy to and append from: tables, fixed-width and delimited text. The byte
// forms of each are described in text_transfer.h; this file keeps them in
// three places: the field text forms (written), the line decoders (read) and
// the aside file through which every new file is written.
#include "store/names.h"
#include "store/text_transfer.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "store/engine_error.h"
#include "store/file_layer.h"
#include "store/table_file.h"

namespace canalix::store {
namespace {

namespace fs = std::filesystem;

constexpr char kEndOfData = 0x1A;
constexpr const char* kCopyTo = "COPY TO";
constexpr const char* kAppendFrom = "APPEND FROM";

std::string errnoText(int rc) { return rc ? std::strerror(rc) : std::string(); }

// ---- field values as text ------------------------------------------------------

// YYYYMMDD, or empty for the empty date (and for years the form cannot hold).
std::string dateDigits(Date d) {
  if (d.empty()) return {};
  int y = 0, m = 0, day = 0;
  ymdFromJulian(d.julian, y, m, day);
  if (y < 1 || y > 9999) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
  return buf;
}

// A number with exactly `decimals` decimals and no padding.
std::string plainNumber(double v, int decimals) {
  std::string text;
  if (!encodeNumber(v, 400, decimals, text)) encodeNumber(0, 400, decimals, text);
  return text.substr(text.find_first_not_of(' '));
}

// The delimited form of a value, without quotes.
std::string plainText(const FieldSpec& f, const Value& v) {
  switch (f.type) {
    case 'N':
      return plainNumber(std::get<double>(v), f.decimals);
    case 'D':
      return dateDigits(std::get<Date>(v));
    case 'L':
      return std::get<bool>(v) ? "T" : "F";
    default: {
      const std::string& s = std::get<std::string>(v);
      const size_t end = s.find_last_not_of(' ');
      return end == std::string::npos ? std::string() : s.substr(0, end + 1);
    }
  }
}

std::string delimitedField(const FieldSpec& f, const Value& v, char quote) {
  std::string text = plainText(f, v);
  if (f.type == 'C' && quote) return quote + text + quote;
  return text;
}

// The field at its full width in the table encoding.
std::string fixedField(const FieldSpec& f, const Value& v) {
  const size_t width = size_t(f.width);
  std::string text;
  switch (f.type) {
    case 'N':
      if (!encodeNumber(std::get<double>(v), f.width, f.decimals, text)) text.assign(width, '*');
      return text;
    case 'D':
      text = dateDigits(std::get<Date>(v));
      break;
    case 'L':
      text = std::get<bool>(v) ? "T" : "F";
      break;
    default:
      text = std::get<std::string>(v);
      break;
  }
  text.resize(width, ' ');
  return text;
}

// ---- text to field values ----------------------------------------------------------

// Reads a number as far as it goes: blanks, a sign, digits with one point.
double parseNumber(std::string_view s) {
  size_t p = s.find_first_not_of(' ');
  if (p == std::string_view::npos) return 0;
  bool negative = false;
  if (s[p] == '-' || s[p] == '+') negative = s[p++] == '-';
  std::string whole, fraction;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') whole += s[p++];
  if (p < s.size() && s[p] == '.')
    for (++p; p < s.size() && s[p] >= '0' && s[p] <= '9';) fraction += s[p++];
  const std::string text = (whole.empty() ? "0" : whole) + "." + (fraction.empty() ? "0" : fraction);
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return negative ? -v : v;
}

Date parseDate(std::string_view s) {
  if (s.size() != 8) return Date{};
  for (char c : s)
    if (c < '0' || c > '9') return Date{};
  const auto num = [&](size_t at, size_t len) {
    int v = 0;
    std::from_chars(s.data() + at, s.data() + at + len, v);
    return v;
  };
  const int y = num(0, 4), m = num(4, 2), d = num(6, 2);
  return validYmd(y, m, d) ? makeDate(y, m, d) : Date{};
}

Value fromText(const FieldSpec& f, std::string_view s) {
  switch (f.type) {
    case 'N':
      return parseNumber(s);
    case 'D':
      return parseDate(s);
    case 'L':
      return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
    default:
      return std::string(s);
  }
}

Value blankValue(const FieldSpec& f) {
  switch (f.type) {
    case 'N':
      return 0.0;
    case 'D':
      return Date{};
    case 'L':
      return false;
    default:
      return std::string(size_t(f.width), ' ');
  }
}

using Row = std::vector<std::optional<Value>>;

// A line of fixed text: each field from its offset; a short line leaves the
// fields it does not reach without a value.
Row fixedRow(const Structure& st, std::string_view line) {
  Row row(st.size());
  size_t at = 0;
  for (size_t i = 0; i < st.size() && at < line.size(); at += size_t(st[i].width), ++i)
    row[i] = fromText(st[i], line.substr(at, size_t(st[i].width)));
  return row;
}

// A line of delimited text, as the rules in text_transfer.h say.
Row delimitedRow(const Structure& st, std::string_view line, Delimiters d) {
  Row row(st.size());
  size_t p = 0;
  bool more = !line.empty();
  for (size_t i = 0; i < st.size() && more; ++i) {
    while (p < line.size() && line[p] == ' ') ++p;
    std::string_view value;
    if (d.quote && p < line.size() && line[p] == d.quote) {
      const size_t close = std::min(line.find(d.quote, p + 1), line.size());
      value = line.substr(p + 1, close - p - 1);
      p = std::min(close + 1, line.size());
    } else {
      const size_t end = std::min(line.find(d.separator, p), line.size());
      value = line.substr(p, end - p);
      p = end;
    }
    const size_t sep = line.find(d.separator, p);
    more = sep != std::string_view::npos;
    p = more ? sep + 1 : line.size();
    row[i] = fromText(st[i], value);
  }
  return row;
}

// The lines of a text file: LF or CR LF ends a line; a last 0x1A is not data.
std::vector<std::string_view> splitLines(std::string_view data) {
  if (!data.empty() && data.back() == kEndOfData) data.remove_suffix(1);
  std::vector<std::string_view> lines;
  while (!data.empty()) {
    const size_t nl = data.find('\n');
    std::string_view line = data.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    data.remove_prefix(nl == std::string_view::npos ? data.size() : nl + 1);
  }
  return lines;
}

// ---- files ------------------------------------------------------------------------------

// The name a new file is written under before it takes its own.
fs::path asideName(const fs::path& to) {
  return to.parent_path() / ("." + to.filename().string() + "." + std::to_string(getpid()) + ".part");
}

void putInPlace(FileLayer& env, const fs::path& aside, const fs::path& to) {
  if (const int rc = env.rename(aside, to))
    throw EngineError(err::kCreate, err::kCreateSub, kCopyTo, to.string(), errnoText(rc));
  env.syncDir(to.parent_path());
}

// A text file written aside, buffered; removed unless committed.
class AsideText {
 public:
  AsideText(FileLayer& env, fs::path to) : env_(env), to_(std::move(to)), aside_(asideName(to_)) {
    if (const int rc = env_.open(aside_, true, true, fd_))
      throw EngineError(err::kCreate, err::kCreateSub, kCopyTo, to_.string(), errnoText(rc));
  }
  AsideText(const AsideText&) = delete;
  AsideText& operator=(const AsideText&) = delete;
  ~AsideText() {
    if (fd_ >= 0) env_.close(fd_);
    if (!committed_) env_.remove(aside_);
  }

  void add(std::string_view bytes) {
    buffer_ += bytes;
    if (buffer_.size() >= kChunk) flush();
  }

  void commit() {
    flush();
    if (const int rc = env_.sync(fd_)) writeFailed(rc);
    env_.close(fd_);
    fd_ = -1;
    putInPlace(env_, aside_, to_);
    committed_ = true;
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  void flush() {
    if (const int rc = env_.write(fd_, offset_, buffer_.data(), buffer_.size())) writeFailed(rc);
    offset_ += buffer_.size();
    buffer_.clear();
  }
  [[noreturn]] void writeFailed(int rc) const {
    throw EngineError(err::kWrite, err::kWriteSub, kCopyTo, to_.string(), errnoText(rc));
  }

  FileLayer& env_;
  fs::path to_;
  fs::path aside_;
  int fd_ = -1;
  uint64_t offset_ = 0;
  std::string buffer_;
  bool committed_ = false;
};

std::string readWhole(FileLayer& env, const fs::path& path) {
  int fd = -1;
  if (const int rc = env.open(path, false, false, fd))
    throw EngineError(err::kOpen, err::kOpenSub, kAppendFrom, path.string(), errnoText(rc));
  std::string data;
  uint64_t size = 0;
  int rc = env.size(fd, size);
  if (!rc) {
    data.resize(size_t(size));
    size_t got = 0;
    rc = env.read(fd, 0, data.data(), data.size(), got);
    data.resize(got);
  }
  env.close(fd);
  if (rc) throw EngineError(err::kRead, err::kReadSub, kAppendFrom, path.string(), errnoText(rc));
  return data;
}

// ---- copy to --------------------------------------------------------------------------

// Runs `action` on every visible record of `from` meeting `cond`, then puts
// `from` back on the record it stood on.
void eachRecord(WorkArea& from, const std::function<bool(WorkArea&)>& cond,
                const std::function<void()>& action) {
  const uint32_t at = from.RECNO();
  for (from.DBGOTOP(); !from.Eof(); from.DBSKIP())
    if (!cond || cond(from)) action();
  from.DBGOTO(at);
}

void copyToText(WorkArea& from, const fs::path& to, const TransferFormat& format, FileLayer& env,
                const std::function<bool(WorkArea&)>& cond) {
  const Structure& st = from.structure();
  const Delimiters d = delimitersFor(format.delimiter);
  AsideText out(env, to);
  std::string line;
  eachRecord(from, cond, [&] {
    line.clear();
    for (size_t i = 0; i < st.size(); ++i) {
      const Value v = from.get(st[i].name);
      if (format.form == TransferForm::kFixed) {
        line += fixedField(st[i], v);
      } else {
        if (i) line += d.separator;
        line += delimitedField(st[i], v, d.quote);
      }
    }
    line += "\r\n";
    out.add(line);
  });
  out.add(std::string_view(&kEndOfData, 1));
  out.commit();
}

void copyToTable(WorkArea& from, const fs::path& to, FileLayer& env,
                 const std::function<bool(WorkArea&)>& cond) {
  const fs::path aside = asideName(to);
  const Structure& st = from.structure();
  Workspace ws(to.parent_path(), &env);
  try {
    ws.DBCREATE(aside.string(), st);
    if (!ws.DBUSEAREA(true, aside.string(), "COPIA", false))
      throw EngineError(err::kCreate, err::kCreateSub, kCopyTo, to.string(), "la copia está en uso");
    WorkArea& copy = ws.area("COPIA");
    eachRecord(from, cond, [&] {
      copy.DBAPPEND();
      for (const FieldSpec& f : st) copy.put(f.name, from.get(f.name));
    });
    ws.DBCLOSEALL();
    putInPlace(env, aside, to);
  } catch (...) {
    try {
      ws.DBCLOSEALL();
    } catch (...) {
      // The first error is the one to report.
    }
    env.remove(aside);
    throw;
  }
}

// ---- append from ---------------------------------------------------------------------

// Stores one incoming record at the end of `into`. Every value is checked
// before the append, so that a record that cannot be stored leaves no trace.
void storeRow(WorkArea& into, const Row& row, const fs::path& source, const std::string& where) {
  const Structure& st = into.structure();
  for (size_t i = 0; i < st.size(); ++i) {
    std::string ignored;
    if (st[i].type != 'N' || !row[i]) continue;
    const double v = std::get<double>(*row[i]);
    if (!encodeNumber(v, st[i].width, st[i].decimals, ignored))
      throw EngineError(
          err::kDataWidth, err::kDataWidthSub, kAppendFrom, source.string(),
          where + ": " + plainNumber(v, st[i].decimals) + " no cabe en " + into.alias() + "->" + st[i].name);
  }
  if (!into.DBAPPEND())
    throw EngineError(err::kAppendLock, err::kAppendLockSub, kAppendFrom, into.path().string(),
                      "no se puede bloquear el registro nuevo (" + where + ")");
  for (size_t i = 0; i < st.size(); ++i)
    if (row[i]) into.put(st[i].name, *row[i]);
  into.DBRUNLOCK();
}

// A source value for a target field: as it is when the types agree, else
// through its delimited text form.
Value carried(const FieldSpec& target, const FieldSpec& source, const Value& v) {
  if (target.type == source.type) return v;
  return fromText(target, plainText(source, v));
}

using AppendCondition = std::function<bool(const IncomingRecord&)>;

uint32_t appendFromTable(WorkArea& into, const fs::path& source, FileLayer& env,
                         const AppendCondition& cond) {
  Workspace ws(source.parent_path(), &env);
  if (!ws.DBUSEAREA(true, source.string(), "ORIGEN", true, true))
    throw EngineError(err::kOpen, err::kOpenSub, kAppendFrom, source.string(),
                      "la tabla está en uso exclusivo");
  WorkArea& src = ws.area("ORIGEN");
  const Structure& st = into.structure();
  std::vector<int> match(st.size());
  for (size_t i = 0; i < st.size(); ++i) match[i] = src.fieldIndex(st[i].name);
  uint32_t added = 0;
  for (src.DBGOTOP(); !src.Eof(); src.DBSKIP()) {
    Row row(st.size());
    for (size_t i = 0; i < st.size(); ++i) {
      if (match[i] < 0) continue;
      const FieldSpec& from = src.structure()[size_t(match[i])];
      row[i] = carried(st[i], from, src.get(from.name));
    }
    if (cond && !cond(IncomingRecord(st, row))) continue;
    storeRow(into, row, source, "registro " + std::to_string(src.RECNO()));
    ++added;
  }
  return added;
}

uint32_t appendFromText(WorkArea& into, const fs::path& source, const TransferFormat& format, FileLayer& env,
                        const AppendCondition& cond) {
  const std::string data = readWhole(env, source);
  const Structure& st = into.structure();
  const Delimiters d = delimitersFor(format.delimiter);
  uint32_t added = 0;
  size_t lineNo = 0;
  for (std::string_view line : splitLines(data)) {
    ++lineNo;
    const Row row = format.form == TransferForm::kFixed ? fixedRow(st, line) : delimitedRow(st, line, d);
    if (cond && !cond(IncomingRecord(st, row))) continue;
    storeRow(into, row, source, "línea " + std::to_string(lineNo));
    ++added;
  }
  return added;
}

// A file name as the engine takes it: a relative one inside the data directory.
fs::path inDataDir(const WorkArea& area, const fs::path& name) {
  return fs::absolute(name.is_absolute() ? name : area.workspace().dataDir() / name);
}

}  // namespace

Delimiters delimitersFor(const std::string& delimiter) {
  const std::string word = upperAscii(delimiter);
  if (word.empty()) return {'"', ','};
  if (word == "BLANK") return {0, ' '};
  if (word == "PIPE") return {0, '|'};
  if (word == "TAB") return {0, '\t'};
  return {delimiter[0], ','};
}

int IncomingRecord::index(const std::string& name) const {
  const std::string want = upperAscii(name);
  for (size_t i = 0; i < structure_.size(); ++i)
    if (upperAscii(structure_[i].name) == want) return int(i);
  return -1;
}

Value IncomingRecord::get(const std::string& name) const {
  const int i = index(name);
  if (i < 0)
    throw EngineError(err::kNoField, err::kNoFieldSub, kAppendFrom + (" " + name), "", "no existe el campo");
  const std::optional<Value>& v = values_[size_t(i)];
  return v ? *v : blankValue(structure_[size_t(i)]);
}

bool IncomingRecord::has(const std::string& name) const {
  const int i = index(name);
  return i >= 0 && values_[size_t(i)].has_value();
}

void COPYTO(WorkArea& from, const fs::path& to, const TransferFormat& format,
            const std::function<bool(WorkArea&)>& forCondition) {
  FileLayer& env = format.env ? *format.env : from.workspace().env();
  const fs::path target = inDataDir(from, to);
  if (format.form == TransferForm::kTable) {
    copyToTable(from, target, env, forCondition);
  } else {
    copyToText(from, target, format, env, forCondition);
  }
}

uint32_t APPENDFROM(WorkArea& into, const fs::path& from, const TransferFormat& format,
                    const std::function<bool(const IncomingRecord&)>& forCondition) {
  FileLayer& env = format.env ? *format.env : into.workspace().env();
  const fs::path given = inDataDir(into, from);
  const fs::path source = Workspace(given.parent_path(), &env).resolve(given.filename().string());
  const uint32_t added = format.form == TransferForm::kTable
                             ? appendFromTable(into, source, env, forCondition)
                             : appendFromText(into, source, format, env, forCondition);
  if (added) into.DBCOMMIT();
  return added;
}

}  // namespace canalix::store
