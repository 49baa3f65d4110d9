// canalix-cli init and dump on real directories: the thirteen tables laid out
// byte for byte from the catalogue, read back by an independent dBASE reader,
// and the error exits.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "cli_run.h"
#include "store/catalogue.h"
#include "store/store_fixture.h"
#include "store/table_engine.h"

namespace canalix {
namespace {

using testing::cli;
using testing::run;

using CliTest = store::testing::ScratchDir;

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

uint32_t le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + size_t(i)]);
  return v;
}

const std::set<std::string> kWithRecord = {"FRECU2", "CONTROL", "CONCEPTO", "USUARIOS"};

TEST_F(CliTest, InitCreatesTheThirteenTablesByteExact) {
  const auto r = run(cli("init " + dir.string()));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string expectedOut;
  for (const store::CatalogueTable* t : store::dataDirectoryTables())
    expectedOut += "Tabla creada: " + t->fileName() + "\n";
  for (const char* indexed : {"SOCIOS", "PARCELAS", "RECIBOS", "USUARIOS", "ACCESOS", "BIC", "GASTOS", "CODIGOS",
                              "CONCEPTO", "CAJA", "ARQUEO"})
    expectedOut += std::string("Índice creado: ") + indexed + ".CDX\n";
  EXPECT_EQ(r.out, expectedOut);

  std::map<std::string, int> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) ++files[e.path().extension().string()];
  EXPECT_EQ(files, (std::map<std::string, int>{{".DBF", 13}, {".CDX", 11}, {".LCK", 1}}));

  for (const store::CatalogueTable* t : store::dataDirectoryTables()) {
    SCOPED_TRACE(std::string(t->name));
    const std::string b = bytes(t->fileName());
    const size_t n = t->fields.size();
    const uint32_t count = kWithRecord.count(std::string(t->name)) ? 1 : 0;
    uint32_t recordLength = 1;
    for (const auto& f : t->fields) recordLength += uint32_t(f.width);
    const uint32_t headerLength = uint32_t(32 + 32 * n + 2);
    ASSERT_EQ(b.size(), headerLength + count * recordLength + 1);
    EXPECT_EQ(uint8_t(b[0]), 0x03);
    EXPECT_EQ(le(b, 4, 4), count);
    EXPECT_EQ(le(b, 8, 2), headerLength);
    EXPECT_EQ(le(b, 10, 2), recordLength);
    EXPECT_EQ(b.substr(12, 20), std::string(20, '\0'));
    for (size_t i = 0; i < n; ++i) {
      const auto& f = t->fields[i];
      const std::string d = b.substr(32 + 32 * i, 32);
      std::string name = upper(f.name);
      name.resize(11, '\0');
      EXPECT_EQ(d.substr(0, 11), name);
      EXPECT_EQ(d[11], f.type);
      EXPECT_EQ(uint8_t(d[16]) + (f.type == 'C' ? 256 * uint8_t(d[17]) : 0), f.width) << f.name;
      EXPECT_EQ(f.type == 'N' ? uint8_t(d[17]) : 0, f.type == 'N' ? f.decimals : 0) << f.name;
    }
    EXPECT_EQ(b.substr(32 + 32 * n, 2), std::string("\x0D\x00", 2));
    EXPECT_EQ(b.back(), '\x1A');
    if (count == 1) {
      EXPECT_EQ(b[headerLength], ' ');  // the initial record is live
    }
  }
}

TEST_F(CliTest, InitialRecordsHoldTheirValues) {
  ASSERT_EQ(run(cli("init " + dir.string())).exitCode, 0);
  store::Workspace ws(dir);
  ASSERT_TRUE(ws.DBUSEAREA(true, "FRECU2.DBF", "", true, true));
  store::WorkArea& f = ws.current();
  EXPECT_EQ(f.getText("UnidadSu").substr(0, 9), "marjales ");
  EXPECT_EQ(f.getText("CoFirma").substr(0, 14), "EL PRESIDENTE ");
  EXPECT_EQ(f.getNumber("CoAB"), 1);
  EXPECT_EQ(f.getText("CoNombre").substr(0, 32), "COMUNIDAD DE REGANTES DE PRUEBA ");
  EXPECT_EQ(f.getText("CoCif").substr(0, 9), "B11111111");
  EXPECT_EQ(f.getText("CoCpostal"), "18600");
  EXPECT_EQ(f.getText("CoLoca").substr(0, 7), "MOTRIL ");
  EXPECT_EQ(f.getText("CoProvin").substr(0, 8), "GRANADA ");
  EXPECT_EQ(f.getNumber("Contador"), 1);
  EXPECT_EQ(f.getText("Localidad"), std::string(20, ' '));  // every other field blank
  ASSERT_TRUE(ws.DBUSEAREA(true, "CONTROL.DBF", "", true, true));
  EXPECT_TRUE(ws.current().getLogical("ControlCl6"));
  ASSERT_TRUE(ws.DBUSEAREA(true, "USUARIOS.DBF", "", true, true));
  EXPECT_EQ(ws.current().getText("Clave").substr(0, 8), "TORVELA ");
  EXPECT_EQ(ws.current().getText("Nombre").substr(0, 28), "ESTE NOMBRE DEBE MODIFICARSE");
  EXPECT_EQ(ws.current().getText("Passw").substr(0, 8), "TORVELA ");
}

