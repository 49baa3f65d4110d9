// Files of the data directory that are not tables (the background picture).
#pragma once

#include <filesystem>
#include <string_view>

namespace canalix::shell {

inline constexpr std::string_view kBackgroundPicture = "CANALIX.JPG";

// The file `name` in `dir`: the exact name first, else the one whose name
// differs only in case. Empty when there is none.
std::filesystem::path findDataFile(const std::filesystem::path& dir, std::string_view name);

}  // namespace canalix::shell
