// The member record of SOCIOS as the member dialog edits it: the values of a
// new member, the reading of a stored one, the member number of a new
// member, the full name and form of address, the votes and surface derived
// from the member's parcels (AutoVoto), and the save under the record-lock
// idiom. Also PONVOTOSATODOS, the recomputation of every member's votes.
//
// Texts are table text (Windows-1252), blank-padded to their field widths
// once read or saved; messages are UTF-8, as the UI port takes them.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "members/identifiers.h"
#include "store/retry_locks.h"
#include "store/table_engine.h"
#include "ui/ui_port.h"

namespace canalix::members {

// The values of one member, one per edited field of SOCIOS.
struct MemberForm {
  std::string numSocio;  // blank for a new member until it is saved
  int is = kNif;         // `IS`
  std::string nif, sexo, tratami, ape1, ape2, nomb, razon, nombre;
  std::string domicilio, cpostal, localidad, provincia;
  std::string telefono1, telefono2, fax, foto, email;
  std::array<std::string, 4> observa;
  std::string cuenta;
  int pago = 1;
  bool inactivo = false;
  std::string votos;        // `Votos`, right-aligned; may be longer than 3 when computed
  double superficie = 0.0;  // `Superficie`; may exceed N7.2 when computed
};

// The rule of the votes (configuration group AA of FRECU2).
struct VoteRule {
  bool autoVoto = false;
  double equim2 = 0;    // square metres per surface unit
  double desde1m2 = 0;  // first band, from (m2)
  double hasta1m2 = 0;  // first band, up to (m2)
  double desde2m2 = 0;  // square metres per further vote
  int votos1 = 0;       // votes of the first band
};

// Reads the rule from the configuration record (FRECU2, open in `ws`, or
// opened for the read when it is not). A missing record gives AutoVoto off.
VoteRule readVoteRule(store::Workspace& ws);

// The votes of `squareMetres` held: 0 below Desde1m2; Votos1 within the
// first band; above Hasta1m2, Votos1 and one more per Desde2m2 begun (none
// when Desde2m2 is 0).
long votesFor(double squareMetres, const VoteRule& rule);

// A member's surface and votes from the parcels of PARCELAS whose NumSocio
// is `numSocio` (as stored, four characters).
struct VotesSurface {
  bool hasParcels = false;
  double surface = 0.0;  // the sum of the parcels' Superficie
  long votes = 0;
  std::string votos;  // `votes` as the Votos text, right-aligned in three (longer when it does not fit)
};
// Reads through an area of its own on PARCELAS, so the parcels table keeps
// its order, scopes and record.
VotesSurface memberVotesSurface(store::Workspace& ws, std::string_view numSocio, const VoteRule& rule);

// The values of a new member: blanks, document type 1, payment 1, surface 0,
// photograph "FOTO.BMP", postal code, town and province from the configuration.
MemberForm newMemberForm(store::Workspace& ws);
// The values of the member `socios` stands on.
MemberForm readMemberForm(const store::WorkArea& socios);
// A stored member's values as the dialog opens them: with AutoVoto and at
// least one parcel, votes and surface recomputed; otherwise as stored.
void applyVotesOnOpen(store::Workspace& ws, MemberForm& form, const VoteRule& rule);

// Full name and form of address on saving: for "E" the surnames and given
// name cleared and Nombre the company name; otherwise the company name
// cleared and Nombre the trimmed surnames and given name joined by blanks;
// Tratami "Sr. Don" (H), "Sra. Doña" (M), blanks otherwise.
void deriveNames(MemberForm& form);

// Whether votes and surface fit their fields (Votos C3, Superficie N7.2);
// the refusal names the field.
Verdict checkVotesSurface(const MemberForm& form);

// One more than the highest member number among the live members of the
// table `socios` is on (inactive members and members hidden by a filter
// included, deleted ones not), right-aligned in four characters; "   1" for
// an empty table. Reads through an area of its own. Empty when the next
// number does not fit four characters.
std::string nextMemberNumber(store::WorkArea& socios);

// Saves `form` into SOCIOS (open in `ws`): a new member is appended and
// numbered, an existing one is written over the record SOCIOS stands on.
// Full name and form of address are derived first (into `form`); votes and
// surface that do not fit are refused with a message before anything is
// written. A refused lock gives the two tones and the message of the idiom,
// and nothing is written. Two copies numbering a new member at once are kept
// apart: after the write the number is checked against every live member and
// the later record takes the next number. On true, SOCIOS stands on the
// saved record and `form.numSocio` holds its number.
// Requires: SOCIOS open for writing; in edit mode standing on the member.
bool saveMember(ui::UiPort& ui, store::Workspace& ws, MemberForm& form, bool isNew,
                const store::Sleeper& sleep = {});

// The photograph's path as stored in Foto: the chosen file relative to the
// data directory when it lies in it, the full path otherwise; refused when it
// does not fit the 60 characters of the field or has characters Windows-1252
// cannot write. `text` is the field's value on success.
struct PhotoPath {
  Verdict verdict;
  std::string text;  // Windows-1252
};
PhotoPath photoPathFor(const std::filesystem::path& chosen, const std::filesystem::path& dataDir);
// The file a stored Foto names, relative names resolved in the data directory
// (without regard to case); nullopt when there is none.
std::optional<std::filesystem::path> photoFile(std::string_view foto, const std::filesystem::path& dataDir);

// Recomputes votes and surface of every member from that member's parcels
// when AutoVoto is on, in the order SOCIOS has (all members: a filter of the
// browser hides none from it). A member without parcels gets surface 0 and
// blank votes. A member whose record stays locked 5 seconds is skipped after
// the two tones; one whose values do not fit is skipped with the message.
// Returns the number of members written; 0 without AutoVoto.
int PONVOTOSATODOS(ui::UiPort& ui, store::Workspace& ws, const store::Sleeper& sleep = {});

// PONVOTOSATODOS as the user asks for it: the question (default "No"), then
// the recomputation and a notice of how many members were written. Without
// AutoVoto it says so and does nothing. True when it ran.
bool askPONVOTOSATODOS(ui::UiPort& ui, store::Workspace& ws);

}  // namespace canalix::members
