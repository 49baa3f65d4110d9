// The table file layout byte for byte, the field encodings, and the open
// validation that refuses a damaged file without touching it.
#include "store/table_file.h"

#include <gtest/gtest.h>

#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;
using testing::sampleStructure;

class TableFileTest : public ScratchDir {};

TEST_F(TableFileTest, NewTableIsHeaderDescriptorsTerminatorAndEndByte) {
  Workspace ws(dir);
  ws.DBCREATE("PRUEBA.DBF", sampleStructure());
  const std::string b = bytes("PRUEBA.DBF");
  const int fields = 5;
  const int headerLength = 32 + 32 * fields + 2;
  ASSERT_EQ(b.size(), size_t(headerLength + 1));
  EXPECT_EQ(uint8_t(b[0]), 0x03);
  int y, m, d;
  ymdFromJulian(today().julian, y, m, d);
  EXPECT_EQ(uint8_t(b[1]), y - 1900);
  EXPECT_EQ(uint8_t(b[2]), m);
  EXPECT_EQ(uint8_t(b[3]), d);
  EXPECT_EQ(ScratchDir::headerCount(b), 0u);
  EXPECT_EQ(uint8_t(b[8]) | uint8_t(b[9]) << 8, headerLength);
  EXPECT_EQ(uint8_t(b[10]) | uint8_t(b[11]) << 8, 1 + 10 + 6 + 8 + 1 + 600);
  EXPECT_EQ(b.substr(12, 20), std::string(20, '\0'));  // reserved bytes and index flag
  EXPECT_EQ(b.substr(32, 11), std::string("NOMBRE\0\0\0\0\0", 11));
  EXPECT_EQ(b.substr(size_t(32 + 32 * fields)), std::string("\x0D\x00\x1A", 3));

  struct Descriptor {
    int index;
    const char* name;
    char type;
    int lengthByte;
    int decimalsByte;
  };
  // Width 600 is stored as its low byte (88) and high byte (2).
  const Descriptor expected[] = {
      {0, "NOMBRE", 'C', 10, 0}, {1, "IMPORTE", 'N', 6, 2}, {2, "FECHA", 'D', 8, 0},
      {3, "PAGADO", 'L', 1, 0},  {4, "TEXTO", 'C', 88, 2},
  };
  for (const Descriptor& e : expected) {
    const std::string desc = b.substr(size_t(32 + 32 * e.index), 32);
    SCOPED_TRACE(e.name);
    std::string name = e.name;
    name.resize(11, '\0');
    EXPECT_EQ(desc.substr(0, 11), name);
    EXPECT_EQ(desc[11], e.type);
    EXPECT_EQ(desc.substr(12, 4), std::string(4, '\0'));
    EXPECT_EQ(uint8_t(desc[16]), e.lengthByte);
    EXPECT_EQ(uint8_t(desc[17]), e.decimalsByte);
    EXPECT_EQ(desc.substr(18), std::string(14, '\0'));
  }

  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "", false));
  EXPECT_EQ(ws.current().LASTREC(), 0u);
  EXPECT_TRUE(ws.current().Eof());
  EXPECT_EQ(ws.current().structure()[4].width, 600);
}

TEST(NumberEncoding, RightAlignedWithExactDecimalsRoundedHalfAwayFromZero) {
  struct Case {
    double value;
    int width, decimals;
    const char* stored;  // nullptr: does not fit
  } cases[] = {
      {3.5, 6, 2, "  3.50"},  {-3.5, 6, 2, " -3.50"},  {12345.6, 6, 2, nullptr}, {999.99, 6, 2, "999.99"},
      {999.995, 6, 2, nullptr}, {1.005, 6, 2, "  1.01"}, {-1.005, 6, 2, " -1.01"}, {0.0, 6, 2, "  0.00"},
      {-0.001, 6, 2, "  0.00"}, {2.5, 3, 0, "  3"},      {-2.5, 3, 0, " -3"},      {999, 3, 0, "999"},
      {1000, 3, 0, nullptr},   {-99, 3, 0, "-99"},      {-100, 3, 0, nullptr},    {0.125, 5, 2, " 0.13"},
      {123456789012.25, 15, 2, "123456789012.25"},      {7, 1, 0, "7"},
  };
  for (const Case& c : cases) {
    std::string out;
    const bool fits = encodeNumber(c.value, c.width, c.decimals, out);
    SCOPED_TRACE(std::to_string(c.value) + " N " + std::to_string(c.width) + "," + std::to_string(c.decimals));
    if (c.stored == nullptr) {
      EXPECT_FALSE(fits);
    } else {
      EXPECT_TRUE(fits);
      EXPECT_EQ(out, c.stored);
    }
  }
}

TEST_F(TableFileTest, FieldValuesAreStoredInTheirEncodings) {
  Workspace ws(dir);
  ws.DBCREATE("PRUEBA.DBF", sampleStructure());
  ASSERT_TRUE(ws.DBUSEAREA(true, "PRUEBA.DBF", "", false));
  WorkArea& t = ws.current();
  ASSERT_TRUE(t.DBAPPEND());
  t.put("nombre", std::string("JUAN PEREZ GARCIA"));  // cut to 10
  t.put("IMPORTE", 3.5);
  t.put("Fecha", makeDate(2014, 3, 14));
  t.put("pagado", true);
  t.put("texto", std::string("x"));
  ASSERT_TRUE(t.DBAPPEND());  // a blank record
  t.put("nombre", std::string("ANA"));
  t.DBCOMMIT();

  const std::string r1 = recordBytes("PRUEBA.DBF", 1);
  EXPECT_EQ(r1.substr(0, 25), " JUAN PEREZ  3.5020140314");
  EXPECT_EQ(r1[25], 'T');
  EXPECT_EQ(r1.substr(26), "x" + std::string(599, ' '));
  const std::string r2 = recordBytes("PRUEBA.DBF", 2);
  EXPECT_EQ(r2, " ANA" + std::string(r2.size() - 4, ' '));

  t.DBGOTO(1);
  EXPECT_EQ(t.getText("NOMBRE"), "JUAN PEREZ");
  EXPECT_DOUBLE_EQ(t.getNumber("importe"), 3.5);
  EXPECT_EQ(t.getDate("fecha"), makeDate(2014, 3, 14));
  EXPECT_TRUE(t.getLogical("pagado"));
  t.DBGOTO(2);
  EXPECT_EQ(t.getText("nombre"), "ANA       ");  // trailing blanks kept
  EXPECT_DOUBLE_EQ(t.getNumber("importe"), 0);
  EXPECT_TRUE(t.getDate("fecha").empty());
  EXPECT_FALSE(t.getLogical("pagado"));
}

