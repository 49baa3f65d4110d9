// The one error type of the table engine: the general code and sub-code of the
// engine's error table, the operation that failed and the file it was working on.
#pragma once

#include <stdexcept>
#include <string>

namespace canalix::store {

class EngineError : public std::runtime_error {
 public:
  EngineError(int genCode, int subCode, std::string operation, std::string file, std::string detail = {});

  int genCode() const { return genCode_; }
  int subCode() const { return subCode_; }
  const std::string& operation() const { return operation_; }
  const std::string& file() const { return file_; }
  const std::string& detail() const { return detail_; }
  // The error's description for the report ("Error de creación", ...).
  std::string description() const;

 private:
  int genCode_;
  int subCode_;
  std::string operation_;
  std::string file_;
  std::string detail_;
};

// General codes and sub-codes of the error table.
namespace err {
inline constexpr int kOpen = 21, kOpenSub = 1001;
inline constexpr int kIndexOpen = 21, kIndexOpenSub = 1003;
inline constexpr int kCreate = 20, kCreateSub = 1004;
inline constexpr int kCorrupt = 32, kCorruptSub = 1012;
inline constexpr int kWrite = 24, kWriteSub = 1011;
inline constexpr int kDataType = 33, kDataTypeSub = 1020;
inline constexpr int kDataWidth = 34, kDataWidthSub = 1021;
inline constexpr int kUnlocked = 38, kUnlockedSub = 1022;
inline constexpr int kAppendLock = 40, kAppendLockSub = 1024;
inline constexpr int kReadOnly = 39, kReadOnlySub = 1025;
inline constexpr int kIndexLock = 41, kIndexLockSub = 1038;
// Beyond the table: failures the engine reports in the same form.
inline constexpr int kRead = 23, kReadSub = 1010;          // a read of a table file failed
inline constexpr int kNoField = 14, kNoFieldSub = 1003;    // no field of that name
inline constexpr int kNoAlias = 15, kNoAliasSub = 1002;    // no area under that alias
inline constexpr int kDupAlias = 16, kDupAliasSub = 1011;  // alias already in use
inline constexpr int kShared = 37, kSharedSub = 1023;      // operation needs exclusive use
}  // namespace err

}  // namespace canalix::store
