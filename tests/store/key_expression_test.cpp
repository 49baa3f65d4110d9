// Key and FOR expressions: every stored key text of the tables' orders with its
// key type and its value on a sample record, the operators and functions on a
// small table (widths, rounding, overflow, SUBSTR bounds), references to
// other areas, and the texts that must be refused as a damaged tag.
#include "store/key_expression.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "store/catalogue.h"
#include "store/table_engine.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

std::string pad(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }

// A readable form of a value, so that a failing row shows what it got.
std::string show(const Value& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return "C[" + *s + "]";
  if (const auto* d = std::get_if<double>(&v)) {
    char buf[64];
    return "N" + std::string(buf, std::to_chars(buf, buf + sizeof buf, *d).ptr);
  }
  if (const auto* d = std::get_if<Date>(&v)) return "D" + std::to_string(d->julian);
  return std::get<bool>(v) ? "L.T." : "L.F.";
}

struct Case {
  std::string table;  // alias of the area the expression is parsed against
  std::string text;
  char type;
  int length;
  Value value;  // on the area's sample record
};

void expectCase(Workspace& ws, const Case& c) {
  SCOPED_TRACE(c.table + ": " + c.text);
  WorkArea& area = ws.area(c.table);
  const KeyExpression e(c.text, area);
  EXPECT_EQ(e.text(), c.text);
  EXPECT_EQ(e.type().type, c.type);
  EXPECT_EQ(e.type().length, c.length);
  const Value v = e.evaluate(area);
  EXPECT_EQ(show(v), show(c.value));
  if (const auto* s = std::get_if<std::string>(&v)) {
    EXPECT_EQ(int(s->size()), c.length);
  }
}

void expectRefused(Workspace& ws, const std::string& table, const std::string& text) {
  SCOPED_TRACE(table + ": " + text);
  try {
    KeyExpression e(text, ws.area(table));
    ADD_FAILURE() << "accepted";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.genCode(), err::kCorrupt) << e.what();
    EXPECT_EQ(e.subCode(), err::kCorruptSub) << e.what();
    EXPECT_NE(e.detail().find(text), std::string::npos) << e.what();
  }
}

const Date kMarch14 = makeDate(2014, 3, 14);
const Date kMarch5 = makeDate(2014, 3, 5);

