// The one door of the table engine to the file system: open, positioned reads
// and writes, size, truncation, flush, rename, removal and byte-range locks.
// Everything goes through it so that a test can make any call fail (a subclass
// overrides the call and returns an error number).
//
// Locks are Linux open-file-description locks (F_OFD_SETLK, F_OFD_SETLKW,
// F_OFD_GETLK): they belong to one open file, as a lock of a copy of the
// program on its own handle should, and closing some other descriptor of the
// same file never drops them (classic POSIX record locks would).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace canalix::store {

enum class LockKind { kShared, kExclusive };

enum class LockResult {
  kGranted,
  kBusy,         // another open file holds a conflicting lock
  kUnsupported,  // the file system refuses byte-range locks (ENOLCK, EINVAL)
  kError,        // any other failure
};

// The real file layer; subclasses may override any call. Calls returning int
// return 0 on success or the errno value of the failure.
class FileLayer {
 public:
  FileLayer() = default;
  FileLayer(const FileLayer&) = delete;
  FileLayer& operator=(const FileLayer&) = delete;
  virtual ~FileLayer() = default;

  // Opens `path` read-write (or read-only) and stores the descriptor in `fd`.
  // `create` creates the file or empties an existing one.
  virtual int open(const std::filesystem::path& path, bool writable, bool create, int& fd);
  virtual void close(int fd);
  // Reads up to `n` bytes at `offset`; `got` receives how many were read
  // (fewer only at the end of the file).
  virtual int read(int fd, uint64_t offset, void* buf, size_t n, size_t& got);
  // Writes all `n` bytes at `offset`.
  virtual int write(int fd, uint64_t offset, const void* buf, size_t n);
  virtual int size(int fd, uint64_t& bytes);
  virtual int truncate(int fd, uint64_t bytes);
  virtual int sync(int fd);
  // Makes a rename or creation inside `dir` durable.
  virtual int syncDir(const std::filesystem::path& dir);
  virtual int rename(const std::filesystem::path& from, const std::filesystem::path& to);
  virtual int remove(const std::filesystem::path& path);

  // Locks `length` bytes from `offset`; fails at once unless `wait`, which
  // waits until granted. A lock over bytes this open file already holds
  // changes their kind.
  virtual LockResult lock(int fd, uint64_t offset, uint64_t length, LockKind kind, bool wait = false);
  virtual void unlock(int fd, uint64_t offset, uint64_t length);
  // True when some other open file holds a lock that would conflict with a
  // lock of `kind` on the range.
  virtual bool lockedByOther(int fd, uint64_t offset, uint64_t length, LockKind kind);
};

// Writes `bytes` as the whole content of `path`: into a private name in the
// same folder, flushed, then renamed over `path`, so that the file is either
// complete or absent. Returns 0 or the errno of the failure.
int writeFileAside(FileLayer& env, const std::filesystem::path& path, const std::string& bytes);

// Renames `path` to `path` + `suffix` (+ a number when that name is taken),
// keeping its bytes, and returns the name given. Throws 24/1011 on failure.
std::filesystem::path renameAside(FileLayer& env, const std::filesystem::path& path, std::string_view suffix);

}  // namespace canalix::store
