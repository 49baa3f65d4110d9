// ScriptedPort: the recording, scripted UI port of tests.
#include "ui/scripted_port.h"

namespace canalix::ui {

const char* callKindName(CallKind kind) {
  switch (kind) {
    case CallKind::kInfo:
      return "info";
    case CallKind::kStop:
      return "stop";
    case CallKind::kAlert:
      return "alert";
    case CallKind::kQuestion:
      return "question";
    case CallKind::kTone:
      return "tone";
    case CallKind::kNotice:
      return "notice";
    case CallKind::kProgressBegin:
      return "progress-begin";
    case CallKind::kProgressStep:
      return "progress-step";
    case CallKind::kProgressEnd:
      return "progress-end";
    case CallKind::kOpenFile:
      return "open-file";
    case CallKind::kSaveFile:
      return "save-file";
    case CallKind::kChooseFolder:
      return "choose-folder";
  }
  return "?";
}

std::vector<PortCall> ScriptedPort::callsOf(CallKind kind) const {
  std::vector<PortCall> out;
  for (const PortCall& c : calls_) {
    if (c.kind == kind) out.push_back(c);
  }
  return out;
}

std::vector<int> ScriptedPort::toneFrequencies() const {
  std::vector<int> out;
  for (const PortCall& c : callsOf(CallKind::kTone)) out.push_back(c.hertz);
  return out;
}

namespace {

std::string escapeBreaks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ScriptedPort::dump() const {
  std::string out;
  for (const PortCall& c : calls_) {
    out += callKindName(c.kind);
    out += " | " + escapeBreaks(c.title) + " | " + escapeBreaks(c.text);
    if (c.kind == CallKind::kTone)
      out += " | " + std::to_string(c.hertz) + " Hz " + std::to_string(c.milliseconds) + " ms";
    out += '\n';
  }
  return out;
}

PortCall& ScriptedPort::record(CallKind kind, std::string_view title, std::string_view text) {
  calls_.push_back(PortCall{kind, std::string(title), std::string(text)});
  return calls_.back();
}

void ScriptedPort::info(std::string_view text, std::string_view title) {
  record(CallKind::kInfo, boxTitle(BoxKind::kInfo, title), text);
}

void ScriptedPort::stop(std::string_view text, std::string_view title) {
  record(CallKind::kStop, boxTitle(BoxKind::kStop, title), text);
}

void ScriptedPort::alert(std::string_view text, std::string_view title) {
  record(CallKind::kAlert, boxTitle(BoxKind::kAlert, title), text);
}

bool ScriptedPort::yesNo(std::string_view text, std::string_view title, DefaultAnswer defaultAnswer) {
  PortCall& call = record(CallKind::kQuestion, boxTitle(BoxKind::kQuestion, title), text);
  call.defaultAnswer = defaultAnswer;
  if (answers_.empty()) {
    throw UnscriptedCall("pregunta sin respuesta en el guion: " + call.title + " / " + call.text);
  }
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

void ScriptedPort::tone(int hertz, int milliseconds) {
  PortCall& call = record(CallKind::kTone, {}, {});
  call.hertz = hertz;
  call.milliseconds = milliseconds;
}

void ScriptedPort::notice(std::string_view text) { record(CallKind::kNotice, {}, text); }

void ScriptedPort::progressBegin(std::string_view title, std::string_view text, int maximum) {
  record(CallKind::kProgressBegin, title, text).value = maximum;
}

void ScriptedPort::progressStep(int value, std::string_view text) {
  record(CallKind::kProgressStep, {}, text).value = value;
}

void ScriptedPort::progressEnd() { record(CallKind::kProgressEnd, {}, {}); }

std::optional<std::filesystem::path> ScriptedPort::nextFile(CallKind kind, std::string_view title) {
  record(kind, title, {});
  if (files_.empty()) {
    throw UnscriptedCall("elección de fichero sin respuesta en el guion: " + std::string(title));
  }
  auto file = files_.front();
  files_.pop_front();
  return file;
}

std::optional<std::filesystem::path> ScriptedPort::openFile(std::string_view title,
                                                            const std::filesystem::path&,
                                                            const std::vector<FileFilter>&) {
  return nextFile(CallKind::kOpenFile, title);
}

std::optional<std::filesystem::path> ScriptedPort::saveFile(std::string_view title,
                                                            const std::filesystem::path&,
                                                            const std::vector<FileFilter>&) {
  return nextFile(CallKind::kSaveFile, title);
}

std::optional<std::filesystem::path> ScriptedPort::chooseFolder(std::string_view title,
                                                                const std::filesystem::path&) {
  return nextFile(CallKind::kChooseFolder, title);
}

}  // namespace canalix::ui
