// The member record: defaults, reading, names, votes, numbering and the save.
//
// Every read that must see the whole table (the highest member number, a
// member's parcels, the walk of PONVOTOSATODOS) goes through a work area of
// its own on the table file, so the browser's areas keep their order,
// scopes, filter and record, and inactive members hidden by the browser
// still count.
#include "members/member_record.h"

#include <cmath>
#include <chrono>
#include <functional>
#include <thread>

#include "output/cp1252.h"
#include "output/number_format.h"
#include "output/text_format.h"
#include "ui/record_lock_idiom.h"

namespace canalix::members {
namespace {

using output::ALLTRIM;
using output::PADR;

constexpr int kRetrySeconds = 5;
// An append's write takes a moment, not the half second of the lock retries.
constexpr std::chrono::milliseconds kAppendPoll{20};
constexpr int kAppendPolls = 250;  // 5 seconds
constexpr int kToneMilliseconds = 110;  // the idiom's two clock ticks
constexpr int kFotoWidth = 60;
constexpr int kNumSocioWidth = 4;
constexpr int kVotosWidth = 3;
constexpr int kSurfaceWidth = 7, kSurfaceDecimals = 2;

// A work area of its own on `table` of the workspace, closed again (and the
// current area selected again) when it goes.
class OwnArea {
 public:
  OwnArea(store::Workspace& ws, const std::filesystem::path& file, const std::string& alias, bool readOnly)
      : ws_(ws), current_(ws.currentAlias()), alias_(alias) {
    if (!file.empty() && std::filesystem::exists(file) && ws.DBUSEAREA(true, file.string(), alias, true, readOnly))
      area_ = &ws.area(alias);
    restore();
  }
  OwnArea(const OwnArea&) = delete;
  OwnArea& operator=(const OwnArea&) = delete;
  ~OwnArea() {
    if (area_) area_->DBCLOSEAREA();
    restore();
  }
  store::WorkArea* get() const { return area_; }

