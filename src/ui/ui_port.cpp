// The rules every implementation of the UI port shares: default titles and line breaks.
#include "ui/ui_port.h"

namespace canalix::ui {

std::string boxTitle(BoxKind kind, std::string_view title) {
  if (!title.empty()) return std::string(title);
  switch (kind) {
    case BoxKind::kInfo:
      return "Information";
    case BoxKind::kStop:
      return "Stop";
    case BoxKind::kAlert:
      return "Alert";
    case BoxKind::kQuestion:
      return "Select an option";
  }
  return {};
}

std::vector<std::string> boxLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      lines.emplace_back();
      ++i;
    } else if (c == '\r' || c == '\n') {
      lines.back() += ' ';
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace canalix::ui
