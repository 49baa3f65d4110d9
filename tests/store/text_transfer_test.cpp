// Copy to and append from: the fixed and delimited text files byte for byte,
// the delimited read rules line by line, round trips, table to table by name,
// appends into shared tables, and files that are complete or absent.
#include "store/text_transfer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "store/file_layer.h"
#include "store/table_engine.h"
#include "store/table_file.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

const std::string kEnd = "\x1A";

// Nombre C10, Importe N6.2, Cantidad N4, Fecha D, Pagado L.
Structure mixedStructure() {
  return {{"Nombre", 'C', 10, 0},
          {"Importe", 'N', 6, 2},
          {"Cantidad", 'N', 4, 0},
          {"Fecha", 'D', 8, 0},
          {"Pagado", 'L', 1, 0}};
}

struct Row {
  std::string nombre;
  double importe;
  double cantidad;
  Date fecha;
  bool pagado;
};

class TransferTest : public ScratchDir {
 protected:
  // Creates `file` with `st` and opens it under its stem, exclusive unless `shared`.
  WorkArea& open(Workspace& ws, const std::string& file, const Structure& st, bool shared = false) {
    ws.DBCREATE(file, st);
    EXPECT_TRUE(ws.DBUSEAREA(true, file, "", shared));
    return ws.current();
  }
  // Appends `rows` to an area with the mixed structure.
  static void fill(WorkArea& t, const std::vector<Row>& rows) {
    for (const Row& r : rows) {
      ASSERT_TRUE(t.DBAPPEND());
      t.put("Nombre", r.nombre);
      t.put("Importe", r.importe);
      t.put("Cantidad", r.cantidad);
      t.put("Fecha", r.fecha);
      t.put("Pagado", r.pagado);
    }
    t.DBCOMMIT();
  }
  static std::vector<std::string> records(WorkArea& t) {
    std::vector<std::string> out;
    for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) {
      std::string line;
      for (const FieldSpec& f : t.structure()) {
        const Value v = t.get(f.name);
        if (auto s = std::get_if<std::string>(&v)) line += "[" + *s + "]";
        if (auto n = std::get_if<double>(&v)) line += "[" + std::to_string(*n) + "]";
        if (auto d = std::get_if<Date>(&v)) line += "[" + std::to_string(d->julian) + "]";
        if (auto b = std::get_if<bool>(&v)) line += *b ? "[T]" : "[F]";
      }
      out.push_back(line);
    }
    return out;
  }
  // Names in the scratch folder, to catch leftovers of a failed write.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
};

// ---- fixed-width text ----------------------------------------------------------

TEST_F(TransferTest, FixedTextOfOneWideFieldIsTwoLinesOfExactlyItsWidth) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "HACIDIS.DBF", {{"Datos", 'C', 162, 0}});
  for (const std::string& s : {std::string("0180"), std::string(162, 'X') + "cut"}) {
    ASSERT_TRUE(t.DBAPPEND());
    t.put("Datos", s);
  }
  COPYTO(t, dir / "REMESA.N19", TransferFormat::fixed());
  const std::string expected =
      "0180" + std::string(158, ' ') + "\r\n" + std::string(162, 'X') + "\r\n" + kEnd;
  EXPECT_EQ(bytes("REMESA.N19"), expected);
  EXPECT_EQ(bytes("REMESA.N19").size(), 2u * 164 + 1);
}

TEST_F(TransferTest, FixedTextWritesEveryFieldInTheTableEncoding) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  fill(t, {{"Juan", 3.5, 12, makeDate(2014, 3, 14), true}, {"", -12.25, -7, Date{}, false}});
  ASSERT_TRUE(t.DBAPPEND());  // a record never assigned
  COPYTO(t, dir / "T.TXT", TransferFormat::fixed());
  EXPECT_EQ(bytes("T.TXT"),
            "Juan        3.50  1220140314T\r\n"
            "          -12.25  -7        F\r\n"
            "            0.00   0        F\r\n" +
                kEnd);
}

