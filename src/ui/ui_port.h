// The UI port: every message box, yes/no question, tone, transient notice,
// progress meter and file choice an operation needs goes through this one
// interface, so that operations stay free of Qt and a test can drive them.
//
// Texts are UTF-8 (table text, which is Windows-1252, is converted by the
// caller). A text is shown unchanged: a ";" stays a semicolon and lines break
// only where a carriage return and line feed stand. An empty title takes the
// default of the box's kind ("Information", "Stop", "Alert", "Select an option").
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace canalix::ui {

enum class BoxKind { kInfo, kStop, kAlert, kQuestion };

// Which answer Enter gives in a yes/no question. Destructive or bulk actions ask with kNo.
enum class DefaultAnswer { kYes, kNo };

// One entry of a file chooser's type list: "Copias de seguridad" and "*.zip".
struct FileFilter {
  std::string description;
  std::string pattern;
};

class UiPort {
 public:
  UiPort() = default;
  UiPort(const UiPort&) = delete;
  UiPort& operator=(const UiPort&) = delete;
  virtual ~UiPort() = default;

  virtual void info(std::string_view text, std::string_view title = {}) = 0;
  virtual void stop(std::string_view text, std::string_view title = {}) = 0;
  virtual void alert(std::string_view text, std::string_view title = {}) = 0;
  // True for "Sí".
  virtual bool yesNo(std::string_view text, std::string_view title = {},
                     DefaultAnswer defaultAnswer = DefaultAnswer::kYes) = 0;

  // Plays a tone of `hertz` for `milliseconds` and returns when it has ended,
  // so that two calls sound one after the other.
  virtual void tone(int hertz, int milliseconds) = 0;
  // A short text that needs no answer and goes away by itself.
  virtual void notice(std::string_view text) = 0;

  // A progress meter over 0..maximum, with a text under it.
  virtual void progressBegin(std::string_view title, std::string_view text, int maximum) = 0;
  virtual void progressStep(int value, std::string_view text) = 0;
  virtual void progressEnd() = 0;

  // File choices; nullopt when the user cancels.
  virtual std::optional<std::filesystem::path> openFile(std::string_view title,
                                                        const std::filesystem::path& folder,
                                                        const std::vector<FileFilter>& filters) = 0;
  virtual std::optional<std::filesystem::path> saveFile(std::string_view title,
                                                        const std::filesystem::path& suggested,
                                                        const std::vector<FileFilter>& filters) = 0;
  virtual std::optional<std::filesystem::path> chooseFolder(std::string_view title,
                                                            const std::filesystem::path& start) = 0;
};

// The title a box of `kind` shows: `title`, or the kind's default when it is empty.
std::string boxTitle(BoxKind kind, std::string_view title);

// The lines a box shows for `text`: split only at carriage return + line feed;
// a lone carriage return or line feed is shown as a blank.
std::vector<std::string> boxLines(std::string_view text);

}  // namespace canalix::ui