// Debian's python3-dbfread, a reader written without any of our code.
TEST_F(CliTest, IndependentReaderReadsEveryTableBack) {
  ASSERT_EQ(run(cli("init " + dir.string())).exitCode, 0);
  const std::string script = R"PY(
import sys, dbfread
for name in sys.argv[2:]:
    t = dbfread.DBF(sys.argv[1] + '/' + name + '.DBF', encoding='cp1252', char_decode_errors='strict')
    recs = list(t)
    print(name, len(recs), ' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in t.fields))
    for r in recs:
        print(' ', '|'.join('%s=%s' % (k, str(v).rstrip()) for k, v in r.items() if v not in ('', None, 0, False) and str(v).strip()))
)PY";
  std::ofstream(dir / "read.py") << script;
  std::string args;
  for (const store::CatalogueTable* t : store::dataDirectoryTables()) args += " " + std::string(t->name);
  const auto r = run("/usr/bin/python3 " + (dir / "read.py").string() + " " + dir.string() + args);
  ASSERT_EQ(r.exitCode, 0) << r.err;

  std::string expected;
  for (const store::CatalogueTable* t : store::dataDirectoryTables()) {
    const std::string name(t->name);
    expected += name + " " + (kWithRecord.count(name) ? "1" : "0");
    std::string sep = " ";
    for (const auto& f : t->fields) {
      expected += sep + upper(f.name) + ":" + f.type + ":" + std::to_string(f.width) + ":" +
                  std::to_string(f.type == 'N' ? f.decimals : 0);
    }
    expected += "\n";
    if (name == "FRECU2")
      expected +=
          "  CONOMBRE=COMUNIDAD DE REGANTES DE PRUEBA|COCIF=B11111111|COCPOSTAL=18600|COLOCA=MOTRIL|"
          "COPROVIN=GRANADA|COFIRMA=EL PRESIDENTE|CONTADOR=1|UNIDADSU=marjales|COAB=1\n";
    if (name == "CONTROL") expected += "  CONTROLCL6=True\n";
    if (name == "CONCEPTO") expected += "  \n";
    if (name == "USUARIOS") expected += "  CLAVE=TORVELA|NOMBRE=ESTE NOMBRE DEBE MODIFICARSE|PASSW=TORVELA\n";
  }
  EXPECT_EQ(r.out, expected);  // non-blank values in field order
}

TEST_F(CliTest, InitLeavesExistingTablesAloneAndRecreatesMissingOnes) {
  ASSERT_EQ(run(cli("init " + dir.string())).exitCode, 0);
  {
    store::Workspace ws(dir);
    ASSERT_TRUE(ws.DBUSEAREA(true, "CONCEPTO.DBF", "", true));
    ASSERT_TRUE(ws.current().DBAPPEND());
    ws.current().put("Concepto", std::string("CUOTA"));
  }
  const std::string concepto = bytes("CONCEPTO.DBF");
  std::filesystem::remove(dir / "SOCIOS.DBF");
  std::filesystem::rename(dir / "USUARIOS.DBF", dir / "usuarios.dbf");  // found whatever its case
  const auto r = run(cli("init " + dir.string()));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Tabla creada: SOCIOS.DBF\nÍndice creado: SOCIOS.CDX\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "SOCIOS.CDX.antiguo"));  // the lost table's index, kept aside
  EXPECT_EQ(bytes("CONCEPTO.DBF"), concepto);
  EXPECT_FALSE(std::filesystem::exists(dir / "USUARIOS.DBF"));
  EXPECT_EQ(run(cli("init " + dir.string())).out, "");
}

TEST_F(CliTest, DumpPrintsEveryRecordWithDeletedOnesMarked) {
  store::Workspace ws(dir);
  ws.DBCREATE("T.DBF", {{"Nombre", 'C', 8, 0}, {"Importe", 'N', 7, 2}, {"Fecha", 'D', 8, 0}, {"Pagado", 'L', 1, 0}});
  ASSERT_TRUE(ws.DBUSEAREA(true, "T.DBF", "", false));
  store::WorkArea& t = ws.current();
  t.DBAPPEND();
  t.put("Nombre", std::string("Pe\xF1" "a \"B\""));  // Peña "B" in the table's single-byte text
  t.put("Importe", -12.5);
  t.put("Fecha", store::makeDate(2014, 3, 14));
  t.put("Pagado", true);
  t.DBAPPEND();
  t.DBDELETE();
  ws.DBCLOSEALL();
  const auto r = run(cli("dump " + dir.string() + " t"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "*,NOMBRE,IMPORTE,FECHA,PAGADO\n"
            " ,\"Pe\xF1" "a \"\"B\"\"\",-12.50,20140314,T\n"
            "*,\"\",0.00,,F\n");
}

TEST_F(CliTest, ErrorsExitNonZeroWithASpanishReport) {
  EXPECT_EQ(run(cli("")).exitCode, 2);
  EXPECT_EQ(run(cli("nada")).exitCode, 2);
  const auto missingDir = run(cli("init " + (dir / "no").string()));
  EXPECT_EQ(missingDir.exitCode, 1);
  EXPECT_NE(missingDir.err.find("no existe el directorio"), std::string::npos) << missingDir.err;
  EXPECT_EQ(run(cli("dump " + dir.string() + " SOCIOS")).exitCode, 1);

  std::ofstream(dir / "ROTA.DBF", std::ios::binary) << std::string("\x03\x7e\x0c\x0b", 4);
  const std::string before = bytes("ROTA.DBF");
  const auto damaged = run(cli("dump " + dir.string() + " ROTA"));
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_NE(damaged.err.find("Error 32/1012"), std::string::npos) << damaged.err;
  EXPECT_NE(damaged.err.find("ROTA.DBF"), std::string::npos) << damaged.err;
  EXPECT_EQ(bytes("ROTA.DBF"), before);
}

}  // namespace
}  // namespace canalix