TEST_F(TransferTest, ANumberItsFieldCannotHoldIsAsterisksInFixedTextAndStopsATableCopy) {
  {
    Workspace ws(dir);
    WorkArea& t = open(ws, "T.DBF", {{"Importe", 'N', 6, 2}});
    ASSERT_TRUE(t.DBAPPEND());
  }
  std::string b = bytes("T.DBF");
  b.replace(32 + 32 + 2 + 1, 6, "999999");  // damaged: no room left for the decimals
  writeBytes("T.DBF", b);
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
  COPYTO(ws.current(), dir / "F.TXT", TransferFormat::fixed());
  COPYTO(ws.current(), dir / "D.TXT", TransferFormat::delimited());
  EXPECT_EQ(bytes("F.TXT"), "******\r\n" + kEnd);
  EXPECT_EQ(bytes("D.TXT"), "999999.00\r\n" + kEnd);
  // A table copy cannot store it and leaves no file.
  const std::vector<std::string> before = names();
  expectError([&] { COPYTO(ws.current(), dir / "C.DBF", TransferFormat::table()); }, err::kDataWidth,
              err::kDataWidthSub);
  EXPECT_EQ(names(), before);
}

TEST_F(TransferTest, CopyOfAnEmptyTableIsTheEndByteAlone) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  COPYTO(t, dir / "F.TXT", TransferFormat::fixed());
  COPYTO(t, dir / "D.TXT", TransferFormat::delimited());
  EXPECT_EQ(bytes("F.TXT"), kEnd);
  EXPECT_EQ(bytes("D.TXT"), kEnd);
}

TEST_F(TransferTest, FixedTextReadsFieldsByColumn) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  writeBytes("IN.TXT",
             "Juan        3.50  1220140314T\r\n"       // a whole record
             "Ana         12\n"                        // short: the rest stays blank
             "Pedro          7  1x2014031 Yextra\r\n"  // long: the rest is dropped
                 + kEnd);
  EXPECT_EQ(APPENDFROM(t, dir / "IN.TXT", TransferFormat::fixed()), 3u);
  EXPECT_EQ(recordBytes("T.DBF", 1), " Juan        3.50  1220140314T");
  EXPECT_EQ(recordBytes("T.DBF", 2), " Ana        12.00" + std::string(13, ' '));
  // "  1x" reads as 1; an eight-character date that is not eight digits is empty.
  EXPECT_EQ(recordBytes("T.DBF", 3), " Pedro       7.00   1        T");
}

// ---- delimited text, written ------------------------------------------------------

TEST_F(TransferTest, DelimitedTextInEveryDelimiterForm) {
  struct Case {
    std::string delimiter;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", "\"  Juan P\",3.50,12,20140314,T\r\n\"\",0.00,0,,F\r\n"},
      {"BLANK", "  Juan P 3.50 12 20140314 T\r\n 0.00 0  F\r\n"},
      {"blank", "  Juan P 3.50 12 20140314 T\r\n 0.00 0  F\r\n"},  // any case
      {"PIPE", "  Juan P|3.50|12|20140314|T\r\n|0.00|0||F\r\n"},
      {"TAB", "  Juan P\t3.50\t12\t20140314\tT\r\n\t0.00\t0\t\tF\r\n"},
      {"'", "'  Juan P',3.50,12,20140314,T\r\n'',0.00,0,,F\r\n"},
      {"#x", "#  Juan P#,3.50,12,20140314,T\r\n##,0.00,0,,F\r\n"},  // first character only
  };
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  // Leading blanks of a text are kept, trailing ones go.
  fill(t, {{"  Juan P", 3.5, 12, makeDate(2014, 3, 14), true}});
  ASSERT_TRUE(t.DBAPPEND());  // blank: text empty, numbers "0" and "0.00", no date
  for (const Case& c : cases) {
    COPYTO(t, dir / "D.TXT", TransferFormat::delimited(c.delimiter));
    EXPECT_EQ(bytes("D.TXT"), c.expected + kEnd) << "delimiter " << c.delimiter;
  }
}

