// The .DBF layout: header, descriptors, records and field encodings, with the
// open validation that refuses a damaged file without ever repairing it.
#include "store/names.h"
#include "store/table_file.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

namespace canalix::store {
namespace {

constexpr uint8_t kReadableVersions[] = {0x03, 0x30, 0x31, 0x83, 0xF5, 0xE5};
constexpr uint8_t kEncryptedVersions[] = {0x06, 0x86, 0xE6, 0xF6};
constexpr char kEndOfData = 0x1A;
constexpr int kMaxNumericWidth = 20;

uint16_t u16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t u32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void put16(std::string& s, size_t at, uint32_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char((v >> 8) & 0xFF);
}
void put32(std::string& s, size_t at, uint32_t v) {
  put16(s, at, v & 0xFFFF);
  put16(s, at + 2, v >> 16);
}

std::string hexByte(uint8_t b) {
  static const char* kDigits = "0123456789ABCDEF";
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 15];
}

// The date, count and index flag part of the header (bytes 1 to 7 and 28).
void stampHeader(std::string& h, uint32_t count, bool indexAttached, Date date) {
  int y = 0, m = 0, d = 0;
  ymdFromJulian(date.julian, y, m, d);
  h[1] = char(std::clamp(y - 1900, 0, 255));
  h[2] = char(m);
  h[3] = char(d);
  put32(h, 4, count);
  h[28] = indexAttached ? 1 : 0;
}

std::string errnoText(int rc) { return std::strerror(rc); }

// Digits of round(|value| * 10^decimals), half away from zero, taken from the
// value's shortest faithful decimal form so that 1.005 rounds to 1.01.
std::string scaledDigits(double magnitude, int decimals) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
  const std::string text(buf, r.ptr);
  const size_t e = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  const int keep = exponent + 1 + decimals;  // digits before the cut
  if (keep < 0) return "0";
  std::string kept = digits.substr(0, std::min<size_t>(size_t(keep), digits.size()));
  kept.resize(size_t(keep), '0');
  if (size_t(keep) < digits.size() && digits[size_t(keep)] >= '5') {
    int i = keep - 1;
    for (; i >= 0 && kept[size_t(i)] == '9'; --i) kept[size_t(i)] = '0';
    if (i < 0)
      kept.insert(kept.begin(), '1');
    else
      ++kept[size_t(i)];
  }
  kept.erase(0, std::min(kept.find_first_not_of('0'), kept.size()));
  return kept.empty() ? "0" : kept;
}

}  // namespace

bool encodeNumber(double value, int width, int decimals, std::string& out) {
  if (!std::isfinite(value)) return false;
  std::string digits = scaledDigits(std::fabs(value), decimals);
  const bool negative = value < 0 && digits != "0";
  if (digits.size() <= size_t(decimals)) digits.insert(0, size_t(decimals) + 1 - digits.size(), '0');
  std::string text = digits.substr(0, digits.size() - size_t(decimals));
  if (decimals > 0) text += "." + digits.substr(digits.size() - size_t(decimals));
  if (negative) text.insert(0, 1, '-');
  if (text.size() > size_t(width)) return false;
  out = std::string(size_t(width) - text.size(), ' ') + text;
  return true;
}

std::string encodeHeader(const Structure& structure, uint32_t count, bool indexAttached, Date date) {
  const size_t n = structure.size();
  std::string h(32 + 32 * n + 2, '\0');
  h[0] = 0x03;
  uint32_t recordLength = 1;
  for (const FieldSpec& f : structure) recordLength += uint32_t(f.width);
  stampHeader(h, count, indexAttached, date);
  put16(h, 8, uint32_t(h.size()));
  put16(h, 10, recordLength);
  for (size_t i = 0; i < n; ++i) {
    const FieldSpec& f = structure[i];
    const size_t at = 32 + 32 * i;
    const std::string name = upperAscii(f.name).substr(0, 10);
    std::memcpy(&h[at], name.data(), name.size());
    h[at + 11] = f.type;
    h[at + 16] = char(f.width & 0xFF);
    h[at + 17] = char(f.type == 'C' ? (f.width >> 8) & 0xFF : f.type == 'N' ? f.decimals : 0);
  }
  h[32 + 32 * n] = 0x0D;
  return h;
}

// ---- lock offsets ----------------------------------------------------------