 private:
  void restore() {
    if (!current_.empty() && ws_.used(current_)) ws_.select(current_);
  }
  store::Workspace& ws_;
  std::string current_;
  std::string alias_;
  store::WorkArea* area_ = nullptr;
};

// The file of `table`: the one its open area uses, else TABLE.DBF of the data directory.
std::filesystem::path tableFile(store::Workspace& ws, const std::string& table) {
  if (store::WorkArea* area = ws.find(table)) return area->path();
  return ws.resolve(table + ".DBF");
}

long cents(double value) { return std::lround(value * 100.0); }

std::string votesText(long votes) { return output::STR(double(votes), kVotosWidth); }

// Text of `value` for a message, with its decimals.
std::string shown(double value, int decimals) { return ALLTRIM(output::STR(value, 12, decimals)); }

// `form`'s fields into the record `area` stands on (locked).
void putForm(store::WorkArea& area, const MemberForm& f) {
  const auto text = [&](const char* field, const std::string& value) { area.put(field, value); };
  text("NumSocio", f.numSocio);
  area.put("IS", double(f.is));
  text("Nif", f.nif);
  text("Sexo", f.sexo);
  text("Tratami", f.tratami);
  text("Ape1", f.ape1);
  text("Ape2", f.ape2);
  text("Nomb", f.nomb);
  text("Razon", f.razon);
  text("Nombre", f.nombre);
  text("Domicilio", f.domicilio);
  text("Cpostal", f.cpostal);
  text("Localidad", f.localidad);
  text("Provincia", f.provincia);
  text("Telefono1", f.telefono1);
  text("Telefono2", f.telefono2);
  text("Fax", f.fax);
  text("Foto", f.foto);
  text("Email", f.email);
  for (int i = 0; i < 4; ++i) text(("Observa" + std::to_string(i + 1)).c_str(), f.observa[size_t(i)]);
  text("Cuenta", f.cuenta);
  area.put("Pago", double(f.pago));
  area.put("Inactivo", f.inactivo);
  text("Votos", f.votos);
  area.put("Superficie", f.superficie);
}

// Walks the live records of SOCIOS (all of them: no filter, deleted ones left out by the engine).
void forEachMember(store::WorkArea& socios, const std::function<void(store::WorkArea&)>& action) {
  OwnArea own(socios.workspace(), socios.path(), "NUM$" + socios.alias(), true);
  store::WorkArea* all = own.get();
  if (!all) return;
  all->DBSETORDER(0);
  for (all->DBGOTOP(); !all->Eof(); all->DBSKIP()) action(*all);
}

// Whether a live member other than record `recno` with a lower record number
// holds `numSocio`: the earlier of two copies numbering at once keeps it.
bool takenEarlier(store::WorkArea& socios, const std::string& numSocio, uint32_t recno) {
  bool taken = false;
  forEachMember(socios, [&](store::WorkArea& m) {
    if (m.RECNO() < recno && m.getText("NumSocio") == numSocio) taken = true;
  });
  return taken;
}

// Waits (5 seconds at most) while a live record before `recno` still has a
// blank number and is locked by another copy: a member being appended whose
// number is not yet written, which the number taken here must count.
void waitForEarlierAppends(store::WorkArea& socios, uint32_t recno, const store::Sleeper& sleep) {
  OwnArea own(socios.workspace(), socios.path(), "APP$" + socios.alias(), false);
  store::WorkArea* all = own.get();
  if (!all) return;
  all->DBSETORDER(0);
  const auto pendingBefore = [&] {
    for (all->DBGOTOP(); !all->Eof() && all->RECNO() < recno; all->DBSKIP()) {
      if (!ALLTRIM(all->getText("NumSocio")).empty()) continue;
      if (!all->RLOCK()) return true;
      all->DBRUNLOCK();
    }
    return false;
  };
  for (int polls = 0; pendingBefore() && polls < kAppendPolls; ++polls) {
    if (sleep) {
      sleep(kAppendPoll);
    } else {
      std::this_thread::sleep_for(kAppendPoll);
    }
  }
}

void twoTones(ui::UiPort& ui) {
  ui.tone(400, kToneMilliseconds);
  ui.tone(200, kToneMilliseconds);
}

}  // namespace

VoteRule readVoteRule(store::Workspace& ws) {
  VoteRule rule;
  OwnArea own(ws, tableFile(ws, "FRECU2"), "VOT$FRECU2", true);
  store::WorkArea* c = own.get();
  if (!c) return rule;
  c->DBGOTOP();
  if (c->Eof()) return rule;
  rule.autoVoto = c->getLogical("AutoVoto");
  rule.equim2 = c->getNumber("Equim2");
  rule.desde1m2 = c->getNumber("Desde1m2");
  rule.hasta1m2 = c->getNumber("Hasta1m2");
  rule.desde2m2 = c->getNumber("Desde2m2");
  rule.votos1 = int(c->getNumber("Votos1"));
  return rule;
}

long votesFor(double m, const VoteRule& rule) {
  const double d1 = rule.desde1m2, h1 = rule.hasta1m2;
  if (m < d1) return 0;
  if (m > d1 - 1 && m < h1 + 1) return rule.votos1;
  if (m > h1) {
    // A quotient held in binary a hair above a whole number is that number.
    const double q = output::safeDiv(m - h1, rule.desde2m2);
    return rule.votos1 + long(std::ceil(output::ROUND(q, 9)));
  }
  return 0;
}

VotesSurface memberVotesSurface(store::Workspace& ws, std::string_view numSocio, const VoteRule& rule) {
  VotesSurface result;
  const std::string holder = ALLTRIM(numSocio);
  OwnArea own(ws, tableFile(ws, "PARCELAS"), "VOT$PARCELAS", true);
  if (store::WorkArea* p = own.get(); p && !holder.empty()) {
    long sum = 0;
    p->DBSETORDER(0);
    for (p->DBGOTOP(); !p->Eof(); p->DBSKIP()) {
      if (ALLTRIM(p->getText("NumSocio")) != holder) continue;
      result.hasParcels = true;
      sum += cents(p->getNumber("Superficie"));
    }
    result.surface = double(sum) / 100.0;
  }
  result.votes = votesFor(output::ROUND(result.surface * rule.equim2, 4), rule);
  result.votos = votesText(result.votes);
  return result;
}

MemberForm newMemberForm(store::Workspace& ws) {
  MemberForm f;
  f.numSocio = std::string(kNumSocioWidth, ' ');
  f.foto = PADR("FOTO.BMP", kFotoWidth);
  f.votos = std::string(kVotosWidth, ' ');
  OwnArea own(ws, tableFile(ws, "FRECU2"), "NEW$FRECU2", true);
  if (store::WorkArea* c = own.get()) {
    c->DBGOTOP();
    f.cpostal = c->getText("Cpostal");
    f.localidad = c->getText("Localidad");
    f.provincia = c->getText("Provincia");
  }
  return f;
}

MemberForm readMemberForm(const store::WorkArea& s) {
  MemberForm f;
  f.numSocio = s.getText("NumSocio");
  f.is = int(s.getNumber("IS"));
  f.nif = s.getText("Nif");
  f.sexo = s.getText("Sexo");
  f.tratami = s.getText("Tratami");
  f.ape1 = s.getText("Ape1");
  f.ape2 = s.getText("Ape2");
  f.nomb = s.getText("Nomb");
  f.razon = s.getText("Razon");
  f.nombre = s.getText("Nombre");
  f.domicilio = s.getText("Domicilio");
  f.cpostal = s.getText("Cpostal");
  f.localidad = s.getText("Localidad");
  f.provincia = s.getText("Provincia");
  f.telefono1 = s.getText("Telefono1");
  f.telefono2 = s.getText("Telefono2");
  f.fax = s.getText("Fax");
  f.foto = s.getText("Foto");
  f.email = s.getText("Email");
  for (int i = 0; i < 4; ++i) f.observa[size_t(i)] = s.getText("Observa" + std::to_string(i + 1));
  f.cuenta = s.getText("Cuenta");
  f.pago = int(s.getNumber("Pago"));
  f.inactivo = s.getLogical("Inactivo");
  f.votos = s.getText("Votos");
  f.superficie = s.getNumber("Superficie");
  return f;
}

void applyVotesOnOpen(store::Workspace& ws, MemberForm& form, const VoteRule& rule) {
  if (!rule.autoVoto) return;
  const VotesSurface vs = memberVotesSurface(ws, form.numSocio, rule);
  if (!vs.hasParcels) return;
  form.votos = vs.votos;
  form.superficie = vs.surface;
}

void deriveNames(MemberForm& f) {
  if (f.sexo == "E") {
    f.ape1 = f.ape2 = f.nomb = std::string(15, ' ');
    f.nombre = PADR(f.razon, 45);
  } else {
    f.razon = std::string(45, ' ');
    f.nombre = PADR(ALLTRIM(f.ape1) + " " + ALLTRIM(f.ape2) + " " + ALLTRIM(f.nomb), 45);
  }
  f.tratami = f.sexo == "H" ? PADR("Sr. Don", 9) : f.sexo == "M" ? PADR("Sra. Do\xF1" "a", 9) : std::string(9, ' ');
}

Verdict checkVotesSurface(const MemberForm& f) {
  if (!output::fitsWidth(f.superficie, kSurfaceWidth, kSurfaceDecimals))
    return {false, "La superficie del socio (" + shown(f.superficie, kSurfaceDecimals) +
                       ") no cabe en el campo Superficie, que admite como máximo 9999.99."};
  if (f.votos.size() > size_t(kVotosWidth))
    return {false, "Los votos del socio (" + ALLTRIM(f.votos) +
                       ") no caben en el campo Votos, que admite como máximo 999."};
  return {};
}

std::string nextMemberNumber(store::WorkArea& socios) {
  double highest = 0;
  forEachMember(socios, [&](store::WorkArea& m) {
    highest = std::max(highest, output::VAL(m.getText("NumSocio")).value);
  });
  const double next = std::floor(highest) + 1;
  if (!output::fitsWidth(next, kNumSocioWidth, 0)) return {};
  return output::STR(next, kNumSocioWidth);
}

bool saveMember(ui::UiPort& ui, store::Workspace& ws, MemberForm& form, bool isNew, const store::Sleeper& sleep) {
  const Verdict fits = checkVotesSurface(form);
  if (!showVerdict(fits, ui)) return false;
  deriveNames(form);
  store::WorkArea& socios = ws.area("SOCIOS");
  bool full = false;
  // A new member takes its number once its record exists and every member
  // appended before it has its number: a copy appending later waits for it.
  const auto assign = [&](store::WorkArea& area) {
    if (isNew) {
      waitForEarlierAppends(area, area.RECNO(), sleep);
      form.numSocio = nextMemberNumber(area);
      if (form.numSocio.empty()) {
        full = true;
        form.numSocio = std::string(kNumSocioWidth, ' ');
      }
    }
    putForm(area, form);
  };
  ui::LockRequest request;
  request.append = isNew;
  request.message = isNew ? ui::kAppendMessage : ui::kLockMessage;
  request.sleep = sleep;
  if (!ui::writeRecord(ui, socios, assign, request)) return false;
  if (!isNew) return true;
  if (full) {
    // Four characters hold no more members: the blank record goes again.
    ui::writeRecord(ui, socios, [](store::WorkArea& a) { a.DBDELETE(); }, {.sleep = sleep});
    ui.alert("No caben más socios: el número de socio tiene cuatro cifras.", kAttentionTitle);
    return false;
  }
  // A copy that kept its record longer than the wait, or numbers without
  // waiting, may still have taken the same number: the later record moves on.
  const uint32_t mine = socios.RECNO();
  while (takenEarlier(socios, form.numSocio, mine)) {
    const std::string next = nextMemberNumber(socios);
    if (next.empty()) break;
    form.numSocio = next;
    if (!ui::writeRecord(ui, socios, [&](store::WorkArea& a) { a.put("NumSocio", form.numSocio); }, {.sleep = sleep}))
      return false;
  }
  return true;
}

PhotoPath photoPathFor(const std::filesystem::path& chosen, const std::filesystem::path& dataDir) {
  std::error_code ec;
  std::filesystem::path stored = chosen;
  const std::filesystem::path inData = std::filesystem::relative(chosen, dataDir, ec);
  if (!ec && !inData.empty() && *inData.begin() != "..") stored = inData;
  const std::string utf8 = stored.string();
  const std::string text = output::cp1252FromUtf8(utf8);
  if (output::utf8FromCp1252(text) != utf8)
    return {{false, "La ruta de la fotografía tiene caracteres que no pueden guardarse:\r\n" + utf8}, {}};
  if (text.size() > size_t(kFotoWidth))
    return {{false, "La ruta de la fotografía no cabe en el campo Foto (" + std::to_string(kFotoWidth) +
                        " caracteres como máximo):\r\n" + utf8},
            {}};
  return {{}, PADR(text, kFotoWidth)};
}

std::optional<std::filesystem::path> photoFile(std::string_view foto, const std::filesystem::path& dataDir) {
  const std::string name = output::utf8FromCp1252(ALLTRIM(foto));
  if (name.empty()) return std::nullopt;
  std::filesystem::path path(name);
  std::error_code ec;
  if (path.is_relative()) {
    if (std::filesystem::is_regular_file(dataDir / path, ec)) return dataDir / path;
    // Names are found without regard to case when the exact one is absent.
    if (path.has_parent_path()) return std::nullopt;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir, ec))
      if (output::UPPER(entry.path().filename().string()) == output::UPPER(name) && entry.is_regular_file(ec))
        return entry.path();
    return std::nullopt;
  }
  if (std::filesystem::is_regular_file(path, ec)) return path;
  return std::nullopt;
}

