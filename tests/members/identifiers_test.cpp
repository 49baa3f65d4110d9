#include "members/identifiers.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/scripted_port.h"

namespace canalix::members {
namespace {

const std::string kTenMsg =
    "El Número de Documento Identificativo debe tener 10 dígitos en el caso del NIF, NIE y Pasaporte.\r\n"
    "Si se trata del NIF o Pasaporte añada tantos ceros a la izquierda como sea necesario.\r\n"
    "Si se trata del NIE (Tarjeta de extranjero) añada un cero a la derecha de la  X  si fuera necesario.";
const std::string kWrongMsg = "El número y/o letra del documento son incorrectos";
const std::string kNieMsg = "El Número de Tarjeta de Extranjero debe comenzar por la letra `X`, `Y` o `Z`";
const std::string kCifMsg = "El C.I.F. de la Empresa no puede tener 10 dígitos.\r\n";

struct DocumentCase {
  const char* number;
  int type;
  std::string message;  // empty when accepted
};

TEST(VALIDADNI, DocumentsAcceptedAndRefused) {
  const std::vector<DocumentCase> cases = {
      {"012345678Z", kNif, ""},  // the official example 12345678Z, in ten characters
      {"000000001R", kNif, ""},
      {"012345678A", kNif, kWrongMsg},
      {"12345678Z", kNif, kTenMsg},
      {"12345678Z ", kNif, kTenMsg},  // trimmed first
      {"0123456789Z", kNif, kTenMsg},
      {"000000000T", kNif, ""},  // all zeros with the letter of 0
      {"000000000R", kNif, kWrongMsg},
      {"01234A678Z", kNif, "El carácter A no está permitido. Solo debe introducir números y letras"},
      {"01234\xD1"
       "678Z",
       kNif, "El carácter Ñ no está permitido. Solo debe introducir números y letras"},
      {"012345678z", kNif, kWrongMsg},  // letters compared in capitals, as the field types them
      {"X01234567L", kNie, ""},         // X counts 0: 1234567 mod 23 = 19, L
      {"Y01234567X", kNie, ""},         // Y counts 1: 11234567 mod 23 = 10, X
      {"Z01234567R", kNie, ""},         // Z counts 2: 21234567 mod 23 = 1, R
      {"Y01234567L", kNie, kWrongMsg},
      {"Z01234567L", kNie, kWrongMsg},
      {"A01234567L", kNie, kNieMsg},
      {"x01234567L", kNie, kNieMsg},
      {"X0123456AL", kNie, "El carácter A no está permitido. Solo debe introducir números y letras"},
      {"X1234567L", kNie, kTenMsg},
      {"AB-1234567", kPassport, ""},  // passports of ten characters of any kind
      {"123", kPassport, kTenMsg},
      {"B12345678", kCif, ""},  // no digit test for a CIF
      {"B1234", kCif, ""},
      {"B123456789", kCif, kCifMsg},
      {"", kNif, ""},
      {"          ", kNie, ""},
  };
  for (const DocumentCase& c : cases) {
    const Verdict v = checkDocument(c.number, c.type, true);
    EXPECT_EQ(v.ok, c.message.empty()) << '"' << c.number << "\" type " << c.type;
    EXPECT_EQ(v.message, c.message) << '"' << c.number << "\" type " << c.type;
  }
}

TEST(VALIDADNI, NifLetterTable) {
  const std::string letters = "TRWAGMYFPDXBNJZSQVHLCKE";
  for (uint64_t n = 0; n < 46; ++n) EXPECT_EQ(nifLetter(n), letters[n % 23]) << n;
  EXPECT_EQ(nifLetter(12345678), 'Z');
  EXPECT_EQ(nifLetter(99999999), 'R');
}

// A members table of two members, searched as the NIF order would be.
struct FakeMembers {
  struct Row {
    std::string numSocio, nif, name;
  };
  std::vector<Row> rows = {{"  12", "012345678Z",
                            "GARC\xCD"
                            "A L\xD3PEZ, JUAN"},
                           {"   7", "Y01234567X", "ROSS, ANNA"}};
  std::string editing;  // NumSocio of the member being edited
  int calls = 0;