uint64_t LockOffsets::record(uint32_t n) const {
  if (indexAttached) return 0x7FFFFFFEull - n;
  return 0x40000000ull + headerLength + uint64_t(n - 1) * recordLength;
}
uint64_t LockOffsets::fileStart() const { return indexAttached ? 0x77FFFFFFull : 0x40000001ull; }
uint64_t LockOffsets::fileLength() const { return indexAttached ? 0x07FFFFFFull : 0x3FFFFFFDull; }
uint64_t LockOffsets::appendByte() const { return indexAttached ? 0x7FFFFFFEull : 0x40000000ull; }

LockOffsets TableFile::locks() const { return LockOffsets{indexAttached_, headerLength_, recordLength_}; }

// ---- open, create ----------------------------------------------------------

TableFile::TableFile(FileLayer& env, std::filesystem::path path, int fd)
    : env_(env), path_(std::move(path)), fd_(fd) {}

TableFile::~TableFile() { env_.close(fd_); }

std::unique_ptr<TableFile> TableFile::open(FileLayer& env, const std::filesystem::path& path, bool readOnly,
                                           int& errnoOut) {
  int fd = -1;
  errnoOut = env.open(path, !readOnly, false, fd);
  if (errnoOut == EACCES || errnoOut == EPERM) return nullptr;
  if (errnoOut != 0) throw EngineError(err::kOpen, err::kOpenSub, "DBUSEAREA", path.string(), errnoText(errnoOut));
  std::unique_ptr<TableFile> file(new TableFile(env, path, fd));
  uint64_t size = 0;
  if (const int rc = env.size(fd, size)) throw EngineError(err::kOpen, err::kOpenSub, "DBUSEAREA", path.string(), errnoText(rc));
  file->validate(size);
  return file;
}

void TableFile::corrupt(const std::string& detail) const {
  throw EngineError(err::kCorrupt, err::kCorruptSub, "DBUSEAREA", path_.string(), detail);
}

void TableFile::validate(uint64_t size) {
  if (size < 32) corrupt("cabecera incompleta");
  unsigned char head[32];
  size_t got = 0;
  if (env_.read(fd_, 0, head, 32, got) != 0 || got != 32) corrupt("cabecera ilegible");
  // A copy appending in shared use writes the record before the header, so a
  // size taken after the header always covers the count it announces.
  if (const int rc = env_.size(fd_, size)) corrupt(std::strerror(rc));
  version_ = head[0];
  if (std::find(std::begin(kEncryptedVersions), std::end(kEncryptedVersions), version_) != std::end(kEncryptedVersions))
    corrupt("tabla cifrada (versión " + hexByte(version_) + ")");
  if (std::find(std::begin(kReadableVersions), std::end(kReadableVersions), version_) == std::end(kReadableVersions))
    corrupt("versión de tabla desconocida " + hexByte(version_));
  headerCount_ = u32(head + 4);
  headerLength_ = u16(head + 8);
  recordLength_ = u16(head + 10);

  // Descriptors run from byte 32 until a slot that starts with 0x0D.
  const size_t limit = size_t(std::min<uint64_t>(size, 32 + 32 * 2048 + 1));
  std::string d(limit - 32, '\0');
  if (env_.read(fd_, 32, d.data(), d.size(), got) != 0 || got != d.size()) corrupt("descriptores ilegibles");
  size_t n = 0;
  while (32 * n < d.size() && d[32 * n] != 0x0D) ++n;
  if (32 * n >= d.size()) corrupt("descriptores sin terminador");
  if (n == 0) corrupt("tabla sin campos");
  const uint32_t descriptorsEnd = uint32_t(32 + 32 * n + 1);
  if (headerLength_ < descriptorsEnd || headerLength_ > size)
    corrupt("longitud de cabecera " + std::to_string(headerLength_) + " no válida");

  std::set<std::string> names;
  int offset = 1;
  for (size_t i = 0; i < n; ++i) {
    const char* p = &d[32 * i];
    const std::string name(p, strnlen(p, 11));
    FieldSpec f{name, p[11], uint8_t(p[16]), uint8_t(p[17])};
    if (f.type == 'C') f.width += f.decimals * 256, f.decimals = 0;
    const std::string which = "campo " + std::to_string(i + 1) + " '" + name + "'";
    if (name.empty() || name.size() > 10) corrupt(which + ": nombre no válido");
    if (!names.insert(upperAscii(name)).second) corrupt(which + ": nombre repetido");
    const bool fits = (f.type == 'C' && f.width >= 1) || (f.type == 'D' && f.width == 8) ||
                      (f.type == 'L' && f.width == 1) ||
                      (f.type == 'N' && f.width >= 1 && f.width <= kMaxNumericWidth && f.decimals < f.width);
    if (!fits) corrupt(which + ": tipo " + std::string(1, f.type) + " de anchura " + std::to_string(f.width) + " no válido");
    if (f.type != 'N') f.decimals = 0;
    layout_.push_back({f, offset});
    structure_.push_back(f);
    offset += f.width;
  }
  if (uint32_t(offset) != recordLength_)
    corrupt("longitud de registro " + std::to_string(recordLength_) + " distinta de la suma de los campos (" +
            std::to_string(offset) + ")");
  if (headerLength_ + uint64_t(headerCount_) * recordLength_ > size)
    corrupt("la cabecera anuncia " + std::to_string(headerCount_) + " registros y el archivo está truncado");
}