TEST_F(TransferTest, CopyTakesOnlyVisibleRecordsMeetingTheConditionAndKeepsThePosition) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", {{"K", 'N', 2, 0}});
  for (int i = 1; i <= 6; ++i) {
    ASSERT_TRUE(t.DBAPPEND());
    t.put("K", double(i));
  }
  t.DBGOTO(2);
  t.DBDELETE();
  t.DBSETFILTER([](WorkArea& a) { return a.getNumber("K") != 5; }, "K != 5");
  t.DBGOTO(4);
  COPYTO(t, dir / "D.TXT", TransferFormat::delimited(),
         [](WorkArea& a) { return a.getNumber("K") != 3; });  // evaluated on the source record
  EXPECT_EQ(bytes("D.TXT"), "1\r\n4\r\n6\r\n" + kEnd);
  EXPECT_EQ(t.RECNO(), 4u);
  COPYTO(t, dir / "C.DBF", TransferFormat::table());
  Workspace other(dir);
  ASSERT_TRUE(other.DBUSEAREA(true, "C.DBF", "", false));
  EXPECT_EQ(records(other.current()).size(), 4u);  // 1 3 4 6
}

// ---- delimited text, read -----------------------------------------------------------

TEST_F(TransferTest, DelimitedLinesAreStoredFieldByField) {
  // Nombre C5, Importe N6.2, Fecha D, Pagado L: each line gives one record,
  // compared as the bytes of the stored record (deletion flag first).
  struct Case {
    std::string delimiter;
    std::string line;
    std::string record;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"", "\"Ana\",12.5,20140314,T", " Ana   12.5020140314T", "every kind"},
      {"", "  \"Ana\"  ,   12.5,20140314,y", " Ana   12.5020140314T", "leading blanks skipped; y is true"},
      {"", "Ana,12.5,20140314,t,extra,\"more\"", " Ana   12.5020140314T", "values beyond the fields dropped"},
      {"", "Ana", " Ana" + std::string(17, ' '), "fields beyond the values stay blank"},
      {"", "Ana,1", " Ana    1.00         ", "fields beyond the values stay blank"},
      {"", "", std::string(21, ' '), "an empty line is a blank record"},
      {"", ",,,", "        0.00        F", "empty values are stored converted"},
      {"", "\"Ana Maria\",1", " Ana M  1.00         ", "long text cut"},
      {"", "\"A,b\",2", " A,b    2.00         ", "separator inside quotes"},
      {"", "\"Ana\"xyz  ,3", " Ana    3.00         ", "characters after the quote skipped"},
      {"", "\"Ana,4", " Ana,4" + std::string(15, ' '), "an unclosed quote runs to the end of the line"},
      {"", "Ana ,4", " Ana    4.00         ", "an unquoted value runs to the separator"},
      {"", "x,2.125", " x      2.13         ", "rounded half away from zero to the decimals"},
      {"", "x,-3.5abc", " x     -3.50         ", "a number is read as far as it goes"},
      {"", "x,.5", " x      0.50         ", "no digits before the point"},
      {"", "x,abc", " x      0.00         ", "no number at all is 0"},
      {"", "x,+7", " x      7.00         ", "a plus sign"},
      {"", "x,1,2014031,T", " x      1.00        T", "a date of seven digits is empty"},
      {"", "x,1,201403141,T", " x      1.00        T", "a date of nine digits is empty"},
      {"", "x,1,2014-3-1,T", " x      1.00        T", "a date with other characters is empty"},
      {"", "x,1,20141340,T", " x      1.00        T", "eight digits that are no day"},
      {"", "x,1,\"20140314\",N", " x      1.0020140314F", "a quoted date; N is false"},
      {"", "x,1,,Yes", " x      1.00        T", "logical starting with Y"},
      {"", "x,1,,false", " x      1.00        F", "logical starting with f"},
      {"", "x,1,, T", " x      1.00        T", "logical after leading blanks"},
      {"PIPE", "Ana|12.5|20140314|T", " Ana   12.5020140314T", "pipe"},
      {"PIPE", "\"Ana\"|1", " \"Ana\"  1.00         ", "no quote character with PIPE"},
      {"PIPE", "Ana,B|1", " Ana,B  1.00         ", "the comma is text with PIPE"},
      {"TAB", "Ana B\t12.5\t20140314\tT", " Ana B 12.5020140314T", "tab; blanks are text"},
      {"BLANK", "Ana    12.5  20140314 T", " Ana   12.5020140314T", "runs of blanks separate once"},
      {"BLANK", "\"Ana\" 1", " \"Ana\"  1.00         ", "no quote character with BLANK"},
      {"'", "'A,b',2,20140314,T", " A,b    2.0020140314T", "quote character chosen by the caller"},
      {"'", "\"A\",2", " \"A\"    2.00         ", "the double quote is text then"},
  };
  for (const Case& c : cases) {
    Workspace ws(dir);
    WorkArea& t =
        open(ws, "T.DBF",
             {{"Nombre", 'C', 5, 0}, {"Importe", 'N', 6, 2}, {"Fecha", 'D', 8, 0}, {"Pagado", 'L', 1, 0}});
    writeBytes("IN.TXT", c.line + "\r\n" + kEnd);
    EXPECT_EQ(APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited(c.delimiter)), 1u) << c.why;
    ws.DBCLOSEALL();
    EXPECT_EQ(recordBytes("T.DBF", 1), c.record) << c.why << ": " << c.line;
    std::filesystem::remove(dir / "T.DBF");
  }
}

