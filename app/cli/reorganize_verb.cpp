// canalix-cli reorganize DIR: the reorganisation in its automatic mode,
// without a window. The progress goes to stderr, one line per change of the
// percentage or the text; a refusal prints its message and exits 1.
#include <cstdio>
#include <filesystem>

#include "cli_verbs.h"
#include "store/data_dir_lock.h"
#include "store/reorganisation.h"
#include "store/table_engine.h"

namespace canalix::cli {
namespace {

// A box text for a terminal: its CR LF line breaks as plain line feeds.
std::string terminalText(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
  return text;
}

}  // namespace

int reorganizeVerb(const Args& args) {
  const auto found = dataDirectoryArg(args, "reorganize DIRECTORIO");
  if (!found) return 1;
  const std::filesystem::path& dir = *found;
  store::Workspace ws(dir);
  store::DataDirLock lock(dir);
  store::ReorgOptions options;
  options.today = store::today();
  options.progress = [](const store::ReorgProgress& p) {
    std::fprintf(stderr, "%3d%% %s\n", p.percent, p.text.c_str());
  };
  const store::ReorgResult result = store::INDEXAYA(ws, lock, options);
  if (!result.done) return fail(terminalText(store::refusalMessage(result)));
  return 0;
}

}  // namespace canalix::cli
