// The child-process hook's answer list.
#include "shell/test_hook.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace canalix::shell {
namespace {

TEST(TestHookAnswers, CommaSeparatedSiAndNo) {
  struct Case {
    const char* text;
    std::vector<bool> answers;
  };
  const std::vector<Case> cases = {
      {"si", {true}},
      {"no,si", {false, true}},
      {"sí,no,no", {true, false, false}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(parseAnswers(c.text), c.answers) << c.text;
  EXPECT_THROW(parseAnswers("quizá"), std::invalid_argument);
  EXPECT_THROW(parseAnswers("si,"), std::invalid_argument);  // a trailing comma is a blank answer
}

}  // namespace
}  // namespace canalix::shell
