// The data directory's lock on the first byte of CANALIX.LCK.
#include "store/data_dir_lock.h"

#include <cerrno>
#include <cstring>

#include "store/engine_error.h"

namespace canalix::store {
namespace {

FileLayer& realLayer() {
  static FileLayer layer;
  return layer;
}

}  // namespace

DataDirLock::DataDirLock(const std::filesystem::path& dir, FileLayer* env) : env_(env ? env : &realLayer()) {
  const std::filesystem::path path = dir / kDataDirLockFile;
  int rc = env_->open(path, true, false, fd_);
  // Created empty when missing; two copies creating it at once both find it empty.
  if (rc == ENOENT) rc = env_->open(path, true, true, fd_);
  if (rc != 0)
    throw EngineError(err::kOpen, err::kOpenSub, "DBUSEAREA", path.string(), std::strerror(rc));
}

DataDirLock::~DataDirLock() {
  release();
  env_->close(fd_);
}

LockResult DataDirLock::take(LockKind kind) {
  const LockResult result = env_->lock(fd_, 0, 1, kind);
  if (result == LockResult::kGranted) kind_ = kind == LockKind::kShared ? Held::kShared : Held::kExclusive;
  return result;
}

LockResult DataDirLock::share() { return take(LockKind::kShared); }

LockResult DataDirLock::makeExclusive() { return take(LockKind::kExclusive); }

void DataDirLock::release() {
  if (kind_ == Held::kNone) return;
  env_->unlock(fd_, 0, 1);
  kind_ = Held::kNone;
}

}  // namespace canalix::store
