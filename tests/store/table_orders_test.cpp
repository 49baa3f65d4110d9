// The order table over the real catalogue: every tag builds with the key
// length its stored text gives, INDEXAFI builds only the missing index files,
// ABREFI opens the tables on order 1 with SOCIOS current.
#include "store/table_orders.h"

#include <gtest/gtest.h>

#include "store/catalogue.h"
#include "store/creafi.h"
#include "store/work_area_state.h"
#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

class TableOrdersTest : public ScratchDir {};

TEST_F(TableOrdersTest, IndexafiBuildsEveryMissingIndexWithItsTags) {
  Workspace ws(dir);
  CREAFI(ws);
  EXPECT_EQ(INDEXAFI(ws).built, (std::vector<std::string>{"SOCIOS", "PARCELAS", "RECIBOS", "USUARIOS", "ACCESOS", "BIC",
                                                     "GASTOS", "CODIGOS", "CONCEPTO", "CAJA", "ARQUEO"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "FRECU2.CDX"));
  EXPECT_FALSE(std::filesystem::exists(dir / "CONTROL.CDX"));
  // Key lengths as the order table gives them.
  struct Case {
    const char* table;
    int order;
    const char* tag;
    int keyLength;
    bool descending;
  } cases[] = {
      {"SOCIOS", 4, "LOCALIDAD", 70, false}, {"SOCIOS", 5, "PAGO", 1, true},     {"PARCELAS", 5, "SUPERFICIE", 7, true},
      {"PARCELAS", 8, "HIDRANTE", 60, false}, {"RECIBOS", 1, "NUMPARCELA", 11, true}, {"RECIBOS", 9, "ANO8", 13, false},
      {"RECIBOS", 10, "ANO9", 14, false},    {"RECIBOS", 11, "RECIPEN", 15, false}, {"USUARIOS", 1, "CLAVE", 10, false},
      {"ACCESOS", 1, "FECHA", 8, true},      {"GASTOS", 3, "GASTOS3", 15, false}, {"CAJA", 1, "FECHA", 8, true},
      {"CAJA", 2, "FECHA2", 8, false},       {"ARQUEO", 1, "FECHA", 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " " + c.tag);
    int rc = 0;
    FileLayer env;
    auto index = CdxFile::open(env, dir / (std::string(c.table) + ".CDX"), true, rc);
    ASSERT_TRUE(index);
    const CdxTag& t = index->tags().at(size_t(c.order - 1));
    EXPECT_EQ(t.name, c.tag);
    EXPECT_EQ(t.keyLength, c.keyLength);
    EXPECT_EQ(t.descending, c.descending);
    EXPECT_EQ(t.forExpression, "!DELETED()");
    EXPECT_EQ(index->tags().size(), tableOrders(c.table).size());
  }
  // Index files that exist are left alone.
  const std::string before = bytes("SOCIOS.CDX");
  std::filesystem::remove(dir / "BIC.CDX");
  EXPECT_EQ(INDEXAFI(ws).built, std::vector<std::string>{"BIC"});
  EXPECT_EQ(bytes("SOCIOS.CDX"), before);
}

TEST_F(TableOrdersTest, AbrefiOpensEveryTableSharedOnItsFirstOrder) {
  Workspace ws(dir);
  CREAFI(ws);
  INDEXAFI(ws);
  ABREFI(ws);
  EXPECT_EQ(ws.currentAlias(), "SOCIOS");
  EXPECT_EQ(ws.aliases().size(), 12u);
  EXPECT_FALSE(ws.used("CONTROL"));
  for (const std::string& alias : ws.aliases()) {
    WorkArea& a = ws.area(alias);
    EXPECT_TRUE(a.shared()) << alias;
    EXPECT_EQ(a.INDEXORD(), alias == "FRECU2" ? 0 : 1) << alias;
  }
  EXPECT_TRUE(ws.area("USUARIOS").DBSEEK(std::string("TORVELA")));
  EXPECT_EQ(ws.area("FRECU2").RECNO(), 1u);
}

}  // namespace
}  // namespace canalix::store