TEST_F(TransferTest, LinesEndWithCrLfOrLfAndAFinalEndByteIsNoData) {
  struct Case {
    std::string file;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"a\r\nb\r\n" + kEnd, {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},                // last line without its end
      {"a\r\n\r\nb\r\n", {"a", "", "b"}},  // an empty line in between is a record
      {kEnd, {}},
      {"", {}},
      {"a\r\n" + kEnd + "\r\n", {"a", kEnd}},  // the end byte counts only as the last byte
  };
  for (const Case& c : cases) {
    Workspace ws(dir);
    WorkArea& t = open(ws, "T.DBF", {{"Nombre", 'C', 3, 0}});
    writeBytes("IN.TXT", c.file);
    EXPECT_EQ(APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited("PIPE")), c.names.size());
    std::vector<std::string> got;
    for (t.DBGOTOP(); !t.Eof(); t.DBSKIP()) {
      std::string s = t.getText("Nombre");
      got.push_back(s.substr(0, s.find_last_not_of(' ') + 1));
    }
    EXPECT_EQ(got, c.names);
    ws.DBCLOSEALL();
    std::filesystem::remove(dir / "T.DBF");
  }
}

// ---- round trips -------------------------------------------------------------------------

TEST_F(TransferTest, CopiesReadBackIntoTheSameValues) {
  // Texts without blanks or commas, so that every delimiter form can carry them.
  const std::vector<Row> rows = {{"Ana\xf1o", 3.5, 12, makeDate(2014, 3, 14), true},
                                 {"x", -12.25, -7, makeDate(1999, 12, 31), false},
                                 {"\xe1\xe9\xed\xf3\xfa|", 999.99, 9999, makeDate(2000, 2, 29), true}};
  const Row blank{"", 0, 0, Date{}, false};
  for (const TransferFormat& format :
       {TransferFormat::fixed(), TransferFormat::delimited(), TransferFormat::delimited("BLANK"),
        TransferFormat::delimited("TAB"), TransferFormat::delimited("'"), TransferFormat::table()}) {
    Workspace ws(dir);
    WorkArea& t = open(ws, "T.DBF", mixedStructure());
    fill(t, rows);
    // Values separated by blanks cannot carry an empty one: the blanks merge.
    if (format.delimiter != "BLANK") fill(t, {blank});
    const std::vector<std::string> original = records(t);
    COPYTO(t, dir / "OUT.TXT", format);
    WorkArea& b = open(ws, "BACK.DBF", mixedStructure());
    EXPECT_EQ(APPENDFROM(b, dir / "OUT.TXT", format), original.size());
    EXPECT_EQ(records(b), original) << "delimiter " << format.delimiter << " form " << int(format.form);
    ws.DBCLOSEALL();
    std::filesystem::remove(dir / "T.DBF");
    std::filesystem::remove(dir / "BACK.DBF");
  }
}

// ---- table to table -----------------------------------------------------------------------

TEST_F(TransferTest, TableCopyHasTheSourceStructureAndRecords) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  fill(t, {{"Juan", 3.5, 12, makeDate(2014, 3, 14), true},
           {"Borrado", 1, 1, Date{}, false},
           {"Ana", -1, 0, Date{}, false}});
  t.DBGOTO(2);
  t.DBDELETE();
  t.DBCOMMIT();
  COPYTO(t, dir / "TEMP.DBF", TransferFormat::table());
  const std::string src = bytes("T.DBF"), copy = bytes("TEMP.DBF");
  const size_t headerLength = 32 + 32 * 5 + 2;
  EXPECT_EQ(copy.substr(8, 4), src.substr(8, 4));  // header and record lengths
  EXPECT_EQ(copy.substr(32, headerLength - 32), src.substr(32, headerLength - 32));  // descriptors
  EXPECT_EQ(headerCount(copy), 2u);
  EXPECT_EQ(uint8_t(copy[28]), 0);  // a copy has no index
  EXPECT_EQ(copy.size(), headerLength + 2 * 30 + 1);
  EXPECT_EQ(recordBytes("TEMP.DBF", 1), recordBytes("T.DBF", 1));
  EXPECT_EQ(recordBytes("TEMP.DBF", 2), recordBytes("T.DBF", 3));
  EXPECT_EQ(copy.back(), '\x1A');
}

