// findDataFile: a file of the data directory found without regard to case.
#include "shell/data_files.h"

#include <cctype>
#include <system_error>

#include "store/names.h"

namespace canalix::shell {
namespace {

using store::sameName;

}  // namespace

std::filesystem::path findDataFile(const std::filesystem::path& dir, std::string_view name) {
  std::error_code ec;
  const std::filesystem::path exact = dir / std::string(name);
  if (std::filesystem::is_regular_file(exact, ec)) return exact;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.is_regular_file(ec) && sameName(entry.path().filename().string(), name)) return entry.path();
  }
  return {};
}

}  // namespace canalix::shell
