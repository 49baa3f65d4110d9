// What the shell keeps for the life of the main window: start date and time,
// the user record, the working year and the titles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/julian.h"

namespace canalix::shell {

inline constexpr std::string_view kProgramTitle = "CANALIX - 4.4c (02-04-2014) Año 2014";
inline constexpr std::string_view kSingleCommunityTitle = " Gestión de Comunidad de Regantes";
inline constexpr int kWorkingYear = 2014;

struct Session {
  store::Date startDate;
  std::string startTime;    // "hh:mm:ss"
  uint32_t userRecord = 1;  // record of USUARIOS; set by a successful log-in
  int workingYear = kWorkingYear;
  std::string parameter = " ";  // the start-up parameter; a blank when none or several were given
  std::string communityTitle{kSingleCommunityTitle};  // UTF-8, as shown
};

// A session started now with the start-up arguments (argv[1..]).
Session startSession(int argc, const char* const* argv);

// The main window's title: program title, " - " and the community title.
std::string windowTitle(const Session& session);

// Characters 11 to 14 of the program title: "4.4c".
std::string versionTag();

// The local time as "hh:mm:ss".
std::string timeText();

}  // namespace canalix::shell