TEST_F(TransferTest, AppendFromTableMatchesFieldsByNameInAnyCase) {
  Workspace ws(dir);
  // The source has fields in another order, one the target lacks, and
  // types and widths that differ from the target's.
  WorkArea& s = open(ws, "OLD.DBF",
                     {{"extra", 'C', 5, 0},
                      {"importe", 'N', 8, 3},
                      {"NOMBRE", 'C', 20, 0},
                      {"Cantidad", 'C', 6, 0},
                      {"Pagado", 'C', 3, 0}});
  struct Old {
    std::string nombre;
    double importe;
    std::string cantidad, pagado;
  };
  for (const Old& o : std::vector<Old>{
           {"Juan Antonio", 3.456, " 12", "y"}, {"Borrado", 1, "1", "T"}, {"Ana", -2, "x", "Si"}}) {
    ASSERT_TRUE(s.DBAPPEND());
    s.put("Nombre", o.nombre);
    s.put("Importe", o.importe);
    s.put("Cantidad", o.cantidad);
    s.put("Pagado", o.pagado);
    s.put("Extra", std::string("zzz"));
  }
  s.DBGOTO(2);
  s.DBDELETE();
  s.DBCLOSEAREA();
  WorkArea& t = open(ws, "NEW.DBF", mixedStructure());
  EXPECT_EQ(APPENDFROM(t, dir / "old.dbf", TransferFormat::table()), 2u);  // found without regard to case
  ws.DBCLOSEALL();
  // Nombre cut to 10, Importe rounded to 2 decimals, Cantidad and Pagado
  // converted from text ("Si" is not true), Fecha (absent in the source) blank.
  EXPECT_EQ(recordBytes("NEW.DBF", 1), " Juan Anton  3.46  12        T");
  EXPECT_EQ(recordBytes("NEW.DBF", 2), " Ana        -2.00   0        F");
  EXPECT_EQ(headerCount(bytes("NEW.DBF")), 2u);
}

TEST_F(TransferTest, AppendConditionSeesTheIncomingValues) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", {{"Nombre", 'C', 5, 0}, {"Importe", 'N', 6, 2}, {"Fecha", 'D', 8, 0}});
  writeBytes("IN.TXT", "a,1\r\nb,5\r\nc,7,20140314\r\n");
  std::vector<bool> sawDate;
  const uint32_t n = APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited(), [&](const IncomingRecord& r) {
    sawDate.push_back(r.has("fecha"));
    EXPECT_EQ(std::get<std::string>(r.get("NOMBRE")).size(), 1u);
    return std::get<double>(r.get("importe")) > 2;
  });
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(sawDate, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(t.getText("Nombre"), "c    ");  // stands on the last appended record
  EXPECT_EQ(records(t).size(), 2u);
}

// ---- shared tables ----------------------------------------------------------------------------

TEST_F(TransferTest, AppendIntoASharedTableLeavesNoRecordLocked) {
  Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"Nombre", 'C', 5, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& t = ws.current();
  writeBytes("IN.TXT", "a\r\nb\r\nc\r\n");
  EXPECT_EQ(APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited()), 3u);
  for (uint32_t r = 1; r <= 3; ++r) EXPECT_FALSE(t.isLocked(r)) << r;
  // Another copy of the program sees every record and can lock each.
  Workspace other(dir);
  ASSERT_TRUE(other.DBUSEAREA(true, "T.DBF", "", true));
  WorkArea& o = other.current();
  EXPECT_EQ(o.LASTREC(), 3u);
  for (o.DBGOTOP(); !o.Eof(); o.DBSKIP()) EXPECT_TRUE(o.RLOCK()) << o.RECNO();
  EXPECT_EQ(headerCount(bytes("T.DBF")), 3u);
}

