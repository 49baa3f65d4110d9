// POSIX implementation of the file layer; byte-range locks are Linux
// open-file-description locks, never classic POSIX record locks.
#include "store/file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "store/engine_error.h"

namespace canalix::store {

namespace {

struct flock rangeOf(short type, uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required by F_OFD_* calls
  return fl;
}

}  // namespace

int FileLayer::open(const std::filesystem::path& path, bool writable, bool create, int& fd) {
  int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (create) flags |= O_CREAT | O_TRUNC;
  fd = ::open(path.c_str(), flags, 0666);
  return fd < 0 ? errno : 0;
}

void FileLayer::close(int fd) {
  if (fd >= 0) ::close(fd);
}

int FileLayer::read(int fd, uint64_t offset, void* buf, size_t n, size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < n) {
    const ssize_t r = ::pread(fd, p + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return 0;
}

int FileLayer::write(int fd, uint64_t offset, const void* buf, size_t n) {
  const auto* p = static_cast<const char*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pwrite(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(r);
  }
  return 0;
}

int FileLayer::size(int fd, uint64_t& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  bytes = static_cast<uint64_t>(st.st_size);
  return 0;
}

int FileLayer::truncate(int fd, uint64_t bytes) {
  return ::ftruncate(fd, static_cast<off_t>(bytes)) == 0 ? 0 : errno;
}

int FileLayer::sync(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int FileLayer::syncDir(const std::filesystem::path& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int rc = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return rc;
}

int FileLayer::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileLayer::remove(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

LockResult FileLayer::lock(int fd, uint64_t offset, uint64_t length, LockKind kind, bool wait) {
  struct flock fl = rangeOf(kind == LockKind::kShared ? F_RDLCK : F_WRLCK, offset, length);
  for (;;) {
    if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return LockResult::kGranted;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return LockResult::kBusy;
    if (errno == ENOLCK || errno == EINVAL) return LockResult::kUnsupported;
    return LockResult::kError;
  }
}

void FileLayer::unlock(int fd, uint64_t offset, uint64_t length) {
  struct flock fl = rangeOf(F_UNLCK, offset, length);
  ::fcntl(fd, F_OFD_SETLK, &fl);
}

bool FileLayer::lockedByOther(int fd, uint64_t offset, uint64_t length, LockKind kind) {
  struct flock fl = rangeOf(kind == LockKind::kShared ? F_RDLCK : F_WRLCK, offset, length);
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

int writeFileAside(FileLayer& env, const std::filesystem::path& path, const std::string& bytes) {
  const auto aside = path.parent_path() / ("~" + path.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
  int fd = -1;
  int rc = env.open(aside, true, true, fd);
  if (rc == 0) {
    rc = env.write(fd, 0, bytes.data(), bytes.size());
    if (rc == 0) rc = env.sync(fd);
    env.close(fd);
  }
  if (rc == 0) rc = env.rename(aside, path);
  if (rc == 0) rc = env.syncDir(path.parent_path());
  if (rc != 0) env.remove(aside);
  return rc;
}

std::filesystem::path renameAside(FileLayer& env, const std::filesystem::path& path, std::string_view suffix) {
  std::filesystem::path kept = path.string() + std::string(suffix);
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(kept, ec); ++n) kept = path.string() + std::string(suffix) + std::to_string(n);
  if (const int rc = env.rename(path, kept); rc != 0)
    throw EngineError(err::kWrite, err::kWriteSub, "renombrar", path.string(), std::strerror(rc));
  env.syncDir(path.parent_path());
  return kept;
}

}  // namespace canalix::store
