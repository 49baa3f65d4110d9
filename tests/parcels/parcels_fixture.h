// A data directory prepared as start-up prepares it (every table created,
// indexed and open shared), with helpers that add members and parcels the
// way the tests need them and read the tables back through a second
// workspace, as another copy of the program would.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/creafi.h"
#include "store/store_fixture.h"
#include "store/table_engine.h"
#include "store/table_orders.h"
#include "ui/scripted_port.h"

namespace canalix::members::testing {

class ParcelsDir : public store::testing::ScratchDir {
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

  // Appends a member; its record number.
  uint32_t addMember(const std::string& numSocio, const std::string& nombre, int pago = 1, bool inactivo = false) {
    store::WorkArea& s = ws->area("SOCIOS");
    EXPECT_TRUE(s.DBAPPEND());
    s.put("NumSocio", numSocio);
    s.put("Nombre", nombre);
    s.put("Pago", double(pago));
    s.put("Inactivo", inactivo);
    s.DBRUNLOCK();
    s.DBCOMMIT();
    return s.RECNO();
  }
  // Appends a parcel; its record number.
  uint32_t addParcel(const std::string& numparcela, const std::string& numSocio, double act = 0, double ant = 0,
                     bool noRecibo = false) {
    store::WorkArea& p = ws->area("PARCELAS");
    EXPECT_TRUE(p.DBAPPEND());
    p.put("Numparcela", numparcela);
    p.put("NumSocio", numSocio);
    p.put("ActMetros", act);
    p.put("AntMetros", ant);
    p.put("Consumo", act - ant);
    p.put("NoRecibo", noRecibo);
    p.DBRUNLOCK();
    p.DBCOMMIT();
    return p.RECNO();
  }
  // Sets fields of the configuration record.
  void setConfig(const std::function<void(store::WorkArea&)>& assign) {
    store::WorkArea& f = ws->area("FRECU2");
    f.DBGOTO(1);
    ASSERT_TRUE(f.RLOCK());
    assign(f);
    f.DBRUNLOCK();
    f.DBCOMMIT();
  }

  // A fresh workspace on the directory with `table` open shared and standing
  // on record `recno`, for reading what was written.
  struct Reader {
    store::Workspace ws;
    store::WorkArea* area;
    Reader(const std::filesystem::path& dir, const std::string& table, uint32_t recno) : ws(dir) {
      EXPECT_TRUE(ws.DBUSEAREA(true, table + ".DBF", table, true, true));
      area = &ws.area(table);
      area->DBGOTO(recno);
    }
    store::WorkArea* operator->() { return area; }
  };
  Reader read(const std::string& table, uint32_t recno) const { return Reader(dir, table, recno); }

  std::unique_ptr<store::Workspace> ws;
  ui::ScriptedPort port;
};

}  // namespace canalix::members::testing
