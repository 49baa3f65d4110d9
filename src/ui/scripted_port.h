// The UI port of tests: records every call and answers from a script.
//
// Each call is kept with its kind, the title the box would show (defaults
// applied), its text and, for tones, the frequency and duration. Questions and
// file choices take the next scripted answer of their sort; one that finds the
// script empty throws UnscriptedCall, so a test never passes by accident on a
// question it did not expect.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/ui_port.h"

namespace canalix::ui {

enum class CallKind {
  kInfo,
  kStop,
  kAlert,
  kQuestion,
  kTone,
  kNotice,
  kProgressBegin,
  kProgressStep,
  kProgressEnd,
  kOpenFile,
  kSaveFile,
  kChooseFolder,
};

// "info", "stop", "question", ...: the kind's name in records and dumps.
const char* callKindName(CallKind kind);

struct PortCall {
  CallKind kind;
  std::string title;
  std::string text;
  int hertz = 0;                                      // tones
  int milliseconds = 0;                               // tones
  int value = 0;                                      // progress maximum or step
  DefaultAnswer defaultAnswer = DefaultAnswer::kYes;  // questions
};

class UnscriptedCall : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class ScriptedPort : public UiPort {
 public:
  ScriptedPort() = default;

  // Script: answers taken in order by the questions and the file choices.
  void answer(bool yes) { answers_.push_back(yes); }
  void answerFile(std::optional<std::filesystem::path> file) { files_.push_back(std::move(file)); }
  // Answers not yet used.
  size_t answersLeft() const { return answers_.size(); }

  const std::vector<PortCall>& calls() const { return calls_; }
  std::vector<PortCall> callsOf(CallKind kind) const;
  // Frequencies of the tones played, in order.
  std::vector<int> toneFrequencies() const;
  void clear() { calls_.clear(); }
  // One line per call: kind, title and text separated by " | " (CR LF written as "\r\n").
  std::string dump() const;

  void info(std::string_view text, std::string_view title = {}) override;
  void stop(std::string_view text, std::string_view title = {}) override;
  void alert(std::string_view text, std::string_view title = {}) override;
  bool yesNo(std::string_view text, std::string_view title = {},
             DefaultAnswer defaultAnswer = DefaultAnswer::kYes) override;
  void tone(int hertz, int milliseconds) override;
  void notice(std::string_view text) override;
  void progressBegin(std::string_view title, std::string_view text, int maximum) override;
  void progressStep(int value, std::string_view text) override;
  void progressEnd() override;
  std::optional<std::filesystem::path> openFile(std::string_view title, const std::filesystem::path& folder,
                                                const std::vector<FileFilter>& filters) override;
  std::optional<std::filesystem::path> saveFile(std::string_view title,
                                                const std::filesystem::path& suggested,
                                                const std::vector<FileFilter>& filters) override;
  std::optional<std::filesystem::path> chooseFolder(std::string_view title,
                                                    const std::filesystem::path& start) override;

 private:
  PortCall& record(CallKind kind, std::string_view title, std::string_view text);
  std::optional<std::filesystem::path> nextFile(CallKind kind, std::string_view title);

  std::vector<PortCall> calls_;
  std::deque<bool> answers_;
  std::deque<std::optional<std::filesystem::path>> files_;
};

}  // namespace canalix::ui