class KeyExpressionTest : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    ws = std::make_unique<Workspace>(dir);
  }
  void TearDown() override {
    ws.reset();
    ScratchDir::TearDown();
  }

  // Creates `table` with its catalogue structure, opens it exclusively under
  // its name and appends one record with `fields`.
  WorkArea& catalogued(const std::string& table, const std::vector<std::pair<std::string, Value>>& fields) {
    ws->DBCREATE(table + ".DBF", catalogueStructure(table));
    EXPECT_TRUE(ws->DBUSEAREA(true, table + ".DBF", "", false));
    return withRecord(ws->area(table), fields);
  }
  static WorkArea& withRecord(WorkArea& area, const std::vector<std::pair<std::string, Value>>& fields) {
    EXPECT_TRUE(area.DBAPPEND());
    for (const auto& [name, value] : fields) area.put(name, value);
    return area;
  }

  // The eleven indexed tables, one sample record each.
  void openIndexedTables() {
    catalogued("SOCIOS", {{"NumSocio", std::string("  12")},
                          {"Nif", std::string("12345678Z")},
                          {"Nombre", std::string("MU\xD1OZ P\xC9REZ, ANA")},
                          {"Domicilio", std::string("C/ MAYOR, 5")},
                          {"Localidad", std::string("HELL\xCDN")},
                          {"Pago", 2.0}});
    catalogued("PARCELAS", {{"NumSocio", std::string("  12")},
                            {"Numparcela", std::string("00042")},
                            {"Nombre", std::string("MU\xD1OZ P\xC9REZ, ANA")},
                            {"Parcela", std::string("POL 3 PARC 17")},
                            {"Superficie", 12.5},
                            {"Consumo", 1234.0},
                            {"Superfici2", 3.25},
                            {"Hidrante", std::string("H-07")}});
    catalogued("RECIBOS", {{"Numparcela", std::string("00042")},
                           {"Ano", std::string("2014")},
                           {"NumRecibo", std::string("03")},
                           {"NumSocio", std::string("  12")},
                           {"Nombre", std::string("MU\xD1OZ P\xC9REZ, ANA")},
                           {"Parcela", std::string("POL 3 PARC 17")},
                           {"Superficie", 12.5},
                           {"Consumo", 1234.0}});
    catalogued("USUARIOS", {{"Clave", std::string("ADMIN")}});
    catalogued("ACCESOS", {{"Fecha", kMarch14}});
    catalogued("BIC", {{"Codigo", std::string("2100")}});
    catalogued("GASTOS",
               {{"AnNum", std::string("00072014")}, {"Codigo", std::string("101")}, {"Fecha", kMarch5}});
    catalogued("CODIGOS", {{"Codigo", std::string("101")}});
    catalogued("CONCEPTO", {{"Concepto", std::string("CUOTA ORDINARIA")}});
    catalogued("CAJA", {{"Fecha", kMarch14}});
    catalogued("ARQUEO", {{"Fecha", kMarch5}});
  }

  // MUESTRA, opened under the alias M: one field of each kind.
  WorkArea& sample() {
    ws->DBCREATE("MUESTRA.DBF", testing::sampleStructure());
    EXPECT_TRUE(ws->DBUSEAREA(true, "MUESTRA.DBF", "M", false));
    return withRecord(ws->area("M"), {{"Nombre", std::string("ab\xF1"
                                                             "cdEFgh")},
                                      {"Importe", 3.5},
                                      {"Fecha", kMarch14},
                                      {"Pagado", true}});
  }

  std::unique_ptr<Workspace> ws;
};

TEST_F(KeyExpressionTest, EveryStoredKeyOfTheOrdersHasItsKeyTypeAndValue) {
  openIndexedTables();
  const std::string nombre = pad("MU\xD1OZ P\xC9REZ, ANA", 45);
  const std::vector<Case> cases = {
      {"SOCIOS", "SOCIOS->Nombre", 'C', 45, nombre},
      {"SOCIOS", "SOCIOS->NumSocio", 'C', 4, std::string("  12")},
      {"SOCIOS", "SOCIOS->Nif", 'C', 10, std::string("12345678Z ")},
      {"SOCIOS", "SOCIOS->Localidad+SOCIOS->DOMICILIO", 'C', 70,
       pad("HELL\xCDN", 20) + pad("C/ MAYOR, 5", 50)},
      {"SOCIOS", "str(SOCIOS->Pago,1)", 'C', 1, std::string("2")},
      {"PARCELAS", "PARCELAS->NumSocio", 'C', 4, std::string("  12")},
      {"PARCELAS", "PARCELAS->Numparcela", 'C', 5, std::string("00042")},
      {"PARCELAS", "PARCELAS->Nombre", 'C', 45, nombre},
      {"PARCELAS", "PARCELAS->Parcela", 'C', 40, pad("POL 3 PARC 17", 40)},
      {"PARCELAS", "str(PARCELAS->Superficie,7,2)", 'C', 7, std::string("  12.50")},
      {"PARCELAS", "str(PARCELAS->Consumo,8)", 'C', 8, std::string("    1234")},
      {"PARCELAS", "str(PARCELAS->Superfici2,7,2)", 'C', 7, std::string("   3.25")},
      {"PARCELAS", "PARCELAS->HIDRANTE+PARCELAS->Nombre", 'C', 60, pad("H-07", 15) + nombre},
      {"RECIBOS", "RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo", 'C', 11, std::string("00042201403")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumParcela", 'C', 11, std::string("20140300042")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo", 'C', 6, std::string("201403")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumParcela+RECIBOS->NumRecibo", 'C', 11, std::string("20140004203")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumSocio", 'C', 10, std::string("201403  12")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Nombre", 'C', 51, "201403" + nombre},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Parcela", 'C', 46,
       "201403" + pad("POL 3 PARC 17", 40)},
      // STR without a width takes the field's: N 7,2 and N 8.
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Superficie)", 'C', 13,
       std::string("201403  12.50")},
      {"RECIBOS", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Consumo)", 'C', 14,
       std::string("201403    1234")},
      {"RECIBOS", "RECIBOS->NumSocio+RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo", 'C', 15,
       std::string("  1200042201403")},
      {"USUARIOS", "USUARIOS->Clave", 'C', 10, std::string("ADMIN     ")},
      {"ACCESOS", "DTOS(ACCESOS->Fecha)", 'C', 8, std::string("20140314")},
      {"BIC", "BIC->Codigo", 'C', 4, std::string("2100")},
      {"GASTOS", "GASTOS->AnNum+DTOS(GASTOS->Fecha)", 'C', 16, std::string("0007201420140305")},
      {"GASTOS", "GASTOS->AnNum+GASTOS->Codigo+DTOS(GASTOS->Fecha)", 'C', 19,
       std::string("0007201410120140305")},
      {"GASTOS", "SUBSTR(GASTOS->AnNum,5,4)+GASTOS->Codigo+DTOS(GASTOS->Fecha)", 'C', 15,
       std::string("201410120140305")},
      {"CODIGOS", "CODIGOS->Codigo", 'C', 3, std::string("101")},
      {"CONCEPTO", "CONCEPTO->Concepto", 'C', 30, pad("CUOTA ORDINARIA", 30)},
      {"CAJA", "CAJA->Fecha", 'D', 8, kMarch14},
      {"ARQUEO", "ARQUEO->Fecha", 'D', 8, kMarch5},
  };
  for (const Case& c : cases) expectCase(*ws, c);
}

