// A data directory prepared as start-up prepares it (every table created,
// indexed and open shared), with members, parcels and configuration values
// put in as the member tests need them, and a reader that sees the tables as
// another copy of the program would.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/cp1252.h"
#include "store/creafi.h"
#include "store/store_fixture.h"
#include "store/table_engine.h"
#include "store/table_orders.h"
#include "ui/scripted_port.h"

namespace canalix::members::testing {

class MembersDir : public store::testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    ws = std::make_unique<store::Workspace>(dir);
    store::CREAFI(*ws);
    store::INDEXAFI(*ws);
    store::ABREFI(*ws);
  }
  void TearDown() override {
    ws.reset();
    ScratchDir::TearDown();
  }

  // Appends a member with the fields `more` puts; its record number.
  uint32_t addMember(const std::string& numSocio, const std::string& nombre, bool inactivo = false,
                     const std::function<void(store::WorkArea&)>& more = {}) {
    store::WorkArea& s = ws->area("SOCIOS");
    EXPECT_TRUE(s.DBAPPEND());
    s.put("NumSocio", numSocio);
    s.put("Nombre", nombre);
    s.put("Pago", 1.0);
    s.put("IS", 1.0);
    s.put("Inactivo", inactivo);
    if (more) more(s);
    s.DBRUNLOCK();
    s.DBCOMMIT();
    return s.RECNO();
  }
  uint32_t addParcel(const std::string& numparcela, const std::string& numSocio, double superficie) {
    store::WorkArea& p = ws->area("PARCELAS");
    EXPECT_TRUE(p.DBAPPEND());
    p.put("Numparcela", numparcela);
    p.put("NumSocio", numSocio);
    p.put("Superficie", superficie);
    p.DBRUNLOCK();
    p.DBCOMMIT();
    return p.RECNO();
  }
  void setConfig(const std::function<void(store::WorkArea&)>& assign) {
    store::WorkArea& f = ws->area("FRECU2");
    f.DBGOTO(1);
    ASSERT_TRUE(f.RLOCK());
    assign(f);
    f.DBRUNLOCK();
    f.DBCOMMIT();
  }
  // AutoVoto on with the bands of the examples: 1 m2 per unit, first band
  // 100 to 1000 m2 with 1 vote, one more vote per 500 m2 begun.
  void setVoteBands(double desde2m2 = 500) {
    setConfig([&](store::WorkArea& f) {
      f.put("AutoVoto", true);
      f.put("Equim2", 1.0);
      f.put("Desde1m2", 100.0);
      f.put("Hasta1m2", 1000.0);
      f.put("Desde2m2", desde2m2);
      f.put("Votos1", 1.0);
    });
  }

  // A fresh workspace on the directory with `table` open shared, read-only,
  // as another copy of the program sees it.
  struct Reader {
    store::Workspace ws;
    store::WorkArea* area;
    Reader(const std::filesystem::path& dir, const std::string& table) : ws(dir) {
      EXPECT_TRUE(ws.DBUSEAREA(true, table + ".DBF", table, true, true));
      area = &ws.area(table);
      area->DBSETORDER(0);
      area->DBGOTOP();
    }
    // `field` of every live record, in record order.
    std::vector<std::string> column(const std::string& field) {
      std::vector<std::string> values;
      for (area->DBGOTOP(); !area->Eof(); area->DBSKIP()) values.push_back(area->getText(field));
      return values;
    }
    // Goes to the live record whose NumSocio is `numSocio`; false when none is.
    bool member(const std::string& numSocio) {
      for (area->DBGOTOP(); !area->Eof(); area->DBSKIP())
        if (area->getText("NumSocio") == numSocio) return true;
      return false;
    }
  };
  Reader reader(const std::string& table) const { return Reader(dir, table); }

  // UTF-8 of a table text, for comparing with literals of the tests.
  static std::string utf8(const std::string& cp1252) { return output::utf8FromCp1252(cp1252); }

  ui::ScriptedPort port;
  std::unique_ptr<store::Workspace> ws;
};

}  // namespace canalix::members::testing
