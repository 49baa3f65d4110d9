// The test hook of the program, for tests that run the built `canalix` as a
// child process. It is read only when its environment variable is set and
// changes nothing otherwise.
//
//   CANALIX_TEST_EXIT_ANSWERS=no,si
//
// makes the program use the scripted UI port instead of the windows' boxes:
// the answers ("si"/"no", in order) reply to its questions, the main window is
// asked to close once per answer after it is first shown, and on leaving (also
// through the general error handler) every call of the port is written to
// standard output, one line each (ScriptedPort::dump).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace canalix::shell {

inline constexpr const char* kTestExitAnswersVariable = "CANALIX_TEST_EXIT_ANSWERS";

// The answers of the hook's variable; nullopt when it is not set. Throws
// std::invalid_argument for a word that is neither "si"/"sí" nor "no".
std::optional<std::vector<bool>> testExitAnswers();

// The answers of `text`, a comma-separated list.
std::vector<bool> parseAnswers(std::string_view text);

}  // namespace canalix::shell