  NifHolderLookup lookup() {
    return [this](std::string_view nif, bool newMember) -> std::optional<NifHolder> {
      ++calls;
      for (const Row& r : rows) {
        if (r.nif == nif && (newMember || r.numSocio != editing)) return NifHolder{r.numSocio, r.name};
      }
      return std::nullopt;
    };
  }
};

TEST(VALIDADNI, DuplicateSearchNamesTheHolder) {
  FakeMembers members;
  const Verdict dup = checkDocument("012345678Z", kNif, true, members.lookup());
  EXPECT_FALSE(dup.ok);
  EXPECT_EQ(dup.message, "Ese Número de Documento ya existe. Pertenece al socio:\r\n12 - GARCÍA LÓPEZ, JUAN");
  EXPECT_FALSE(checkDocument("Y01234567X", kNie, true, members.lookup()).ok);  // Y and Z are searched too
  members.editing = "  12";  // the member's own number is no duplicate
  EXPECT_TRUE(checkDocument("012345678Z", kNif, false, members.lookup()).ok);
  EXPECT_FALSE(checkDocument("012345678Z", kNif, true, members.lookup()).ok);
  EXPECT_TRUE(checkDocument("000000001R", kNif, true, members.lookup()).ok);
}

TEST(VALIDADNI, NoSearchForZeroPassportsCifsOrRefusals) {
  FakeMembers members;
  members.rows.push_back({"   1", "000000000T", "CERO"});
  members.rows.push_back({"   2", "X00000000T", "CERO"});
  members.rows.push_back({"   3", "AB-1234567", "PASAPORTE"});
  EXPECT_TRUE(checkDocument("000000000T", kNif, true, members.lookup()).ok);
  EXPECT_TRUE(checkDocument("X00000000T", kNie, true, members.lookup()).ok);
  EXPECT_TRUE(checkDocument("AB-1234567", kPassport, true, members.lookup()).ok);
  EXPECT_FALSE(checkDocument("012345678A", kNif, true, members.lookup()).ok);
  EXPECT_EQ(members.calls, 0);
}

TEST(VALIDADNI, RefusalIsOneAlertWithTheTitle) {
  ui::ScriptedPort port;
  EXPECT_TRUE(VALIDADNI("X01234567L", kNie, true, port));
  EXPECT_TRUE(port.calls().empty());
  EXPECT_FALSE(VALIDADNI("012345678A", kNif, true, port));
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].kind, ui::CallKind::kAlert);
  EXPECT_EQ(port.calls()[0].title, "¡¡¡ Atención !!!");
  EXPECT_EQ(port.calls()[0].text, kWrongMsg);
}

std::string nif(std::string_view text, int mode = 1) {
  std::string label = "?";
  EXPECT_TRUE(VALIDANIF(text, label, mode));
  return label;
}

std::string naf(std::string_view province, std::string_view number) {
  std::string label = "?";
  EXPECT_TRUE(VALIDANAF(province, number, label));
  return label;
}

std::string ccc(std::string_view province, std::string_view number) {
  std::string label = "?";
  EXPECT_TRUE(VALIDACCC(province, number, label));
  return label;
}

TEST(PocketCalculations, NifLetter) {
  EXPECT_EQ(nif("12345678"), "Z");
  EXPECT_EQ(nif(" 12345678 "), "Z");
  EXPECT_EQ(nif("0"), "T");
  EXPECT_EQ(nif("1234567"), "L");
  EXPECT_EQ(nif(""), " ");
  EXPECT_EQ(nif("X1234567"), " ");
  EXPECT_EQ(nif("12345678", 2), " ");
}

TEST(PocketCalculations, AffiliationNumber) {
  EXPECT_EQ(naf("28", "1234567"), "42");   // 281234567 mod 97
  EXPECT_EQ(naf("28", "01234567"), "42");  // eight digits beginning with 0 lose it
  EXPECT_EQ(naf("28", "123"), "20");       // 280000123 mod 97
  EXPECT_EQ(naf("28", "12345678"), "40");  // 2812345678 mod 97
  EXPECT_EQ(naf(" 28 ", " 1234567 "), "42");
  EXPECT_EQ(naf("08", "1234567"), "74");  // a leading zero of the province stays
  EXPECT_EQ(naf("28", ""), "  ");
}

TEST(PocketCalculations, ContributionAccount) {
  EXPECT_EQ(ccc("28", "123456"), "52");  // 28123456 mod 97
  EXPECT_EQ(ccc("28", "0123456"), "52");
  EXPECT_EQ(ccc("28", "12"), "89");  // 28000012 mod 97
  EXPECT_EQ(ccc("28", "  "), "  ");
}

}  // namespace
}  // namespace canalix::members
