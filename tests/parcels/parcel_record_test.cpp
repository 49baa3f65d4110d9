// The parcel operations without a window: the parcel-number check, the
// consumption warnings, the change of holder, saving with the reading dates
// carried into the configuration, and the bulk reading update.
#include "members/parcel_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/child_process.h"
#include "output/text_format.h"
#include "parcels_fixture.h"
#include "store/retry_locks.h"

namespace canalix::members {
namespace {

using ParcelRecordTest = testing::ParcelsDir;

TEST_F(ParcelRecordTest, ParcelNumberCheck) {
  addMember("   1", "RUIZ PEREZ ANA");
  addParcel("10001", "   1");
  addParcel("10002", "   1", 0, 0, /*noRecibo=*/true);
  addParcel("777  ", "   1");  // a short number left by older data
  // The screen's area hides inactive parcels and stands on the first parcel
  // on another order: the check must see through the filter and leave it.
  store::WorkArea& parcelas = ws->area("PARCELAS");
  parcelas.DBSETFILTER([](store::WorkArea& a) { return !a.getLogical("NoRecibo"); }, "!NoRecibo");
  parcelas.DBSETORDER(parcelas.orderNumber("NOMBRE"));
  parcelas.DBGOTO(1);

  struct Case {
    const char* number;
    bool isNew;
    const char* stored;
    std::vector<std::string> refusals;
  };
  const std::string taken(kParcelNumberTaken), shortNumber(kParcelNumberShort);
  const std::vector<Case> cases = {
      {"20001", true, "     ", {}},
      {"1234 ", true, "     ", {shortNumber}},          // not a duplicate, still refused
      {" 1234", true, "     ", {shortNumber}},          // the blanks do not count
      {"10002", true, "     ", {taken}},                // held by an inactive parcel
      {"10001", false, "10001", {}},                    // re-saving with its own number
      {"10001", false, "10003", {taken}},               // changed to a held number
      {"777  ", true, "     ", {taken, shortNumber}},   // both, in that order
      {"     ", true, "     ", {shortNumber}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    port.clear();
    EXPECT_EQ(VALIDANUMPARCELA(parcelas, c.number, c.isNew, c.stored, port), c.refusals.empty());
    ASSERT_EQ(port.calls().size(), c.refusals.size()) << port.dump();
    for (size_t i = 0; i < c.refusals.size(); ++i) {
      EXPECT_EQ(port.calls()[i].kind, ui::CallKind::kAlert);
      EXPECT_EQ(port.calls()[i].title, " ¡¡¡ Atención !!!");
      EXPECT_EQ(port.calls()[i].text, c.refusals[i]);
    }
    EXPECT_EQ(parcelas.RECNO(), 1u);
    EXPECT_EQ(parcelas.INDEXORD(), parcelas.orderNumber("NOMBRE"));
    EXPECT_EQ(parcelas.filterText(), "!NoRecibo");
  }
}

TEST_F(ParcelRecordTest, ConsumptionIsComputedAndWarnedNeverRefused) {
  struct Case {
    double last, previous, surface;
    ConsumptionLimits limits;
    double consumption;
    const char* warning;  // empty when none
  };
  const std::vector<Case> cases = {
      {1500, 1200, 2.0, {true, 100, false, 0}, 300, "Por favor repase lecturas, el consumo ha sido de 300 m3"},
      {1500, 1200, 3.0, {true, 100, false, 0}, 300, ""},  // 300 is the bound: not above it
      {1500, 1200, 2.0, {false, 100, false, 0}, 300, ""},
      {1250, 1200, 2.0, {false, 0, true, 50}, 50, "Por favor repase lecturas, el consumo ha sido de 50 m3"},
      // A meter set back: accepted as it stands, and below any lower bound.
      {100, 900, 1.0, {false, 0, true, 1}, -800, "Por favor repase lecturas, el consumo ha sido de -800 m3"},
      // The whole figure, however large.
      {250000, 0, 1.0, {true, 10, false, 0}, 250000,
       "Por favor repase lecturas, el consumo ha sido de 250000 m3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.consumption);
    port.clear();
    EXPECT_EQ(VALIDACONSUMO(c.last, c.previous, c.surface, c.limits, port), c.consumption);
    if (std::string(c.warning).empty()) {
      EXPECT_TRUE(port.calls().empty()) << port.dump();
      continue;
    }
    EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200}));
    const auto alerts = port.callsOf(ui::CallKind::kAlert);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, "Aviso");
    EXPECT_EQ(alerts[0].text, c.warning);
  }
}

TEST_F(ParcelRecordTest, LimitsAreReadFromTheConfiguration) {
  setConfig([](store::WorkArea& f) {
    f.put("Aviso1", true);
    f.put("ConAviso1", 100.0);
    f.put("Aviso2", true);
    f.put("ConAviso2", 5.0);
  });
  const ConsumptionLimits l = readConsumptionLimits(ws->area("FRECU2"));
  EXPECT_TRUE(l.aviso1);
  EXPECT_EQ(l.conAviso1, 100);
  EXPECT_TRUE(l.aviso2);
  EXPECT_EQ(l.conAviso2, 5);
}

