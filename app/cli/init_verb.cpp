// canalix-cli init DIR: prepares a data directory as start-up does, without a
// window: every missing table is created (CREAFI) and every missing or damaged
// index file built (INDEXAFI), under the data directory's lock. Prints each
// file created.
#include <cstdio>
#include <filesystem>

#include "cli_verbs.h"
#include "store/creafi.h"
#include "store/data_dir_lock.h"
#include "store/table_orders.h"
#include "store/table_engine.h"

namespace canalix::cli {

int fail(const std::string& message) {
  std::fprintf(stderr, "canalix-cli: %s\n", message.c_str());
  return 1;
}

std::optional<std::filesystem::path> dataDirectoryArg(const Args& args, const std::string& usage) {
  if (args.size() != 1) {
    fail("uso: canalix-cli " + usage);
    return std::nullopt;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(args[0], ec)) {
    fail("no existe el directorio " + args[0]);
    return std::nullopt;
  }
  return std::filesystem::path(args[0]);
}

int initVerb(const Args& args) {
  const auto found = dataDirectoryArg(args, "init DIRECTORIO");
  if (!found) return 1;
  const std::filesystem::path& dir = *found;
  store::Workspace ws(dir);
  store::DataDirLock lock(dir);
  if (lock.share() != store::LockResult::kGranted)
    return fail("otro puesto está reorganizando los archivos de CANALIX; inténtelo más tarde");
  for (const std::string& file : store::CREAFI(ws)) std::printf("Tabla creada: %s\n", file.c_str());
  const store::IndexReport report = store::INDEXAFI(ws);
  for (const std::string& kept : report.setAside) std::printf("Índice dañado apartado: %s\n", kept.c_str());
  for (const std::string& table : report.built) std::printf("Índice creado: %s.CDX\n", table.c_str());
  return 0;
}

}  // namespace canalix::cli
