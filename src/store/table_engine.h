// The table engine: work areas over dBASE table files shared by several copies
// of the program through byte-range locks.
//
// A Workspace owns the work areas of one data directory, each under an alias
// (the table's file name without extension, in upper case, unless told
// otherwise). Operations keep the system's table vocabulary as method names
// (DBGOTOP, DBSKIP, DBAPPEND, RLOCK...) so that callers read like the rules they
// implement. Errors are thrown as EngineError (engine_error.h); the two quiet
// failures (a sharing refusal on open, a record that cannot be locked during
// an append) return false and set the workspace's network-error flag instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "store/engine_error.h"
#include "store/julian.h"

namespace canalix::store {

class FileLayer;
class TableFile;

// One field of a table structure, in declaration order.
struct FieldSpec {
  std::string name;  // as the catalogue spells it; stored upper-cased
  char type;         // 'C', 'N', 'D' or 'L'
  int width;
  int decimals;
};
using Structure = std::vector<FieldSpec>;

// A field value: text (single-byte, kept as bytes), number, date, logical.
using Value = std::variant<std::string, double, Date, bool>;

class Workspace;

// One open table under its alias.
class WorkArea {
 public:
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;
  ~WorkArea();

  const std::string& alias() const { return alias_; }
  Workspace& workspace() const { return ws_; }
  const std::filesystem::path& path() const;
  bool shared() const;
  bool readOnly() const;
  const Structure& structure() const;
  // Index of the field named `name` (any case), or -1.
  int fieldIndex(const std::string& name) const;

  // Navigation over visible records (not deleted, passing the filter).
  void DBGOTOP();
  void DBGOBOTTOM();
  void DBSKIP(long count = 1);
  // Positions on record n whatever its flags; n beyond the last gives end of file.
  void DBGOTO(uint32_t n);
  bool Eof() const;
  bool Bof() const;
  bool Found() const;
  uint32_t RECNO() const;
  bool DELETED() const;
  // Number of records: from the file size in shared use, from the header otherwise.
  uint32_t LASTREC() const;

  void DBSETFILTER(std::function<bool(WorkArea&)> condition, std::string text);
  void DBCLEARFILTER();
  const std::string& filterText() const;

  // Field reads of the current record; all blank at end of file.
  // Throws EngineError when the field does not exist.
  Value get(const std::string& field) const;
  std::string getText(const std::string& field) const;  // C fields, trailing blanks kept
  double getNumber(const std::string& field) const;
  Date getDate(const std::string& field) const;
  bool getLogical(const std::string& field) const;

  // Field write into the record buffer. Requires: in shared use, the current
  // record locked by this area or the table file-locked (else 38/1022).
  // Throws 33/1020 for a value of the wrong type and 34/1021 for a number too
  // wide for the field; on a width error the buffer is discarded, never written.
  void put(const std::string& field, const Value& value);

  // Appends a blank record and stands on it, locked. In shared use returns
  // false (network-error flag set, nothing added, position kept) when the new
  // record cannot be locked.
  bool DBAPPEND();
  void DBDELETE();
  void DBRECALL();
  // Requires: exclusive use. Removes deleted records, renumbering the rest.
  void DBPACK();
  // Runs `action` on every visible record meeting `forCondition` (all when empty), from the top.
  void DBEVAL(const std::function<void(WorkArea&)>& action,
              const std::function<bool(WorkArea&)>& forCondition = {});

