// The verbs of canalix-cli. Each is a thin wrapper around the operation a
// screen calls: it takes the verb's arguments (after the verb itself), prints
// results on stdout and errors on stderr, in Spanish, and returns the exit code.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace canalix::cli {

using Args = std::vector<std::string>;

// init DIR: what start-up does to a data directory, without a window.
int initVerb(const Args& args);
// dump DIR TABLE: every record of a table as delimited text, in record order.
int dumpVerb(const Args& args);

// check DIR TABLE: the soundness of the table's index file.
int checkVerb(const Args& args);

// reorganize DIR: the automatic reorganisation, progress on stderr; exits 1
// with the refusal's message when another copy of the program is at work.
int reorganizeVerb(const Args& args);

// The data directory of a verb taking DIRECTORIO alone; null after printing
// the usage or the error when `args` is not one existing directory.
std::optional<std::filesystem::path> dataDirectoryArg(const Args& args, const std::string& usage);

// Prints `message` on stderr as an error of canalix-cli; returns exit code 1.
int fail(const std::string& message);

}  // namespace canalix::cli
