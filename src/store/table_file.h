// One open .DBF table file: its header and field descriptors, reading and
// writing records, encoding field values, and the lock offsets of the table.
// The work area (table_engine.h) decides when to do each; this file knows how.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/file_layer.h"
#include "store/table_engine.h"

namespace canalix::store {

// A field with its position inside the record (after the deletion flag).
struct FieldLayout {
  FieldSpec field;
  int offset;  // byte offset inside the record
};

// Byte-range lock offsets. Tables with their compound index attached place
// their locks just below 2 GiB; the others at 1 GiB plus the record's offset.
struct LockOffsets {
  uint64_t record(uint32_t n) const;
  uint64_t fileStart() const;
  uint64_t fileLength() const;
  uint64_t appendByte() const;
  bool indexAttached = false;
  uint32_t headerLength = 0;
  uint32_t recordLength = 0;
};

// The byte that stands for the share mode of an open (no lock range above reaches it).
inline constexpr uint64_t kShareModeByte = 0x7FFFFFFF;

class TableFile {
 public:
  // Opens and validates `path`. Throws 21/1001 (open) and 32/1012 (damaged);
  // `errnoOut` receives the errno of a failed open so that the caller can
  // treat access refusals quietly (then nothing is thrown and false returned).
  static std::unique_ptr<TableFile> open(FileLayer& env, const std::filesystem::path& path, bool readOnly,
                                         int& errnoOut);
  // Writes a new, empty table file at `path` (aside, then renamed). Throws 20/1004.
  static void create(FileLayer& env, const std::filesystem::path& path, const Structure& structure);

  ~TableFile();
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  FileLayer& env() const { return env_; }
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }
  std::string name() const { return path_.filename().string(); }
  const Structure& structure() const { return structure_; }
  const std::vector<FieldLayout>& layout() const { return layout_; }
  int fieldIndex(const std::string& name) const;
  uint32_t headerLength() const { return headerLength_; }
  uint32_t recordLength() const { return recordLength_; }
  uint32_t headerCount() const { return headerCount_; }
  LockOffsets locks() const;
  void setIndexAttached(bool attached) { indexAttached_ = attached; }

  // Records the file holds, from its size.
  uint32_t countFromSize() const;
  // Reads record n (1-based) into `buf`; a record beyond the end reads blank.
  void readRecord(uint32_t n, std::string& buf) const;
  void writeRecord(uint32_t n, const std::string& buf);
  // Rewrites date, count and the index flag. In exclusive use also writes the
  // end-of-data byte after the last record and cuts the file there.
  void writeHeader(uint32_t count, bool exclusive);
  void sync();
  // Cuts the file back to `count` records (used to undo a failed append).
  void truncateTo(uint32_t count);
  // Replaces this file's content by the records of `records` (packing): a
  // complete new file is written aside and renamed over this one. The share
  // lock `shareKind` is taken on the new file before it gets the real name.
  void replaceWith(const std::vector<std::string>& records, LockKind shareKind);

  std::string blankRecord() const { return std::string(recordLength_, ' '); }

  // Field codec over a record buffer.
  Value decode(const std::string& record, int field) const;
  // Encodes `value` into the buffer; throws 33/1020 (type) or 34/1021 (width)
  // without touching the buffer.
  void encode(std::string& record, int field, const Value& value) const;

 private:
  TableFile(FileLayer& env, std::filesystem::path path, int fd);
  void validate(uint64_t size);
  [[noreturn]] void corrupt(const std::string& detail) const;
  [[noreturn]] void writeFailed(int rc) const;

  FileLayer& env_;
  std::filesystem::path path_;
  int fd_;
  uint8_t version_ = 0x03;
  uint32_t headerCount_ = 0;
  uint32_t headerLength_ = 0;
  uint32_t recordLength_ = 0;
  bool indexAttached_ = false;
  Structure structure_;
  std::vector<FieldLayout> layout_;
};

// The bytes of a table file header with its descriptors, terminator included.
std::string encodeHeader(const Structure& structure, uint32_t count, bool indexAttached, Date date);

// Encodes a number right-aligned in `width` characters with exactly `decimals`
// decimals, rounded half away from zero; false when it does not fit.
bool encodeNumber(double value, int width, int decimals, std::string& out);

}  // namespace canalix::store