void TableFile::create(FileLayer& env, const std::filesystem::path& path, const Structure& structure) {
  auto fail = [&](const std::string& detail) {
    throw EngineError(err::kCreate, err::kCreateSub, "DBCREATE", path.string(), detail);
  };
  if (structure.empty()) fail("estructura sin campos");
  std::set<std::string> names;
  for (const FieldSpec& f : structure) {
    const bool fits = (f.type == 'C' && f.width >= 1 && f.width <= 65535) || (f.type == 'D' && f.width == 8) ||
                      (f.type == 'L' && f.width == 1) ||
                      (f.type == 'N' && f.width >= 1 && f.width <= kMaxNumericWidth && f.decimals >= 0 &&
                       f.decimals < f.width);
    if (f.name.empty() || f.name.size() > 10 || !fits || !names.insert(upperAscii(f.name)).second)
      fail("campo " + f.name + " no válido");
  }
  std::string bytes = encodeHeader(structure, 0, false, today());
  bytes += kEndOfData;
  if (const int rc = writeFileAside(env, path, bytes)) fail(errnoText(rc));
}

// ---- records and header ----------------------------------------------------

int TableFile::fieldIndex(const std::string& name) const {
  const std::string key = upperAscii(name);
  for (size_t i = 0; i < layout_.size(); ++i)
    if (upperAscii(layout_[i].field.name) == key) return int(i);
  return -1;
}

uint32_t TableFile::countFromSize() const {
  uint64_t size = 0;
  if (const int rc = env_.size(fd_, size))
    throw EngineError(err::kRead, err::kReadSub, "LASTREC", path_.string(), errnoText(rc));
  if (size <= headerLength_) return 0;
  return uint32_t((size - headerLength_) / recordLength_);
}

void TableFile::readRecord(uint32_t n, std::string& buf) const {
  buf.assign(recordLength_, ' ');
  size_t got = 0;
  const uint64_t at = headerLength_ + uint64_t(n - 1) * recordLength_;
  if (const int rc = env_.read(fd_, at, buf.data(), recordLength_, got))
    throw EngineError(err::kRead, err::kReadSub, "lectura", path_.string(), errnoText(rc));
  if (got < recordLength_) buf.assign(recordLength_, ' ');
}

void TableFile::writeFailed(int rc) const {
  throw EngineError(err::kWrite, err::kWriteSub, "escritura", path_.string(), errnoText(rc));
}

void TableFile::writeRecord(uint32_t n, const std::string& buf) {
  const uint64_t at = headerLength_ + uint64_t(n - 1) * recordLength_;
  if (const int rc = env_.write(fd_, at, buf.data(), recordLength_)) writeFailed(rc);
}

void TableFile::writeHeader(uint32_t count, bool exclusive) {
  std::string h(32, '\0');
  size_t got = 0;
  if (const int rc = env_.read(fd_, 0, h.data(), 32, got)) writeFailed(rc);
  stampHeader(h, count, indexAttached_, today());
  if (const int rc = env_.write(fd_, 0, h.data(), 32)) writeFailed(rc);
  headerCount_ = count;
  if (!exclusive) return;
  const uint64_t end = headerLength_ + uint64_t(count) * recordLength_;
  if (const int rc = env_.write(fd_, end, &kEndOfData, 1)) writeFailed(rc);
  if (const int rc = env_.truncate(fd_, end + 1)) writeFailed(rc);
}