TEST_F(ParcelRecordTest, ChangeOfHolderAmongTheMembersShown) {
  addMember("   1", "RUIZ PEREZ ANA");
  addMember("  12", "MU\xd1OZ GIL LUIS");  // table text is Windows-1252
  addMember("  13", "BAJA SANZ EVA", 1, /*inactivo=*/true);
  store::WorkArea& socios = ws->area("SOCIOS");
  socios.DBSETFILTER([](store::WorkArea& a) { return !a.getLogical("Inactivo"); }, "!Inactivo");
  socios.DBSETORDER(socios.orderNumber("NOMBRE"));
  socios.DBGOTO(1);

  port.answer(true);
  auto holder = VALIDASOCIO(socios, "12", port);
  ASSERT_TRUE(holder);
  EXPECT_EQ(holder->numSocio, "  12");
  EXPECT_EQ(output::RTRIM(holder->nombre), "MU\xd1OZ GIL LUIS");
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].title, "Cambio de titularidad de parcela");
  EXPECT_EQ(port.calls()[0].text,
            "Atención:\r\n¿ Seguro que quiere asignar esta parcela al socio \r\n\r\n12 - MUÑOZ GIL LUIS  ? ");
  EXPECT_EQ(socios.RECNO(), 1u);
  EXPECT_EQ(socios.INDEXORD(), socios.orderNumber("NOMBRE"));

  port.clear();
  port.answer(false);
  EXPECT_FALSE(VALIDASOCIO(socios, "  12", port));

  // A hidden inactive member and a number nobody has are not found.
  for (const char* typed : {"13", "99", "abc"}) {
    port.clear();
    EXPECT_FALSE(VALIDASOCIO(socios, typed, port)) << typed;
    ASSERT_EQ(port.calls().size(), 1u);
    EXPECT_EQ(port.calls()[0].text, "Socio no encontrado");
    EXPECT_EQ(port.calls()[0].title, "¡¡¡ Atención !!!");
  }
  // Shown, the inactive member can take the parcel.
  socios.DBCLEARFILTER();
  port.clear();
  port.answer(true);
  EXPECT_TRUE(VALIDASOCIO(socios, "13", port));
}

TEST_F(ParcelRecordTest, MemberNumberFormat) {
  EXPECT_EQ(memberNumber("12"), "  12");
  EXPECT_EQ(memberNumber("  12"), "  12");
  EXPECT_EQ(memberNumber("0012"), "  12");
  EXPECT_EQ(memberNumber("1234"), "1234");
}

TEST_F(ParcelRecordTest, SavingNewAndEditedParcels) {
  addMember("   7", "RUIZ PEREZ ANA", 2);
  setConfig([](store::WorkArea& f) {
    f.put("ProvinciaC", std::string("18"));
    f.put("LocalidadC", std::string("140"));
  });
  Parcel p = newParcel(ws->area("SOCIOS"), ws->area("FRECU2"));
  EXPECT_EQ(p.numSocio, "   7");
  EXPECT_EQ(p.provinciaC, "18");
  EXPECT_EQ(p.localidadC, "140");
  p.numparcela = "00042";
  p.parcela = output::PADR("EL OLIVAR", 40);
  p.superficie = 2.5;
  p.cuenta = "21000418450200051332";
  ASSERT_TRUE(saveParcel(port, *ws, p, true, '1'));
  {
    auto r = read("PARCELAS", 1);
    EXPECT_EQ(r->LASTREC(), 1u);
    EXPECT_EQ(r->getText("Numparcela"), "00042");
    EXPECT_EQ(r->getText("NumSocio"), "   7");
    EXPECT_EQ(output::RTRIM(r->getText("Nombre")), "RUIZ PEREZ ANA");
    EXPECT_EQ(r->getNumber("Superficie"), 2.5);
    EXPECT_EQ(r->getText("Cuenta"), "21000418450200051332");
    EXPECT_EQ(r->getText("LocalidadC"), "140");
  }

  // Mode "2": the reading dates go into the configuration as well.
  store::WorkArea& parcelas = ws->area("PARCELAS");
  parcelas.DBGOTO(1);
  p = readParcel(parcelas);
  p.actFecha = store::makeDate(2014, 6, 30);
  p.antFecha = store::makeDate(2014, 3, 31);
  p.actMetros = 1500;
  p.antMetros = 1200;
  p.consumo = 300;
  ASSERT_TRUE(saveParcel(port, *ws, p, false, '2'));
  EXPECT_TRUE(port.calls().empty()) << port.dump();
  auto r = read("PARCELAS", 1);
  EXPECT_EQ(r->LASTREC(), 1u);
  EXPECT_EQ(r->getNumber("Consumo"), 300);
  EXPECT_EQ(r->getDate("ActFecha"), store::makeDate(2014, 6, 30));
  auto f = read("FRECU2", 1);
  EXPECT_EQ(f->getDate("FechaLec1"), store::makeDate(2014, 6, 30));
  EXPECT_EQ(f->getDate("FechaLec2"), store::makeDate(2014, 3, 31));

  // The defaults of mode "2" for a parcel without reading dates.
  Parcel blank;
  applyReadingDefaults(blank, ws->area("FRECU2"));
  EXPECT_EQ(blank.actFecha, store::makeDate(2014, 6, 30));
  EXPECT_EQ(blank.antFecha, store::makeDate(2014, 3, 31));
}