TEST_F(TableFileTest, LogicalsReadTrueForTtYyOnly) {
  Workspace ws(dir);
  ws.DBCREATE("L.DBF", {{"B", 'L', 1, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "L.DBF", "", false));
  for (int i = 0; i < 7; ++i) ws.current().DBAPPEND();
  ws.DBCLOSEALL();
  std::string b = bytes("L.DBF");
  const std::string stored = "TtYyFN?";
  for (size_t i = 0; i < stored.size(); ++i) b[32 + 32 + 2 + 2 * i + 1] = stored[i];
  writeBytes("L.DBF", b);
  ASSERT_TRUE(ws.DBUSEAREA(true, "L.DBF", "", true, true));
  std::string read;
  for (uint32_t n = 1; n <= 7; ++n) {
    ws.current().DBGOTO(n);
    read += ws.current().getLogical("b") ? '1' : '0';
  }
  EXPECT_EQ(read, "1111000");
}

// Every damage the open must refuse, made on a good file.
TEST_F(TableFileTest, DamagedFilesAreRefusedAndLeftUntouched) {
  Workspace ws(dir);
  ws.DBCREATE("GOOD.DBF", {{"A", 'C', 3, 0}, {"N", 'N', 5, 1}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "GOOD.DBF", "", false));
  ws.current().DBAPPEND();
  ws.current().put("a", std::string("abc"));
  ws.DBCLOSEALL();
  const std::string good = bytes("GOOD.DBF");
  const size_t d1 = 32, d2 = 64;  // descriptors of A and N

  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"truncated header", [](std::string& b) { b.resize(20); }},
      {"unknown version", [](std::string& b) { b[0] = 0x02; }},
      {"encrypted version", [](std::string& b) { b[0] = char(0x06); }},
      {"no terminator", [&](std::string& b) { b.resize(d2 + 32); }},
      {"header length past the file", [](std::string& b) { b[8] = char(0xF0); b[9] = 0x01; }},
      {"header length inside descriptors", [](std::string& b) { b[8] = 64; b[9] = 0; }},
      {"record length not the sum", [](std::string& b) { b[10] = 10; }},
      {"unknown type", [&](std::string& b) { b[d1 + 11] = 'M'; }},
      {"numeric too wide", [&](std::string& b) { b[d2 + 16] = 21; }},
      {"decimals not below width", [&](std::string& b) { b[d2 + 17] = 5; }},
      {"date width", [&](std::string& b) { b[d2 + 11] = 'D'; }},
      {"duplicate name", [&](std::string& b) { b[d2] = 'A'; }},
      {"empty name", [&](std::string& b) { b[d2] = 0; }},
      {"count beyond the records", [](std::string& b) { b[4] = 9; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = good;
    c.damage(damaged);
    writeBytes("BAD.DBF", damaged);
    for (bool shared : {true, false}) {
      try {
        ws.DBUSEAREA(true, "BAD.DBF", "", shared);
        ADD_FAILURE() << "opened";
        ws.DBCLOSEALL();
      } catch (const EngineError& e) {
        EXPECT_EQ(e.genCode(), 32);
        EXPECT_EQ(e.subCode(), 1012);
        EXPECT_NE(e.file().find("BAD.DBF"), std::string::npos);
      }
      EXPECT_FALSE(ws.used("BAD"));
      EXPECT_EQ(bytes("BAD.DBF"), damaged);
    }
  }
}

TEST_F(TableFileTest, OtherReadableVersionsOpen) {
  Workspace ws(dir);
  ws.DBCREATE("V.DBF", {{"A", 'C', 3, 0}});
  const std::string good = bytes("V.DBF");
  for (uint8_t version : {0x03, 0x30, 0x31, 0x83, 0xF5, 0xE5}) {
    std::string b = good;
    b[0] = char(version);
    writeBytes("V.DBF", b);
    EXPECT_TRUE(ws.DBUSEAREA(true, "V.DBF", "", true)) << int(version);
    ws.DBCLOSEALL();
  }
}

TEST_F(TableFileTest, CreateRefusesStructuresItCannotStore) {
  Workspace ws(dir);
  const Structure bad[] = {
      {},
      {{"NOMBREMUYLARGO", 'C', 3, 0}},
      {{"A", 'X', 3, 0}},
      {{"A", 'N', 21, 0}},
      {{"A", 'C', 3, 0}, {"a", 'N', 3, 0}},
  };
  for (const Structure& s : bad) {
    try {
      ws.DBCREATE("X.DBF", s);
      ADD_FAILURE() << "created";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.genCode(), 20);
      EXPECT_EQ(e.subCode(), 1004);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "X.DBF"));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir));  // nothing left aside either
}

}  // namespace
}  // namespace canalix::store
