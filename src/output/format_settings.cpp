// The one instance of the global formatting settings.
#include "output/format_settings.h"

namespace canalix::output {

namespace {
FormatSettings& current() {
  static FormatSettings settings;
  return settings;
}
}  // namespace

const FormatSettings& formatSettings() { return current(); }

void setFormatSettings(const FormatSettings& settings) { current() = settings; }

}  // namespace canalix::output