int PONVOTOSATODOS(ui::UiPort& ui, store::Workspace& ws, const store::Sleeper& sleep) {
  const VoteRule rule = readVoteRule(ws);
  if (!rule.autoVoto) return 0;
  store::WorkArea& socios = ws.area("SOCIOS");
  OwnArea own(ws, socios.path(), "VOT$SOCIOS", false);
  store::WorkArea* all = own.get();
  if (!all) return 0;
  all->DBSETORDER(socios.INDEXORD());
  int written = 0;
  for (all->DBGOTOP(); !all->Eof(); all->DBSKIP()) {
    MemberForm f;
    f.numSocio = all->getText("NumSocio");
    const VotesSurface vs = memberVotesSurface(ws, f.numSocio, rule);
    f.votos = vs.hasParcels ? vs.votos : std::string(kVotosWidth, ' ');
    f.superficie = vs.hasParcels ? vs.surface : 0.0;
    if (const Verdict fits = checkVotesSurface(f); !fits.ok) {
      ui.alert("Socio " + output::utf8FromCp1252(ALLTRIM(f.numSocio) + " - " + ALLTRIM(all->getText("Nombre"))) +
                   ":\r\n" + fits.message + "\r\nSus votos y superficie se dejan como estaban.",
               kAttentionTitle);
      continue;
    }
    if (!store::RECLOCK(*all, kRetrySeconds, sleep)) {
      twoTones(ui);
      continue;
    }
    all->put("Votos", f.votos);
    all->put("Superficie", f.superficie);
    all->DBRUNLOCK();
    all->DBCOMMIT();
    ++written;
  }
  return written;
}

bool askPONVOTOSATODOS(ui::UiPort& ui, store::Workspace& ws) {
  if (!readVoteRule(ws).autoVoto) {
    ui.info("El cálculo automático de votos no está activado en la configuración.", kAttentionTitle);
    return false;
  }
  if (!ui.yesNo("¿Desea calcular de nuevo los votos y la superficie de todos los socios a partir de sus parcelas?",
                kAttentionTitle, ui::DefaultAnswer::kNo))
    return false;
  const int written = PONVOTOSATODOS(ui, ws);
  ui.notice("Votos y superficie calculados de nuevo en " + std::to_string(written) + " socios.");
  return true;
}

}  // namespace canalix::members
