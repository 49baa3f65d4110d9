// Copying records out of a work area into a new file, and appending the records
// or lines of a file into a work area. Three forms of file:
//
//   table      a .DBF table; a copy has the structure of its source, without
//              index; an append matches fields by name, in any case.
//   fixed      ("SDF") one line per record: every field at its full width in
//              the table encoding (C padded, N right-aligned with exactly d
//              decimals, D as YYYYMMDD or 8 blanks, L as T or F), no deletion
//              flag, then CR LF.
//   delimited  one line per record: the fields joined by a separator, then
//              CR LF. Written: C with trailing blanks removed and enclosed in
//              the quote character when there is one; N with leading blanks
//              removed (a blank number is "0", or "0." and d zeros); D as
//              YYYYMMDD or nothing; L as T or F.
//
// Both text forms end with one 0x1A byte after the last line. Text is
// single-byte and kept as bytes; numbers never go through the locale.
//
// Reading a line of delimited text, for each field in declaration order:
// leading blanks are skipped; a value that opens with the quote character runs
// to the next quote character, any other to the next separator or the end of
// the line; what follows up to the next separator is skipped. C values longer
// than the field are cut; N values are read as far as they form a number
// (sign, digits, one point) and stored at the field's width and decimals;
// a D value is taken only when it is exactly eight digits forming a real date;
// an L value is true when it starts with T, t, Y or y. Values beyond the
// table's fields are dropped, fields beyond the line's values stay blank; an
// empty value that is there (",,") is stored converted: blank text, 0, the
// empty date, false.
// Lines of either text form may end with CR LF or LF alone; a 0x1A as the
// file's last byte is not data. A line of fixed text shorter than the record
// leaves the fields it does not reach blank.
//
// Neither form escapes anything: a text holding the quote character, the
// separator of an unquoted form, a blank under "BLANK" (which merges runs of
// blanks, so empty values vanish too) or a line end does not read back whole.
// A number its own field cannot hold (a damaged record) is written in fixed
// text as asterisks across the field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/table_engine.h"

namespace canalix::store {

class FileLayer;

enum class TransferForm { kTable, kFixed, kDelimited };

struct TransferFormat {
  TransferForm form = TransferForm::kTable;
  // Delimited form only: empty for the double quote and the comma; "BLANK"
  // (no quote, blank separator), "PIPE" (no quote, "|"), "TAB" (no quote,
  // tab), any case; any other text makes its first character the quote and
  // keeps the comma.
  std::string delimiter;
  // The file layer for the files read and written; null means the one of
  // the work area's workspace.
  FileLayer* env = nullptr;

  static TransferFormat table() { return {TransferForm::kTable, {}, nullptr}; }
  static TransferFormat fixed() { return {TransferForm::kFixed, {}, nullptr}; }
  static TransferFormat delimited(std::string delimiter = {}) {
    return {TransferForm::kDelimited, std::move(delimiter), nullptr};
  }
};

// The quote character (0: none) and the separator a delimiter text stands for.
struct Delimiters {
  char quote;
  char separator;
};
Delimiters delimitersFor(const std::string& delimiter);

// One record on its way into the target table, before it is stored: the
// value each target field will receive, or none when the source lacks it.
class IncomingRecord {
 public:
  IncomingRecord(const Structure& structure, const std::vector<std::optional<Value>>& values)
      : structure_(structure), values_(values) {}
  // The value the field `name` (any case) will hold: the incoming one, or the
  // blank value of its type. Throws 14/1003 when the target has no such field.
  Value get(const std::string& name) const;
  // True when the source gives the field a value.
  bool has(const std::string& name) const;

 private:
  int index(const std::string& name) const;
  const Structure& structure_;
  const std::vector<std::optional<Value>>& values_;
};

// File names given relative are taken inside the work area's data directory.

// Writes the visible records of `from` that meet `forCondition` (evaluated
// with `from` standing on each record; all when empty), in the order of its
// navigation, into a new file `to` of the given form; an existing file of that
// name is replaced. The file is written aside in the same folder and renamed
// at the end, so it is either complete or absent (an earlier file of the same
// name is then left as it was). `from` is left on the record it stood on.
// Throws 20/1004 when the file cannot be created, 24/1011 when a write fails,
// 34/1021 when a table copy meets a number its own field cannot hold.
void COPYTO(WorkArea& from, const std::filesystem::path& to, const TransferFormat& format,
            const std::function<bool(WorkArea&)>& forCondition = {});

// Appends one record to `into` for each record (not deleted) of the table
// `from`, or each line of the text file `from`, that meets `forCondition`
// (evaluated on the incoming values; all when empty). `from` is found without
// regard to case when the exact name is absent. In shared use each record is
// appended (DBAPPEND locks it), filled and unlocked; in exclusive use the same
// calls run without locks. Values of a source field of another type than its
// target field are carried over through their delimited text form. Returns the
// number of records appended; `into` stands on the last of them.
// Requires: `from` is not open exclusively by anyone (this process included).
// Throws 21/1001 when `from` cannot be opened, 23/1010 when it cannot be read,
// 40/1024 when a new record cannot be locked, 34/1021 when a number does not
// fit its field (the records before that one stay appended, nothing of that
// one is added), and whatever DBAPPEND and put throw (39/1025 read-only...).
uint32_t APPENDFROM(WorkArea& into, const std::filesystem::path& from, const TransferFormat& format,
                    const std::function<bool(const IncomingRecord&)>& forCondition = {});

}  // namespace canalix::store
