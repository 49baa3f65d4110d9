// Parcel records of PARCELAS: the values the parcel dialog edits, its
// validators (VALIDANUMPARCELA, VALIDACONSUMO, VALIDASOCIO), the saving of a
// parcel with the reading dates carried into the configuration record, and
// the bulk reading update of several selected parcels (PARCELASVARIAS).
//
// Plain C++ over the work areas: the screens collect the values and call
// these; every box and tone goes through the UI port, every write through
// the record-lock idiom. Texts of the record are Windows-1252 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "members/identifiers.h"
#include "store/retry_locks.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::members {

inline constexpr std::string_view kParcelNumberTaken = "Ese número de contador/parcela ya existe. Introduzca otro.";
inline constexpr std::string_view kParcelNumberShort = "El número de contador/parcela debe tener cinco dígitos";
// The title of the parcel-number refusals, with its leading blank.
inline constexpr std::string_view kParcelNumberTitle = " ¡¡¡ Atención !!!";
inline constexpr std::string_view kConsumptionWarning = "Por favor repase lecturas, el consumo ha sido de ";
inline constexpr std::string_view kConsumptionTitle = "Aviso";
inline constexpr std::string_view kMemberNotFound = "Socio no encontrado";
inline constexpr std::string_view kHolderChangeTitle = "Cambio de titularidad de parcela";
inline constexpr std::string_view kBulkTitle = "Modificar registros seleccionados";
inline constexpr std::string_view kBulkLockMessage = "No es posible modificar el registro;inténtelo más tarde, por favor.";

// One PARCELAS record as the parcel dialog edits it (every field but Marca).
struct Parcel {
  std::string numSocio = std::string(4, ' ');
  std::string nombre = std::string(45, ' ');
  std::string parcela = std::string(40, ' ');
  double superficie = 0;
  double superfici2 = 0;
  std::string numparcela = std::string(5, ' ');
  std::string contadorId = std::string(20, ' ');
  std::string hidrante = std::string(15, ' ');
  std::array<std::string, 4> observa = {std::string(50, ' '), std::string(50, ' '), std::string(50, ' '),
                                        std::string(50, ' ')};
  store::Date actFecha;
  double actMetros = 0;
  std::string actObserva = std::string(30, ' ');
  store::Date antFecha;
  double antMetros = 0;
  std::string antObserva = std::string(30, ' ');
  double consumo = 0;
  std::string provinciaC = std::string(2, ' ');
  std::string localidadC = std::string(3, ' ');
  std::string poligono = std::string(4, ' ');
  std::string parcelaCa = std::string(10, ' ');
  bool noRecibo = false;
  std::string cuenta = std::string(20, ' ');
};

// The current record of `parcelas`.
Parcel readParcel(const store::WorkArea& parcelas);
// A new parcel of the member `socios` stands on: its number and name, the
// cadastral province and municipality codes of the configuration `frecu2`.
Parcel newParcel(const store::WorkArea& socios, const store::WorkArea& frecu2);
// Mode "2": an empty last-reading date takes the configuration's FechaLec1,
// an empty previous-reading date FechaLec2.
void applyReadingDefaults(Parcel& parcel, const store::WorkArea& frecu2);

// `typed` as a member number: its whole value right-aligned in four characters.
std::string memberNumber(std::string_view typed);

// The parcel-number check, in order: for a new parcel or a changed number, a
// number already held by any parcel (inactive ones included, whatever the
// filter and scope of `parcelas`) is refused; then a trimmed number shorter
// than five characters is refused, whatever came before. `stored` is the
// number the edited parcel has in the table. Searches through an area of its
// own, so `parcelas` keeps its order and record.
std::vector<std::string> parcelNumberRefusals(store::WorkArea& parcelas, std::string_view number, bool isNew,
                                              std::string_view stored);
// The same, each refusal shown as an alert titled kParcelNumberTitle.
bool VALIDANUMPARCELA(store::WorkArea& parcelas, std::string_view number, bool isNew, std::string_view stored,
                      ui::UiPort& ui);

// The consumption warnings of the configuration.
struct ConsumptionLimits {
  bool aviso1 = false;
  double conAviso1 = 0;  // upper bound per surface unit
  bool aviso2 = false;
  double conAviso2 = 0;  // lower bound per surface unit
};
ConsumptionLimits readConsumptionLimits(const store::WorkArea& frecu2);
// The warning text for `consumption`.
std::string consumptionWarning(double consumption);
// Last index minus previous index. Warns (two tones and the box titled
// "Aviso") above conAviso1 x surface when aviso1 is on and below conAviso2 x
// surface when aviso2 is on; the warnings never refuse the entry and a
// negative consumption is kept. Returns the consumption.
double VALIDACONSUMO(double lastIndex, double previousIndex, double surface, const ConsumptionLimits& limits,
                     ui::UiPort& ui);

// The member a parcel is given to.
struct Holder {
  std::string numSocio;  // four characters
  std::string nombre;    // as stored, 45 characters
};
// The confirmation text of a change of holder to `holder`.
std::string holderChangeQuestion(const Holder& holder);
// The change of holder: the typed number, normalised, is looked up on the
// NUMSOCIO order of `socios` among the members it shows (its filter applies);
// not found gives "Socio no encontrado"; found, the yes/no question decides.
// `socios` is put back on its order and record. The holder on yes, else nothing.
std::optional<Holder> VALIDASOCIO(store::WorkArea& socios, std::string_view typed, ui::UiPort& ui);

// Saves `parcel` into PARCELAS of `ws`: appended when `isNew`, otherwise
// over the current record; every field but Marca, the holder number
// normalised. In mode '2' the configuration's FechaLec1 and FechaLec2 then
// take the parcel's reading dates. False (tones and message given, nothing
// written) when the parcel's record cannot be locked; a refused
// configuration lock is reported the same way but the parcel stays saved.
bool saveParcel(ui::UiPort& ui, store::Workspace& ws, const Parcel& parcel, bool isNew, char mode,
                const store::Sleeper& sleep = {});

// The changes of the bulk reading update; each one applies only when set.
struct BulkReadings {
  std::optional<store::Date> date;  // ActFecha; an empty date clears it
  bool sameAsPrevious = false;      // a last index of 0 takes the previous index
  std::optional<std::string> remark;  // ActObserva
};
// The confirmation text of the bulk update.
std::string bulkQuestion();
// Applies `changes` to the records `records` of `parcelas`, in that order,
// after asking (default No) when there is more than one. A record that cannot
// be locked is skipped after the tones and kBulkLockMessage. The area is
// committed and put back on its record. Returns the parcels written, or
// nullopt when the user said no.
std::optional<int> updateSelectedParcels(ui::UiPort& ui, store::WorkArea& parcelas,
                                         const std::vector<uint32_t>& records, const BulkReadings& changes,
                                         const store::Sleeper& sleep = {});

}  // namespace canalix::members