TEST_F(ParcelRecordTest, BulkUpdateTakesThePreviousIndexOnlyForAZeroIndex) {
  addParcel("00001", "   1", 0, 845);
  addParcel("00002", "   1", 900, 700);
  addParcel("00003", "   1", 0, 0);
  store::WorkArea& parcelas = ws->area("PARCELAS");
  parcelas.DBGOTO(3);

  BulkReadings changes;
  changes.date = store::makeDate(2014, 9, 30);
  changes.sameAsPrevious = true;
  changes.remark = "LECTURA ESTIMADA";
  // "No" writes nothing.
  port.answer(false);
  EXPECT_EQ(updateSelectedParcels(port, parcelas, {1, 2}, changes), std::nullopt);
  EXPECT_EQ(read("PARCELAS", 1)->getNumber("ActMetros"), 0);
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_EQ(port.calls()[0].title, "Modificar registros seleccionados");
  EXPECT_EQ(port.calls()[0].text,
            "¡¡¡ Atención !!! :\r\n\r\n¿ Seguro que quiere modificar todas las parcelas seleccionadas con los "
            "datos señalados ?\r\n ");
  EXPECT_EQ(port.calls()[0].defaultAnswer, ui::DefaultAnswer::kNo);

  port.clear();
  port.answer(true);
  EXPECT_EQ(updateSelectedParcels(port, parcelas, {1, 2}, changes), 2);
  EXPECT_EQ(parcelas.RECNO(), 3u);
  struct Expect {
    uint32_t recno;
    double act, consumo;
  };
  for (const Expect& e : {Expect{1, 845, 0}, Expect{2, 900, 200}}) {
    auto r = read("PARCELAS", e.recno);
    EXPECT_EQ(r->getNumber("ActMetros"), e.act) << e.recno;
    EXPECT_EQ(r->getNumber("Consumo"), e.consumo) << e.recno;
    EXPECT_EQ(r->getDate("ActFecha"), store::makeDate(2014, 9, 30));
    EXPECT_EQ(r->getText("ActObserva"), output::PADR("LECTURA ESTIMADA", 30));
  }
  // Untouched, and an empty date clears the date.
  EXPECT_EQ(read("PARCELAS", 3)->getDate("ActFecha"), store::Date{});
  port.clear();
  BulkReadings clear;
  clear.date = store::Date{};
  EXPECT_EQ(updateSelectedParcels(port, parcelas, {1}, clear), 1);  // one parcel: nothing asked
  EXPECT_TRUE(port.calls().empty());
  EXPECT_TRUE(read("PARCELAS", 1)->getDate("ActFecha").empty());
  EXPECT_EQ(read("PARCELAS", 1)->getText("ActObserva"), output::PADR("LECTURA ESTIMADA", 30));
}

TEST_F(ParcelRecordTest, BulkUpdateSkipsAParcelAnotherCopyHolds) {
  addParcel("00001", "   1", 0, 845);
  addParcel("00002", "   1", 0, 300);
  const std::filesystem::path d = dir;
  canalix::testing::Child other([d](canalix::testing::Child& self) {
    store::Workspace w(d);
    if (!w.DBUSEAREA(true, "PARCELAS.DBF", "PARCELAS", true)) return 1;
    w.area("PARCELAS").DBGOTO(2);
    if (!w.area("PARCELAS").RLOCK()) return 2;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  BulkReadings changes;
  changes.sameAsPrevious = true;
  port.answer(true);
  int waits = 0;
  EXPECT_EQ(updateSelectedParcels(port, ws->area("PARCELAS"), {1, 2}, changes, [&](auto) { ++waits; }), 1);
  EXPECT_EQ(waits, 10);  // five seconds of retries, counted rather than slept
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
  EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200}));
  const auto infos = port.callsOf(ui::CallKind::kInfo);
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].text, "No es posible modificar el registro;inténtelo más tarde, por favor.");
  EXPECT_EQ(read("PARCELAS", 1)->getNumber("ActMetros"), 845);
  EXPECT_EQ(read("PARCELAS", 2)->getNumber("ActMetros"), 0);
}

}  // namespace
}  // namespace canalix::members
