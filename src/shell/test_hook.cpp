// The child-process test hook's answers.
#include "shell/test_hook.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace canalix::shell {

std::vector<bool> parseAnswers(std::string_view text) {
  std::vector<bool> answers;
  if (text.empty()) return answers;
  for (;;) {
    const size_t comma = text.find(',');
    const std::string word(text.substr(0, comma));
    if (word == "si" || word == "sí" || word == "SI") {
      answers.push_back(true);
    } else if (word == "no" || word == "NO") {
      answers.push_back(false);
    } else {
      throw std::invalid_argument(std::string(kTestExitAnswersVariable) + ": respuesta no válida '" + word +
                                  "'");
    }
    if (comma == std::string_view::npos) return answers;
    text.remove_prefix(comma + 1);
  }
}

std::optional<std::vector<bool>> testExitAnswers() {
  const char* value = std::getenv(kTestExitAnswersVariable);
  if (!value) return std::nullopt;
  return parseAnswers(value);
}

}  // namespace canalix::shell