TEST_F(KeyExpressionTest, TheForConditionFollowsTheDeletionFlag) {
  openIndexedTables();
  WorkArea& socios = ws->area("SOCIOS");
  const KeyExpression live("!DELETED()", socios);
  EXPECT_EQ(live.type().type, 'L');
  EXPECT_EQ(live.type().length, 1);
  EXPECT_EQ(show(live.evaluate(socios)), "L.T.");
  socios.DBDELETE();
  EXPECT_EQ(show(live.evaluate(socios)), "L.F.");
  EXPECT_EQ(show(KeyExpression("DELETED()", socios).evaluate(socios)), "L.T.");
}

TEST_F(KeyExpressionTest, OperatorsAndFunctionsOnOneRecord) {
  sample();
  const std::string nombre =
      "ab\xF1"
      "cdEFgh ";  // C 10
  const std::vector<Case> cases = {
      // References: any case, with or without an alias; the alias may be the
      // area's own or its file's stem.
      {"M", "Nombre", 'C', 10, nombre},
      {"M", "m->nombre", 'C', 10, nombre},
      {"M", "muestra->NOMBRE", 'C', 10, nombre},
      {"M", "  M -> Nombre  ", 'C', 10, nombre},
      {"M", "Importe", 'N', 8, 3.5},
      {"M", "Fecha", 'D', 8, kMarch14},
      {"M", "Pagado", 'L', 1, true},
      // Concatenation, literals, parentheses.
      {"M", "'ab'+\"c'd\"", 'C', 5, std::string("abc'd")},
      {"M", "(Nombre+'|')+Nombre", 'C', 21, nombre + "|" + nombre},
      {"M", "''", 'C', 0, std::string()},
      // Numbers, dates, logicals.
      {"M", "Importe+1.25", 'N', 8, 4.75},
      {"M", "-Importe+10", 'N', 8, 6.5},
      {"M", "Fecha+1", 'D', 8, makeDate(2014, 3, 15)},
      {"M", "Fecha-14", 'D', 8, makeDate(2014, 2, 28)},
      {"M", "Fecha-Fecha", 'N', 8, 0.0},
      {"M", ".T.", 'L', 1, true},
      {"M", "!Pagado", 'L', 1, false},
      {"M", ".NOT. .f.", 'L', 1, true},
      {"M", "Pagado .AND. .F.", 'L', 1, false},
      {"M", ".F. .or. Pagado", 'L', 1, true},
      {"M", "!!DELETED()", 'L', 1, false},
      // STR: the field's width and decimals, a given width without decimals,
      // width and decimals; rounding half away from zero; overflow.
      {"M", "STR(Importe)", 'C', 6, std::string("  3.50")},
      {"M", "STR(Importe,4)", 'C', 4, std::string("   4")},
      {"M", "STR(-Importe,4)", 'C', 4, std::string("  -4")},
      {"M", "STR(Importe,6,1)", 'C', 6, std::string("   3.5")},
      {"M", "STR(-Importe,5,2)", 'C', 5, std::string("-3.50")},
      {"M", "STR(Importe,4,2)", 'C', 4, std::string("3.50")},
      {"M", "STR(Importe,3,2)", 'C', 3, std::string("***")},
      {"M", "STR(Importe,0)", 'C', 10, std::string("         4")},
      {"M", "STR(Importe,-3,-1)", 'C', 10, std::string("         4")},
      {"M", "STR(Importe, 10-4, 2)", 'C', 6, std::string("  3.50")},
      {"M", "STR(12.345,7,2)", 'C', 7, std::string("  12.35")},
      {"M", "STR(-0.5,6,2)", 'C', 6, std::string(" -0.50")},
      {"M", "STR(-0.004,5,2)", 'C', 5, std::string(" 0.00")},
      {"M", "STR(99.999,5,2)", 'C', 5, std::string("*****")},
      {"M", "STR(9.999,5,2)", 'C', 5, std::string("10.00")},
      {"M", "STR(123456,5)", 'C', 5, std::string("*****")},
      // A computed number: 10 integer positions, plus the point and the
      // decimals it carries.
      {"M", "STR(1234)", 'C', 10, std::string("      1234")},
      {"M", "STR(Importe+1)", 'C', 13, std::string("         4.50")},
      {"M", "STR(2.125)", 'C', 14, std::string("         2.125")},
      // DTOS and SUBSTR.
      {"M", "DTOS(Fecha)", 'C', 8, std::string("20140314")},
      {"M", "DTOS(Fecha+18)", 'C', 8, std::string("20140401")},
      {"M", "SUBSTR(Nombre,3)", 'C', 8,
       std::string("\xF1"
                   "cdEFgh ")},
      {"M", "SUBSTR(Nombre,3,2)", 'C', 2,
       std::string("\xF1"
                   "c")},
      {"M", "SUBSTR(Nombre,1,1)", 'C', 1, std::string("a")},
      {"M", "SUBSTR(Nombre,0,2)", 'C', 2, std::string("ab")},
      {"M", "SUBSTR(Nombre,-4,2)", 'C', 2, std::string("Fg")},
      {"M", "SUBSTR(Nombre,-40,2)", 'C', 2, std::string("ab")},
      {"M", "SUBSTR(Nombre,9,5)", 'C', 2, std::string("h ")},
      {"M", "SUBSTR(Nombre,10)", 'C', 1, std::string(" ")},
      {"M", "SUBSTR(Nombre,11)", 'C', 0, std::string()},
      {"M", "SUBSTR(Nombre,20,3)", 'C', 0, std::string()},
      {"M", "SUBSTR(Nombre,2,0)", 'C', 0, std::string()},
      {"M", "SUBSTR(Nombre,2,-1)", 'C', 0, std::string()},
      {"M", "substr('abcdef',2,3)+Nombre", 'C', 13, "bcd" + nombre},
      // Upper-casing changes a to z only.
      {"M", "UPPER(Nombre)", 'C', 10,
       std::string("AB\xF1"
                   "CDEFGH ")},
  };
  for (const Case& c : cases) expectCase(*ws, c);
}