void TableFile::sync() {
  if (const int rc = env_.sync(fd_)) writeFailed(rc);
}

void TableFile::truncateTo(uint32_t count) {
  env_.truncate(fd_, headerLength_ + uint64_t(count) * recordLength_);
}

void TableFile::replaceWith(const std::vector<std::string>& records, LockKind shareKind) {
  std::string head(headerLength_, '\0');
  size_t got = 0;
  if (const int rc = env_.read(fd_, 0, head.data(), headerLength_, got)) writeFailed(rc);
  stampHeader(head, uint32_t(records.size()), indexAttached_, today());
  const auto aside = path_.parent_path() / ("~" + path_.filename().string() + "." + std::to_string(::getpid()) + ".pack");
  int fd = -1;
  int rc = env_.open(aside, true, true, fd);
  if (rc != 0) writeFailed(rc);
  std::string bytes = head;
  for (const std::string& r : records) bytes += r;
  bytes += kEndOfData;
  rc = env_.write(fd, 0, bytes.data(), bytes.size());
  if (rc == 0) rc = env_.sync(fd);
  if (rc == 0 && env_.lock(fd, kShareModeByte, 1, shareKind) != LockResult::kGranted) rc = EBUSY;
  if (rc == 0) rc = env_.rename(aside, path_);
  if (rc != 0) {
    env_.close(fd);
    env_.remove(aside);
    writeFailed(rc);
  }
  env_.syncDir(path_.parent_path());
  env_.close(fd_);
  fd_ = fd;
  headerCount_ = uint32_t(records.size());
}

// ---- field codec -----------------------------------------------------------

Value TableFile::decode(const std::string& record, int field) const {
  const FieldLayout& f = layout_[size_t(field)];
  const std::string raw = record.substr(size_t(f.offset), size_t(f.field.width));
  switch (f.field.type) {
    case 'N': {
      const size_t b = raw.find_first_not_of(' ');
      if (b == std::string::npos) return 0.0;
      double v = 0;
      const char* s = raw.data() + b;
      if (*s == '+') ++s;
      std::from_chars(s, raw.data() + raw.size(), v);
      return v;
    }
    case 'D': {
      int y = 0, m = 0, d = 0;
      auto digits = [&](int from, int len, int& out) {
        auto r = std::from_chars(raw.data() + from, raw.data() + from + len, out);
        return r.ec == std::errc() && r.ptr == raw.data() + from + len;
      };
      if (digits(0, 4, y) && digits(4, 2, m) && digits(6, 2, d) && validYmd(y, m, d)) return makeDate(y, m, d);
      return Date{};
    }
    case 'L': return raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y';
    default: return raw;
  }
}

void TableFile::encode(std::string& record, int field, const Value& value) const {
  const FieldLayout& f = layout_[size_t(field)];
  const size_t width = size_t(f.field.width);
  auto wrongType = [&]() {
    throw EngineError(err::kDataType, err::kDataTypeSub, "asignación", path_.string(),
                      "campo " + f.field.name + " de tipo " + std::string(1, f.field.type));
  };
  std::string text;
  switch (f.field.type) {
    case 'C':
      if (!std::holds_alternative<std::string>(value)) wrongType();
      text = std::get<std::string>(value).substr(0, width);
      text.resize(width, ' ');
      break;
    case 'N': {
      if (!std::holds_alternative<double>(value)) wrongType();
      const double v = std::get<double>(value);
      if (!encodeNumber(v, f.field.width, f.field.decimals, text)) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        throw EngineError(err::kDataWidth, err::kDataWidthSub, "asignación", path_.string(),
                          "campo " + f.field.name + " (N " + std::to_string(f.field.width) + "," +
                              std::to_string(f.field.decimals) + "), valor " + std::string(buf, r.ptr));
      }
      break;
    }
    case 'D': {
      if (!std::holds_alternative<Date>(value)) wrongType();
      const Date d = std::get<Date>(value);
      int y = 0, m = 0, day = 0;
      ymdFromJulian(d.julian, y, m, day);
      if (d.empty() || y < 1 || y > 9999) {
        text = "        ";
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
        text = buf;
      }
      break;
    }
    case 'L':
      if (!std::holds_alternative<bool>(value)) wrongType();
      text = std::get<bool>(value) ? "T" : "F";
      break;
  }
  record.replace(size_t(f.offset), width, text);
}

}  // namespace canalix::store
