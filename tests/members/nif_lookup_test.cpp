// The identity check's duplicate search over a real members table with its
// NIF order: hits in new and edit mode, and the screen's area left untouched.
#include "members/nif_lookup.h"

#include <gtest/gtest.h>

#include "store/catalogue.h"
#include "store/store_fixture.h"

namespace canalix::members {
namespace {

class NifLookupTest : public store::testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    ws = std::make_unique<store::Workspace>(dir);
    ws->DBCREATE("SOCIOS.DBF", store::catalogueStructure("SOCIOS"));
    ASSERT_TRUE(ws->DBUSEAREA(true, "SOCIOS.DBF", "", false));
    store::WorkArea& t = ws->current();
    const char* rows[][4] = {{"0001", "012345678Z", "PEREZ GARCIA JUAN", "F"},
                             {"0002", "X01234567L", "ALONSO RUIZ ANA", "T"},  // inactive members count
                             {"0003", "087654321X", "ZAFRA LOPEZ LUIS", "F"}};
    for (auto& r : rows) {
      t.DBAPPEND();
      t.put("NumSocio", std::string(r[0]));
      t.put("Nif", std::string(r[1]));
      t.put("Nombre", std::string(r[2]));
      t.put("Inactivo", r[3][0] == 'T');
    }
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("SOCIOS", "NOMBRE", "SOCIOS->Nombre");
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("SOCIOS", "NUMSOCIO", "SOCIOS->NumSocio");
    t.ORDCONDSET("!DELETED()", false);
    t.ORDCREATE("SOCIOS", "NIF", "SOCIOS->Nif");
    ws->DBCLOSEALL();
    ASSERT_TRUE(ws->DBUSEAREA(true, "SOCIOS.DBF", "", true));
  }
  std::unique_ptr<store::Workspace> ws;
};

TEST_F(NifLookupTest, FindsAnotherHolderAndLeavesTheAreaAsItWas) {
  store::WorkArea& socios = ws->area("SOCIOS");
  socios.DBSETORDER(1);
  socios.ORDSCOPE(0, std::string("PEREZ"));
  socios.ORDSCOPE(1, std::string("PEREZ"));
  socios.DBGOTOP();
  ASSERT_EQ(socios.RECNO(), 1u);
  const NifHolderLookup lookup = membersNifLookup(socios);
  struct Case {
    const char* nif;
    bool newMember;
    const char* holder;  // nullptr: none
  } cases[] = {
      {"X01234567L", true, "0002"},   // an inactive member
      {"087654321X", false, "0003"},
      {"012345678Z", false, nullptr},  // the member being edited
      {"012345678Z", true, "0001"},
      {"011111111H", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nif);
    const auto h = lookup(c.nif, c.newMember);
    if (c.holder == nullptr) {
      EXPECT_FALSE(h);
    } else {
      ASSERT_TRUE(h);
      EXPECT_EQ(h->numSocio, c.holder);
    }
    EXPECT_EQ(socios.INDEXORD(), 1);
    EXPECT_EQ(socios.RECNO(), 1u);
    EXPECT_EQ(socios.ORDKEYCOUNT(), 1u);  // its scopes are kept
    EXPECT_EQ(ws->currentAlias(), "SOCIOS");
    EXPECT_EQ(ws->aliases(), std::vector<std::string>{"SOCIOS"});
  }
  const Verdict v = checkDocument("087654321X", 1, false, lookup);  // as typed: ten characters
  EXPECT_FALSE(v.ok);
  EXPECT_NE(v.message.find("Ese Número de Documento ya existe. Pertenece al socio:"), std::string::npos) << v.message;
}

}  // namespace
}  // namespace canalix::members