TEST_F(KeyExpressionTest, ABlankRecordGivesBlankDatesAndZeroNumbers) {
  WorkArea& m = sample();
  ASSERT_TRUE(m.DBAPPEND());
  const std::vector<Case> cases = {
      {"M", "DTOS(Fecha)", 'C', 8, std::string(8, ' ')},
      {"M", "Nombre+DTOS(Fecha)", 'C', 18, std::string(18, ' ')},
      {"M", "STR(Importe)", 'C', 6, std::string("  0.00")},
      {"M", "Pagado", 'L', 1, false},
      {"M", "Fecha", 'D', 8, Date{}},
      {"M", "Fecha+1", 'D', 8, Date{}},
  };
  for (const Case& c : cases) expectCase(*ws, c);
}

TEST_F(KeyExpressionTest, AnotherAreasFieldIsReadFromItsCurrentRecord) {
  openIndexedTables();
  WorkArea& socios = ws->area("SOCIOS");
  withRecord(socios, {{"Nombre", std::string("RUIZ")}});
  WorkArea& parcelas = ws->area("PARCELAS");
  const KeyExpression e("PARCELAS->Numparcela+socios->Nombre", parcelas);
  EXPECT_EQ(e.type().length, 50);
  EXPECT_EQ(show(e.evaluate(parcelas)), show("00042" + pad("RUIZ", 45)));
  socios.DBGOTO(1);
  EXPECT_EQ(show(e.evaluate(parcelas)), show("00042" + pad("MU\xD1OZ P\xC9REZ, ANA", 45)));
}

