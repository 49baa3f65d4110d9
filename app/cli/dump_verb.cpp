// canalix-cli dump DIR TABLE: every record of a table, deleted ones included,
// in record order, as delimited text on stdout.
//
// First line: "*" and the field names as the file stores them, joined by ",".
// Then one line per record: "*" for a deleted record or a blank for a live one,
// then the fields in declaration order: character values in double quotes with
// trailing blanks removed (a quote inside is doubled), numbers without leading
// blanks at the field's decimals, dates as YYYYMMDD (nothing when empty),
// logicals T or F. Text is written as the table holds it (single-byte), unchanged.
// The table is opened shared and read-only, so other copies may keep using it.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli_verbs.h"
#include "store/table_engine.h"

namespace canalix::cli {
namespace {

std::string quoted(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += c;
  }
  return out + "\"";
}

std::string number(double value, int decimals) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

std::string date(store::Date d) {
  if (d.empty()) return {};
  int y, m, day;
  store::ymdFromJulian(d.julian, y, m, day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
  return buf;
}

std::string field(const store::WorkArea& area, const store::FieldSpec& f) {
  switch (f.type) {
    case 'C': return quoted(area.getText(f.name));
    case 'N': return number(area.getNumber(f.name), f.decimals);
    case 'D': return date(area.getDate(f.name));
    case 'L': return area.getLogical(f.name) ? "T" : "F";
  }
  return {};
}

std::string tableFileName(std::string table) {
  if (std::filesystem::path(table).extension().empty()) table += ".DBF";
  return table;
}

}  // namespace

int dumpVerb(const Args& args) {
  if (args.size() != 2) return fail("uso: canalix-cli dump DIRECTORIO TABLA");
  store::Workspace ws(args[0]);
  const std::string fileName = tableFileName(args[1]);
  std::error_code ec;
  if (!std::filesystem::exists(ws.resolve(fileName), ec)) {
    return fail("no existe la tabla " + fileName + " en " + args[0]);
  }
  if (!ws.DBUSEAREA(true, fileName, "", true, true)) {
    return fail("la tabla " + fileName + " está en uso exclusivo por otro usuario");
  }
  store::WorkArea& area = ws.current();
  std::string line = "*";
  for (const store::FieldSpec& f : area.structure()) line += "," + f.name;
  std::printf("%s\n", line.c_str());
  const uint32_t count = area.LASTREC();
  for (uint32_t n = 1; n <= count; ++n) {
    area.DBGOTO(n);
    line = area.DELETED() ? "*" : " ";
    for (const store::FieldSpec& f : area.structure()) line += "," + field(area, f);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  ws.DBCLOSEALL();
  return 0;
}

}  // namespace canalix::cli
