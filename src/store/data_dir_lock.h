// The data directory's own lock. Every running copy of the program holds it
// shared from start-up to exit; an operation that replaces the data set's
// files (the reorganisation) holds it exclusively, so that it starts only
// when no other copy is running and no copy starts while it runs.
//
// The lock is an open-file-description lock on the first byte of the empty
// file CANALIX.LCK in the data directory, taken through the file layer.
#pragma once

#include <filesystem>
#include <string_view>

#include "store/file_layer.h"

namespace canalix::store {

inline constexpr std::string_view kDataDirLockFile = "CANALIX.LCK";

class DataDirLock {
 public:
  // Opens the lock file of `dir`, creating it when missing; holds no lock yet.
  // `env` null means the real file layer. Throws 21/1001 when it cannot.
  explicit DataDirLock(const std::filesystem::path& dir, FileLayer* env = nullptr);
  DataDirLock(const DataDirLock&) = delete;
  DataDirLock& operator=(const DataDirLock&) = delete;
  ~DataDirLock();

  // Takes the lock shared, or turns an exclusive one shared; never waits.
  // kBusy while another copy holds it exclusively.
  LockResult share();
  // Takes the lock exclusively, or turns a shared one exclusive; never waits.
  // kBusy while another copy holds it in any way; a shared lock held stays held.
  LockResult makeExclusive();
  void release();

  bool held() const { return kind_ != Held::kNone; }
  bool exclusive() const { return kind_ == Held::kExclusive; }

 private:
  enum class Held { kNone, kShared, kExclusive };
  LockResult take(LockKind kind);

  FileLayer* env_;
  int fd_ = -1;
  Held kind_ = Held::kNone;
};

}  // namespace canalix::store