  // Orders, from the table's compound index file (NAME.CDX, attached at open
  // when it exists). Order numbers follow the creation of the tags.
  // Attaches `indexFile` (nothing is reopened when it is attached already);
  // with no controlling order, its first tag becomes it and the area goes top.
  void DBSETINDEX(const std::string& indexFile);
  // Makes order n controlling; 0, or a number with no tag, gives record order.
  // The scopes are cleared; the area stays on its record.
  void DBSETORDER(int order);
  int INDEXORD() const;
  bool indexAttached() const;
  int orderCount() const;
  // The order number of tag `name` (any case), or 0.
  int orderNumber(const std::string& name) const;
  // Seeks `key` in the controlling order: a text matches the keys that begin
  // with it. On failure the area goes to end of file, or with `soft` (or the
  // workspace's soft seeking) to the first key after it.
  bool DBSEEK(const Value& key, bool soft = false);
  // Sets (value) or clears (nullopt) the top (0) or bottom (1) scope of the controlling order.
  void ORDSCOPE(int which, const std::optional<Value>& value);
  // Visible keys of the controlling order (records without one), and the current record's position among them.
  uint32_t ORDKEYCOUNT();
  uint32_t ORDKEYNO();
  // The FOR condition text and descending flag of the next ORDCREATE.
  void ORDCONDSET(const std::string& forText, bool descending);
  // Builds tag `tag` of `indexFile` (created when missing) over the records
  // meeting the pending FOR condition, and makes it the controlling order.
  // A tag of that name is rebuilt in place, keeping its number.
  void ORDCREATE(const std::string& indexFile, const std::string& tag, const std::string& keyText);

  // Lock of the current record; false at once when another copy holds it.
  bool RLOCK();
  // Lock of the whole file; false at once when another copy holds any part of it.
  bool FLOCK();
  void DBRUNLOCK();
  bool isLocked(uint32_t recno) const;
  // Writes the pending record and the header when it changed, then flushes.
  void DBCOMMIT();
  void DBCLOSEAREA();

  // The area's state; defined with the engine, for the engine's own files.
  struct State;
  State* state() const { return s_.get(); }

 private:
  friend class Workspace;
  WorkArea(Workspace& ws, std::string alias, std::unique_ptr<TableFile> file);
  Workspace& ws_;
  std::string alias_;
  std::unique_ptr<State> s_;
};

// Whether an open attaches the table's compound index file.
enum class OpenIndex { kAttach, kNone };

class Workspace {
 public:
  // `env` is the file layer to use (tests inject faults); null means the real one.
  explicit Workspace(std::filesystem::path dataDir, FileLayer* env = nullptr);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  ~Workspace();

  const std::filesystem::path& dataDir() const { return dataDir_; }
  FileLayer& env() const { return *env_; }

  // Creates the table file `fileName` (relative to the data directory, e.g.
  // "SOCIOS.DBF") with no records; it is not left open. Throws 20/1004.
  void DBCREATE(const std::string& fileName, const Structure& structure);

  // Opens a table under `alias` (empty: the file name's stem, upper case) and
  // makes it current. Shared when `shared`, else exclusive. Returns false with
  // the network-error flag set when another copy's use forbids the open.
  // Throws 21/1001 when the file cannot be opened, 32/1012 when it is damaged.
  // With OpenIndex::kNone the table's index file is left unattached (only
  // for exclusive use, where the lock offsets of other copies do not matter).
  bool DBUSEAREA(bool newArea, const std::string& fileName, const std::string& alias, bool shared,
                 bool readOnly = false, OpenIndex index = OpenIndex::kAttach);
  void DBCLOSEALL();

  bool NETERR() const { return netErr_; }
  void setNetErr(bool v) { netErr_ = v; }
  // Soft seeking for every seek of the run.
  bool softSeek() const { return softSeek_; }
  void setSoftSeek(bool v) { softSeek_ = v; }

  // The area open under `alias` (any case); throws when there is none.
  WorkArea& area(const std::string& alias);
  WorkArea* find(const std::string& alias);
  WorkArea& current();
  // The alias of the current area; empty when none is.
  const std::string& currentAlias() const { return current_; }
  void select(const std::string& alias);
  bool used(const std::string& alias) const;
  std::vector<std::string> aliases() const;

  // Resolves a table file name inside the data directory, without regard to
  // case when the exact name is absent.
  std::filesystem::path resolve(const std::string& fileName) const;

 private:
  friend class WorkArea;
  // Commits, unlocks and closes the area under `alias`, then forgets it.
  void closeArea(const std::string& alias);
  std::filesystem::path dataDir_;
  std::unique_ptr<FileLayer> ownedEnv_;
  FileLayer* env_;
  std::map<std::string, std::unique_ptr<WorkArea>> areas_;  // by upper-case alias
  std::string current_;
  bool netErr_ = false;
  bool softSeek_ = false;
};

}  // namespace canalix::store