TEST_F(KeyExpressionTest, TheExpressionSurvivesAMove) {
  sample();
  KeyExpression a("SUBSTR(Nombre,1,2)", ws->area("M"));
  KeyExpression b(std::move(a));
  EXPECT_EQ(b.text(), "SUBSTR(Nombre,1,2)");
  EXPECT_EQ(show(b.evaluate(ws->area("M"))), "C[ab]");
  KeyExpression c("Pagado", ws->area("M"));
  c = std::move(b);
  EXPECT_EQ(c.type().length, 2);
  EXPECT_EQ(show(c.evaluate(ws->area("M"))), "C[ab]");
}

TEST_F(KeyExpressionTest, BadTextsAreRefusedAsADamagedTag) {
  sample();
  const std::vector<std::string> texts = {
      // type errors
      "Nombre+3",
      "3+Nombre",
      "Fecha+Fecha",
      "Nombre-Nombre",
      "Pagado+1",
      "!Nombre",
      "Pagado .AND. Nombre",
      "-Nombre",
      "DTOS(Nombre)",
      "DTOS(Importe)",
      "STR(Nombre)",
      "STR(Fecha,8)",
      "STR(Importe,'8')",
      "SUBSTR(Importe,1)",
      "SUBSTR(Nombre,'1')",
      "UPPER(Importe)",
      // unknown names and aliases
      "NoExiste",
      "M->NoExiste",
      "OTRA->Nombre",
      "Nombre->",
      "FOO(Nombre)",
      // lengths that depend on the record
      "SUBSTR(Nombre,Importe)",
      "SUBSTR(Nombre,1,Importe)",
      "STR(Importe,Importe)",
      // argument counts
      "STR()",
      "STR(1,2,3,4)",
      "SUBSTR(Nombre)",
      "DTOS()",
      "DELETED(1)",
      // syntax
      "",
      "   ",
      "Nombre+",
      "Nombre Nombre",
      "(Nombre",
      "Nombre)",
      "'abc",
      "\"abc",
      "STR(Importe",
      "STR(Importe,",
      "1.2.3",
      "Importe*1",
      "Nombre=Nombre",
      "#",
      ".X.",
      "SUBSTR(Nombre,,2)",
      "STR(Importe,999)",
  };
  for (const std::string& t : texts) expectRefused(*ws, "M", t);
}

}  // namespace
}  // namespace canalix::store
