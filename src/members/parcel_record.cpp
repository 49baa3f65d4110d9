// Parcel records: reading and writing the PARCELAS fields the dialog edits,
// the three validators and the bulk reading update.
#include "members/parcel_record.h"

#include "output/cp1252.h"
#include "output/number_format.h"
#include "output/text_format.h"
#include "ui/record_lock_idiom.h"

namespace canalix::members {
namespace {

constexpr const char* kObserva[] = {"Observa1", "Observa2", "Observa3", "Observa4"};
constexpr int kToneMs = 110;

void twoTones(ui::UiPort& ui) {
  ui.tone(400, kToneMs);
  ui.tone(200, kToneMs);
}

// The configuration record: FRECU2 keeps exactly one.
store::WorkArea& configuration(store::Workspace& ws) {
  store::WorkArea& frecu2 = ws.area("FRECU2");
  if (frecu2.Eof() || frecu2.RECNO() != 1) frecu2.DBGOTO(1);
  return frecu2;
}

void putParcel(store::WorkArea& a, const Parcel& p) {
  a.put("NumSocio", p.numSocio);
  a.put("Nombre", p.nombre);
  a.put("Parcela", p.parcela);
  a.put("Superficie", p.superficie);
  a.put("Superfici2", p.superfici2);
  a.put("Numparcela", p.numparcela);
  a.put("ContadorId", p.contadorId);
  a.put("Hidrante", p.hidrante);
  for (int i = 0; i < 4; ++i) a.put(kObserva[i], p.observa[size_t(i)]);
  a.put("ActFecha", p.actFecha);
  a.put("ActMetros", p.actMetros);
  a.put("ActObserva", p.actObserva);
  a.put("AntFecha", p.antFecha);
  a.put("AntMetros", p.antMetros);
  a.put("AntObserva", p.antObserva);
  a.put("Consumo", p.consumo);
  a.put("ProvinciaC", p.provinciaC);
  a.put("LocalidadC", p.localidadC);
  a.put("Poligono", p.poligono);
  a.put("ParcelaCa", p.parcelaCa);
  a.put("NoRecibo", p.noRecibo);
  a.put("Cuenta", p.cuenta);
}

}  // namespace

Parcel readParcel(const store::WorkArea& a) {
  Parcel p;
  p.numSocio = a.getText("NumSocio");
  p.nombre = a.getText("Nombre");
  p.parcela = a.getText("Parcela");
  p.superficie = a.getNumber("Superficie");
  p.superfici2 = a.getNumber("Superfici2");
  p.numparcela = a.getText("Numparcela");
  p.contadorId = a.getText("ContadorId");
  p.hidrante = a.getText("Hidrante");
  for (int i = 0; i < 4; ++i) p.observa[size_t(i)] = a.getText(kObserva[i]);
  p.actFecha = a.getDate("ActFecha");
  p.actMetros = a.getNumber("ActMetros");
  p.actObserva = a.getText("ActObserva");
  p.antFecha = a.getDate("AntFecha");
  p.antMetros = a.getNumber("AntMetros");
  p.antObserva = a.getText("AntObserva");
  p.consumo = a.getNumber("Consumo");
  p.provinciaC = a.getText("ProvinciaC");
  p.localidadC = a.getText("LocalidadC");
  p.poligono = a.getText("Poligono");
  p.parcelaCa = a.getText("ParcelaCa");
  p.noRecibo = a.getLogical("NoRecibo");
  p.cuenta = a.getText("Cuenta");
  return p;
}

Parcel newParcel(const store::WorkArea& socios, const store::WorkArea& frecu2) {
  Parcel p;
  p.numSocio = socios.getText("NumSocio");
  p.nombre = socios.getText("Nombre");
  p.provinciaC = frecu2.getText("ProvinciaC");
  p.localidadC = frecu2.getText("LocalidadC");
  return p;
}

void applyReadingDefaults(Parcel& parcel, const store::WorkArea& frecu2) {
  if (parcel.actFecha.empty()) parcel.actFecha = frecu2.getDate("FechaLec1");
  if (parcel.antFecha.empty()) parcel.antFecha = frecu2.getDate("FechaLec2");
}

std::string memberNumber(std::string_view typed) {
  return output::STR(output::INT(output::VAL(typed).value), 4);
}

// ---- VALIDANUMPARCELA ------------------------------------------------------

namespace {

// Whether any parcel holds `number`: a private read-only area on the same
// file, so the caller's area keeps its order, scope, filter and record.
bool parcelNumberHeld(store::WorkArea& parcelas, const std::string& number) {
  store::Workspace& ws = parcelas.workspace();
  const std::string alias = "NUM$" + parcelas.alias();
  const std::string current = ws.currentAlias();
  if (!ws.DBUSEAREA(true, parcelas.path().string(), alias, true, true)) {
    if (!current.empty()) ws.select(current);
    return false;
  }
  store::WorkArea& search = ws.area(alias);
  bool held = false;
  const int order = search.orderNumber("NUMPARCELA");
  if (order != 0) {
    search.DBSETORDER(order);
    held = search.DBSEEK(number) && search.getText("Numparcela") == number;
  } else {
    search.DBEVAL([&](store::WorkArea& a) { held = held || a.getText("Numparcela") == number; });
  }
  search.DBCLOSEAREA();
  if (!current.empty()) ws.select(current);
  return held;
}

}  // namespace

std::vector<std::string> parcelNumberRefusals(store::WorkArea& parcelas, std::string_view number, bool isNew,
                                              std::string_view stored) {
  std::vector<std::string> refusals;
  std::string key = output::PADR(number, 5);
  if ((isNew || key != output::PADR(stored, 5)) && parcelNumberHeld(parcelas, key))
    refusals.emplace_back(kParcelNumberTaken);
  if (output::ALLTRIM(number).size() < 5) refusals.emplace_back(kParcelNumberShort);
  return refusals;
}

bool VALIDANUMPARCELA(store::WorkArea& parcelas, std::string_view number, bool isNew, std::string_view stored,
                      ui::UiPort& ui) {
  const std::vector<std::string> refusals = parcelNumberRefusals(parcelas, number, isNew, stored);
  for (const std::string& text : refusals) ui.alert(text, kParcelNumberTitle);
  return refusals.empty();
}

// ---- VALIDACONSUMO ---------------------------------------------------------

ConsumptionLimits readConsumptionLimits(const store::WorkArea& frecu2) {
  return {frecu2.getLogical("Aviso1"), frecu2.getNumber("ConAviso1"), frecu2.getLogical("Aviso2"),
          frecu2.getNumber("ConAviso2")};
}

std::string consumptionWarning(double consumption) {
  // The whole figure: cut to five characters, a consumption of 100000 m3 or
  // more would read as asterisks or as another number.
  return std::string(kConsumptionWarning) + output::ALLTRIM(output::STR(consumption, 10)) + " m3";
}

double VALIDACONSUMO(double lastIndex, double previousIndex, double surface, const ConsumptionLimits& limits,
                     ui::UiPort& ui) {
  const double consumption = lastIndex - previousIndex;
  const bool high = limits.aviso1 && consumption > limits.conAviso1 * surface;
  const bool low = limits.aviso2 && consumption < limits.conAviso2 * surface;
  for (bool warn : {high, low}) {
    if (!warn) continue;
    twoTones(ui);
    ui.alert(consumptionWarning(consumption), kConsumptionTitle);
  }
  return consumption;
}

// ---- VALIDASOCIO -----------------------------------------------------------

std::string holderChangeQuestion(const Holder& holder) {
  return "Atención:\r\n¿ Seguro que quiere asignar esta parcela al socio \r\n\r\n" +
         output::ALLTRIM(holder.numSocio) + " - " + output::utf8FromCp1252(output::ALLTRIM(holder.nombre)) + "  ? ";
}

std::optional<Holder> VALIDASOCIO(store::WorkArea& socios, std::string_view typed, ui::UiPort& ui) {
  const std::string number = memberNumber(typed);
  const int order = socios.INDEXORD();
  const uint32_t recno = socios.RECNO();
  socios.DBSETORDER(socios.orderNumber("NUMSOCIO"));
  std::optional<Holder> found;
  if (socios.DBSEEK(number)) found = Holder{socios.getText("NumSocio"), socios.getText("Nombre")};
  socios.DBSETORDER(order);
  socios.DBGOTO(recno);
  if (!found) {
    ui.alert(kMemberNotFound, kAttentionTitle);
    return std::nullopt;
  }
  if (!ui.yesNo(holderChangeQuestion(*found), kHolderChangeTitle)) return std::nullopt;
  return found;
}

// ---- saving ----------------------------------------------------------------

bool saveParcel(ui::UiPort& ui, store::Workspace& ws, const Parcel& parcel, bool isNew, char mode,
                const store::Sleeper& sleep) {
  Parcel stored = parcel;
  if (!output::ALLTRIM(parcel.numSocio).empty()) stored.numSocio = memberNumber(parcel.numSocio);
  ui::LockRequest request;
  request.append = isNew;
  request.message = isNew ? ui::kAppendMessage : ui::kLockMessage;
  request.sleep = sleep;
  store::WorkArea& parcelas = ws.area("PARCELAS");
  if (!ui::writeRecord(ui, parcelas, [&](store::WorkArea& a) { putParcel(a, stored); }, request)) return false;
  if (mode == '2') {
    ui::LockRequest configRequest;
    configRequest.sleep = sleep;
    ui::writeRecord(ui, configuration(ws), [&](store::WorkArea& a) {
      a.put("FechaLec1", parcel.actFecha);
      a.put("FechaLec2", parcel.antFecha);
    }, configRequest);
  }
  return true;
}

// ---- PARCELASVARIAS --------------------------------------------------------

std::string bulkQuestion() {
  return "¡¡¡ Atención !!! :\r\n\r\n¿ Seguro que quiere modificar todas las parcelas "
         "seleccionadas con los datos señalados ?\r\n ";
}

std::optional<int> updateSelectedParcels(ui::UiPort& ui, store::WorkArea& parcelas,
                                         const std::vector<uint32_t>& records, const BulkReadings& changes,
                                         const store::Sleeper& sleep) {
  if (records.size() > 1 && !ui.yesNo(bulkQuestion(), kBulkTitle, ui::DefaultAnswer::kNo)) return std::nullopt;
  const uint32_t standing = parcelas.RECNO();
  ui::LockRequest request;
  request.message = kBulkLockMessage;
  request.sleep = sleep;
  int written = 0;
  for (uint32_t recno : records) {
    parcelas.DBGOTO(recno);
    if (parcelas.Eof()) continue;
    const bool ok = ui::writeRecord(ui, parcelas, [&](store::WorkArea& a) {
      if (changes.date) a.put("ActFecha", *changes.date);
      // Only a parcel still without its reading takes the previous index.
      if (changes.sameAsPrevious && a.getNumber("ActMetros") == 0) {
        a.put("ActMetros", a.getNumber("AntMetros"));
        a.put("Consumo", 0.0);
      }
      if (changes.remark) a.put("ActObserva", output::PADR(*changes.remark, 30));
    }, request);
    if (ok) ++written;
  }
  parcelas.DBCOMMIT();
  parcelas.DBGOTO(standing);
  return written;
}

}  // namespace canalix::members
