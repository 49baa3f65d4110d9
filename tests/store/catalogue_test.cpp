// Tests of the table catalogue: shapes counted by hand from the field lists,
// spot checks of fields where a slip of transcription would go unnoticed, the
// lookups and the initial records.
#include "store/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace canalix::store {
namespace {

std::string upperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

TEST(Catalogue, DataDirectoryTablesInCreafiOrder) {
  const std::vector<std::string> expected = {"FRECU2",   "SOCIOS",   "PARCELAS", "RECIBOS", "CONTROL",
                                             "ACCESOS",  "CODIGOS",  "GASTOS",   "CONCEPTO", "USUARIOS",
                                             "CAJA",     "BIC",      "ARQUEO"};
  std::vector<std::string> names;
  for (const CatalogueTable* t : dataDirectoryTables()) names.push_back(std::string(t->name));
  EXPECT_EQ(names, expected);
}

// Record lengths and field counts added up by hand from the field lists.
TEST(Catalogue, ShapesOfEveryTable) {
  struct Case {
    const char* table;
    size_t fields;
    int recordLength;
    bool hasIndex;
  };
  const std::vector<Case> cases = {
      {"SOCIOS", 34, 683, true},   {"PARCELAS", 26, 485, true}, {"RECIBOS", 99, 1119, true},
      {"FRECU2", 171, 2046, false}, {"CONTROL", 1, 2, false},    {"USUARIOS", 4, 116, true},
      {"ACCESOS", 6, 84, true},    {"CODIGOS", 2, 34, true},    {"CONCEPTO", 1, 31, true},
      {"GASTOS", 15, 289, true},   {"CAJA", 5, 98, true},       {"ARQUEO", 18, 97, true},
      {"BIC", 2, 16, true},        {"COMU", 2, 53, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const CatalogueTable* t = findTable(c.table);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->fields.size(), c.fields);
    EXPECT_EQ(t->recordLength(), c.recordLength);
    EXPECT_EQ(t->headerLength(), 32 + 32 * static_cast<int>(c.fields) + 2);
    EXPECT_EQ(t->hasIndex, c.hasIndex);
    EXPECT_EQ(t->fileName(), std::string(c.table) + ".DBF");
    EXPECT_EQ(t->indexFileName(), std::string(c.table) + ".CDX");
  }
}

// Fields at positions where a shifted or mistyped row would change the file.
TEST(Catalogue, SpotChecksOfFields) {
  struct Case {
    const char* table;
    int position;  // 1-based, as the catalogue numbers them
    CatalogueField field;
  };
  const std::vector<Case> cases = {
      {"SOCIOS", 1, {"NumSocio", 'C', 4, 0}},      {"SOCIOS", 2, {"IS", 'N', 1, 0}},
      {"SOCIOS", 30, {"Superficie", 'N', 7, 2}},   {"SOCIOS", 33, {"FMandato", 'D', 8, 0}},
      {"SOCIOS", 34, {"BICBanco", 'C', 11, 0}},    {"PARCELAS", 6, {"Numparcela", 'C', 5, 0}},
      {"PARCELAS", 14, {"ActMetros", 'N', 8, 0}},  {"PARCELAS", 26, {"Cuenta", 'C', 20, 0}},
      {"RECIBOS", 15, {"Numparcela", 'C', 5, 0}},  {"RECIBOS", 57, {"Adicio3ToI", 'N', 9, 2}},
      {"RECIBOS", 64, {"Ano", 'C', 4, 0}},         {"RECIBOS", 65, {"NumRecibo", 'C', 2, 0}},
      {"RECIBOS", 77, {"LSobre2", 'N', 5, 0}},     {"RECIBOS", 99, {"BICBanco", 'C', 11, 0}},
      {"FRECU2", 1, {"Cpostal", 'C', 5, 0}},       {"FRECU2", 75, {"CoNombre", 'C', 45, 0}},
      {"FRECU2", 100, {"CoAB", 'N', 1, 0}},        {"FRECU2", 153, {"RutaZipA", 'C', 150, 0}},
      {"FRECU2", 171, {"SEPA6", 'C', 15, 0}},      {"GASTOS", 8, {"Precio", 'N', 11, 4}},
      {"GASTOS", 12, {"Total", 'N', 11, 2}},       {"ARQUEO", 12, {"ICHEQUE", 'N', 8, 2}},
      {"CONTROL", 1, {"ControlCl6", 'L', 1, 0}},   {"COMU", 2, {"Nombre", 'C', 50, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " #" + std::to_string(c.position));
    const CatalogueTable* t = findTable(c.table);
    ASSERT_NE(t, nullptr);
    ASSERT_LE(static_cast<size_t>(c.position), t->fields.size());
    const CatalogueField& f = t->fields[c.position - 1];
    EXPECT_EQ(f.name, c.field.name);
    EXPECT_EQ(f.type, c.field.type);
    EXPECT_EQ(f.width, c.field.width);
    EXPECT_EQ(f.decimals, c.field.decimals);
  }
}

// What the table file format can hold: names of at most ten characters, unique
// without regard to case, the fixed widths of dates and logicals, decimals only
// on numbers.
TEST(Catalogue, EveryFieldFitsTheTableFileFormat) {
  for (const CatalogueTable& t : catalogue()) {
    SCOPED_TRACE(std::string(t.name));
    std::set<std::string> seen;
    for (const CatalogueField& f : t.fields) {
      SCOPED_TRACE(std::string(f.name));
      EXPECT_GE(f.name.size(), 1u);
      EXPECT_LE(f.name.size(), 10u);
      EXPECT_TRUE(seen.insert(upperCase(f.name)).second) << "repeated field";
      EXPECT_NE(std::string("CNDL").find(f.type), std::string::npos);
      if (f.type == 'D') EXPECT_EQ(f.width, 8);
      if (f.type == 'L') EXPECT_EQ(f.width, 1);
      if (f.type != 'N') EXPECT_EQ(f.decimals, 0);
      if (f.type == 'N') EXPECT_LT(f.decimals, f.width);
    }
  }
}

TEST(Catalogue, LookupIgnoresCaseAndExtension) {
  for (const char* name : {"socios", "Socios", "SOCIOS.DBF", "socios.dbf"}) {
    const CatalogueTable* t = findTable(name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_EQ(t->name, "SOCIOS");
  }
  EXPECT_EQ(findTable("NOSUCH"), nullptr);
  EXPECT_EQ(findTable("HACIDIS"), nullptr) << "work tables are looked up with their use";
  EXPECT_EQ(findTable("COMU")->home, TableHome::kProgramDir);

  const CatalogueTable* parcelas = findTable("PARCELAS");
  EXPECT_EQ(parcelas->fieldIndex("NUMPARCELA"), 5);
  EXPECT_EQ(parcelas->fieldIndex("numsocio"), 0);
  EXPECT_EQ(parcelas->fieldIndex("Nosuch"), -1);
}

TEST(Catalogue, StructureKeepsTheCatalogueSpelling) {
  const Structure s = catalogueStructure("recibos");
  ASSERT_EQ(s.size(), 99u);
  EXPECT_EQ(s[14].name, "Numparcela");
  EXPECT_EQ(s[16].type, 'N');
  EXPECT_EQ(s[16].width, 7);
  EXPECT_EQ(s[16].decimals, 2);
  EXPECT_THROW(catalogueStructure("NOSUCH"), std::invalid_argument);
}

TEST(Catalogue, WorkTablesByUse) {
  struct Case {
    const char* name;
    WorkUse use;
    size_t fields;
    int recordLength;
  };
  const std::vector<Case> cases = {
      {"LECTURAS", WorkUse::kReadings, 9, 1 + 127 + 10 + 9 + 20 + 15 + 15 + 29 + 6 + 8},
      {"HACIDIS", WorkUse::kPayments, 12, 1 + 6 + 13 + 8 + 9 + 9 + 8 + 5 + 2 + 4 + 4 + 45 + 45},
      {"HACIDIS2", WorkUse::kNorma19, 1, 91},
      {"HACIDIS", WorkUse::kNorma19, 1, 163},
      {"hacidis2", WorkUse::kSepa, 1, 91},
      {"HACIDIS", WorkUse::kSepa, 1, 601},
      {"SAMPLE", WorkUse::kMandate, 1, 251},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CatalogueTable* t = findWorkTable(c.name, c.use);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->home, TableHome::kWork);
    EXPECT_FALSE(t->hasIndex);
    EXPECT_EQ(t->fields.size(), c.fields);
    EXPECT_EQ(t->recordLength(), c.recordLength);
  }
  EXPECT_EQ(findWorkTable("LECTURAS", WorkUse::kSepa), nullptr);
  EXPECT_EQ(findWorkTable("SOCIOS", WorkUse::kNone), nullptr);
  EXPECT_EQ(findWorkTable("HACIDIS", WorkUse::kPayments)->fields[9].name, "NumSocio");
  EXPECT_EQ(findWorkTable("LECTURAS", WorkUse::kReadings)->fields[8].type, 'N');
}

TEST(Catalogue, InitialRecords) {
  struct Case {
    const char* table;
    std::vector<std::pair<std::string, Value>> record;
  };
  const std::vector<Case> cases = {
      {"FRECU2",
       {{"UnidadSu", std::string("marjales")},
        {"CoFirma", std::string("EL PRESIDENTE")},
        {"CoAB", 1.0},
        {"CoNombre", std::string("COMUNIDAD DE REGANTES DE PRUEBA")},
        {"CoCif", std::string("B11111111")},
        {"CoCpostal", std::string("18600")},
        {"CoLoca", std::string("MOTRIL")},
        {"CoProvin", std::string("GRANADA")},
        {"Contador", 1.0}}},
      {"CONTROL", {{"ControlCl6", true}}},
      {"CONCEPTO", {{"Concepto", std::string(30, ' ')}}},
      {"USUARIOS",
       {{"Clave", std::string("TORVELA")},
        {"Nombre", std::string("ESTE NOMBRE DEBE MODIFICARSE")},
        {"Passw", std::string("TORVELA")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    EXPECT_EQ(initialRecord(c.table), c.record);
  }
  for (const char* empty : {"SOCIOS", "PARCELAS", "RECIBOS", "ACCESOS", "CODIGOS", "GASTOS", "CAJA", "BIC",
                            "ARQUEO", "COMU"}) {
    EXPECT_TRUE(initialRecord(empty).empty()) << empty;
  }
}

// Every initial value names a field of its table and has that field's type and fits it.
TEST(Catalogue, InitialRecordsFitTheirFields) {
  for (const CatalogueTable* t : dataDirectoryTables()) {
    for (const auto& [name, value] : initialRecord(t->name)) {
      SCOPED_TRACE(std::string(t->name) + "->" + name);
      const int i = t->fieldIndex(name);
      ASSERT_GE(i, 0);
      const CatalogueField& f = t->fields[i];
      EXPECT_EQ(f.name, name) << "spelled as the catalogue";
      switch (f.type) {
        case 'C':
          ASSERT_TRUE(std::holds_alternative<std::string>(value));
          EXPECT_LE(std::get<std::string>(value).size(), static_cast<size_t>(f.width));
          break;
        case 'N': EXPECT_TRUE(std::holds_alternative<double>(value)); break;
        case 'L': EXPECT_TRUE(std::holds_alternative<bool>(value)); break;
        default: ADD_FAILURE() << "unexpected type";
      }
    }
  }
}

}  // namespace
}  // namespace canalix::store
