// UTF-8 text of the operations to and from Qt strings.
#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace canalix::ui {

inline QString toQt(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }
inline std::string fromQt(const QString& text) { return text.toUtf8().toStdString(); }
// File names on Linux are bytes; the desktop writes them in UTF-8.
inline QString pathToQt(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }
inline std::filesystem::path pathFromQt(const QString& text) {
  return std::filesystem::path(text.toStdString());
}

}  // namespace canalix::ui
