// Runs a command line in a shell and captures its output and exit code.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace canalix::testing {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline RunResult run(const std::string& command) {
  const std::string base = "/tmp/canalix-run-" + std::to_string(::getpid());
  const int status = std::system((command + " >" + base + ".out 2>" + base + ".err").c_str());
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = readFile(base + ".out");
  r.err = readFile(base + ".err");
  std::filesystem::remove(base + ".out");
  std::filesystem::remove(base + ".err");
  return r;
}

inline std::string cli(const std::string& args) { return std::string(CANALIX_CLI) + " " + args; }

}  // namespace canalix::testing