TEST_F(TransferTest, TwoProcessesAppendingFilesAtOnceLoseNoLine) {
  constexpr int kEach = 200;
  {
    Workspace ws(dir);
    ws.DBCREATE("T.DBF", {{"Nombre", 'C', 5, 0}});
  }
  for (const char* who : {"a", "b"}) {
    std::string lines;
    for (int i = 1; i <= kEach; ++i) lines += who + std::to_string(i) + "\r\n";
    writeBytes(std::string(who) + ".TXT", lines + kEnd);
  }
  int start[2], ready[2];
  ASSERT_EQ(pipe(start), 0);
  ASSERT_EQ(pipe(ready), 0);
  std::vector<pid_t> children;
  for (const char* who : {"a", "b"}) {
    const pid_t pid = fork();
    if (pid == 0) {
      int rc = 1;
      bool told = false;
      try {
        Workspace ws(dir);
        const bool opened = ws.DBUSEAREA(true, "T.DBF", "", true);
        char c;
        told = ::write(ready[1], "x", 1) == 1;
        (void)!::read(start[0], &c, 1);  // both begin together, once both are open
        if (opened)
          rc = APPENDFROM(ws.current(), dir / (std::string(who) + ".TXT"), TransferFormat::delimited()) ==
                       kEach
                   ? 0
                   : 2;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        if (!told) (void)!::write(ready[1], "x", 1);
        rc = 3;
      }
      _exit(rc);
    }
    children.push_back(pid);
  }
  char got[2];
  for (char& c : got) (void)!::read(ready[0], &c, 1);
  (void)!::write(start[1], "xx", 2);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  for (int fd : {start[0], start[1], ready[0], ready[1]}) close(fd);
  Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
  std::set<std::string> seen;
  for (ws.current().DBGOTOP(); !ws.current().Eof(); ws.current().DBSKIP())
    seen.insert(ws.current().getText("Nombre"));
  EXPECT_EQ(ws.current().LASTREC(), uint32_t(2 * kEach));
  EXPECT_EQ(seen.size(), size_t(2 * kEach));
}

TEST_F(TransferTest, ANewRecordThatCannotBeLockedStopsTheAppendLoudly) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", {{"Nombre", 'C', 5, 0}}, true);
  // Another open file holds the lock byte of record 2, as another copy could.
  FileLayer other;
  int fd = -1;
  ASSERT_EQ(other.open(dir / "T.DBF", true, false, fd), 0);
  const LockOffsets at{false, 32 + 32 + 2, 6};
  ASSERT_EQ(other.lock(fd, at.record(2), 1, LockKind::kExclusive), LockResult::kGranted);
  writeBytes("IN.TXT", "a\r\nb\r\nc\r\n");
  expectError([&] { APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited()); }, err::kAppendLock,
              err::kAppendLockSub);
  other.close(fd);
  EXPECT_EQ(t.LASTREC(), 1u);  // the first line stays, nothing of the second
  EXPECT_FALSE(t.isLocked(1));
  t.DBGOTO(1);
  EXPECT_EQ(t.getText("Nombre"), "a    ");
}

// ---- failures ---------------------------------------------------------------------------------

// Lets `writesLeft` writes through (all when negative), then fails every one.
class FailingWrites : public FileLayer {
 public:
  int write(int fd, uint64_t offset, const void* buf, size_t n) override {
    if (writesLeft == 0) return ENOSPC;
    if (writesLeft > 0) --writesLeft;
    return FileLayer::write(fd, offset, buf, n);
  }
  int writesLeft = -1;
};

TEST_F(TransferTest, AFailedCopyLeavesNoFileAndKeepsAnEarlierOne) {
  struct Case {
    TransferFormat format;
    int writesLeft;
    int gen, sub;
  };
  const std::vector<Case> cases = {
      {TransferFormat::fixed(), 0, err::kWrite, err::kWriteSub},
      {TransferFormat::delimited(), 0, err::kWrite, err::kWriteSub},
      {TransferFormat::table(), 0, err::kCreate, err::kCreateSub},  // the empty table cannot be made
      {TransferFormat::table(), 1, err::kWrite, err::kWriteSub},    // its first record cannot be written
  };
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  fill(t, {{"Juan", 3.5, 12, makeDate(2014, 3, 14), true}});
  writeBytes("OLD.TXT", "earlier");
  const std::vector<std::string> before = names();
  FailingWrites env;
  for (Case c : cases) {
    c.format.env = &env;
    for (const char* name : {"NEW.TXT", "OLD.TXT"}) {
      env.writesLeft = c.writesLeft;
      expectError([&] { COPYTO(t, dir / name, c.format); }, c.gen, c.sub);
    }
    EXPECT_EQ(names(), before) << int(c.format.form) << " " << c.writesLeft;
    EXPECT_EQ(bytes("OLD.TXT"), "earlier");
  }
}

