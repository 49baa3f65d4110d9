// membersNifLookup: a private area on SOCIOS, opened shared and read-only for
// the one search, so the screen's own area is never moved.
#include "members/nif_lookup.h"

namespace canalix::members {

NifHolderLookup membersNifLookup(store::WorkArea& socios) {
  return [&socios](std::string_view nif, bool newMember) -> std::optional<NifHolder> {
    store::Workspace& ws = socios.workspace();
    const std::string alias = "NIF$" + socios.alias();
    const std::string current = ws.currentAlias();
    if (!ws.DBUSEAREA(true, socios.path().string(), alias, true, true)) {
      if (!current.empty()) ws.select(current);
      return std::nullopt;
    }
    store::WorkArea& search = ws.area(alias);
    std::optional<NifHolder> holder;
    const int order = search.orderNumber("NIF");
    if (order != 0) {
      search.DBSETORDER(order);
      std::string key(nif);
      key.resize(10, ' ');
      for (bool found = search.DBSEEK(key); found && !search.Eof() && search.getText("Nif") == key; search.DBSKIP()) {
        if (!newMember && search.RECNO() == socios.RECNO()) continue;
        holder = NifHolder{search.getText("NumSocio"), search.getText("Nombre")};
        break;
      }
    }
    search.DBCLOSEAREA();
    if (!current.empty()) ws.select(current);
    return holder;
  };
}

}  // namespace canalix::members
