// The session values of the shell.
#include "shell/session.h"

#include <cstdio>
#include <ctime>

namespace canalix::shell {

Session startSession(int argc, const char* const* argv) {
  Session s;
  s.startDate = store::today();
  s.startTime = timeText();
  // The program takes exactly one parameter; none or several count as a blank.
  if (argc == 2) s.parameter = argv[1];
  return s;
}

std::string windowTitle(const Session& session) {
  return std::string(kProgramTitle) + " - " + session.communityTitle;
}

std::string versionTag() { return std::string(kProgramTitle.substr(10, 4)); }

std::string timeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

}  // namespace canalix::shell