TEST_F(TransferTest, FilesGoThroughTheWorkspaceFileLayerUnlessTheFormatNamesOne) {
  FailingWrites env;
  Workspace ws(dir, &env);
  WorkArea& t = open(ws, "T.DBF", mixedStructure(), true);
  env.writesLeft = 0;
  expectError([&] { COPYTO(t, dir / "A.TXT", TransferFormat::delimited()); }, err::kWrite, err::kWriteSub);
  FileLayer real;
  TransferFormat format = TransferFormat::delimited();
  format.env = &real;
  COPYTO(t, dir / "A.TXT", format);
  EXPECT_EQ(bytes("A.TXT"), kEnd);
}

TEST_F(TransferTest, RelativeNamesAreInsideTheDataDirectory) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", {{"Nombre", 'C', 3, 0}});
  writeBytes("IN.TXT", "abc\r\n");
  EXPECT_EQ(APPENDFROM(t, "in.txt", TransferFormat::delimited()), 1u);  // and found in any case
  COPYTO(t, "OUT.TXT", TransferFormat::fixed());
  COPYTO(t, "OUT.DBF", TransferFormat::table());
  EXPECT_EQ(bytes("OUT.TXT"), "abc\r\n" + kEnd);
  EXPECT_EQ(headerCount(bytes("OUT.DBF")), 1u);
}

TEST_F(TransferTest, ACopyIntoAMissingFolderFailsAsACreation) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  expectError([&] { COPYTO(t, dir / "no" / "X.TXT", TransferFormat::delimited()); }, err::kCreate,
              err::kCreateSub);
  expectError([&] { COPYTO(t, dir / "no" / "X.DBF", TransferFormat::table()); }, err::kCreate,
              err::kCreateSub);
}

TEST_F(TransferTest, ANumberTooWideStopsTheAppendBeforeItsRecord) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", {{"Nombre", 'C', 5, 0}, {"Importe", 'N', 6, 2}});
  writeBytes("IN.TXT", "a,1\r\nb,123456\r\nc,2\r\n");
  expectError([&] { APPENDFROM(t, dir / "IN.TXT", TransferFormat::delimited()); }, err::kDataWidth,
              err::kDataWidthSub);
  EXPECT_EQ(t.LASTREC(), 1u);
  t.DBCOMMIT();
  EXPECT_EQ(records(t), (std::vector<std::string>{"[a    ][1.000000]"}));
}

TEST_F(TransferTest, AMissingSourceFailsToOpen) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  expectError([&] { APPENDFROM(t, dir / "NONE.TXT", TransferFormat::delimited()); }, err::kOpen,
              err::kOpenSub);
  expectError([&] { APPENDFROM(t, dir / "NONE.DBF", TransferFormat::table()); }, err::kOpen, err::kOpenSub);
}

TEST_F(TransferTest, ASourceTableHeldExclusivelyFailsToOpen) {
  Workspace ws(dir);
  WorkArea& t = open(ws, "T.DBF", mixedStructure());
  Workspace other(dir);
  open(other, "SRC.DBF", mixedStructure(), false);
  expectError([&] { APPENDFROM(t, dir / "SRC.DBF", TransferFormat::table()); }, err::kOpen, err::kOpenSub);
}

TEST_F(TransferTest, AReadOnlyTargetRefusesTheAppend) {
  Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"Nombre", 'C', 5, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", true, true));
  writeBytes("IN.TXT", "a\r\n");
  expectError([&] { APPENDFROM(ws.current(), dir / "IN.TXT", TransferFormat::delimited()); }, err::kReadOnly,
              err::kReadOnlySub);
}

}  // namespace
}  // namespace canalix::store
