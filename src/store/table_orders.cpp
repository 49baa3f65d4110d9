// The order table as data, and INDEXAFI / ABREFI over it.
#include "store/table_orders.h"

#include <cstring>
#include <filesystem>

#include "store/file_layer.h"
#include "store/names.h"
#include "store/retry_locks.h"

namespace canalix::store {
namespace {

constexpr TagDef kSocios[] = {
    {"NOMBRE", "SOCIOS->Nombre", false},
    {"NUMSOCIO", "SOCIOS->NumSocio", false},
    {"NIF", "SOCIOS->Nif", false},
    {"LOCALIDAD", "SOCIOS->Localidad+SOCIOS->DOMICILIO", false},
    {"PAGO", "str(SOCIOS->Pago,1)", true},
};
constexpr TagDef kParcelas[] = {
    {"NUMSOCIO", "PARCELAS->NumSocio", false},
    {"NUMPARCELA", "PARCELAS->Numparcela", false},
    {"NOMBRE", "PARCELAS->Nombre", false},
    {"PARCELA", "PARCELAS->Parcela", false},
    {"SUPERFICIE", "str(PARCELAS->Superficie,7,2)", true},
    {"CONSUMO", "str(PARCELAS->Consumo,8)", true},
    {"SUPERFICI2", "str(PARCELAS->Superfici2,7,2)", true},
    {"HIDRANTE", "PARCELAS->HIDRANTE+PARCELAS->Nombre", false},
};
constexpr TagDef kRecibos[] = {
    {"NUMPARCELA", "RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo", true},
    {"ANO", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumParcela", true},
    {"ANO2", "RECIBOS->Ano+RECIBOS->NumRecibo", false},
    {"ANO3", "RECIBOS->Ano+RECIBOS->NumParcela+RECIBOS->NumRecibo", false},
    {"ANO4", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumParcela", false},
    {"ANO5", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->NumSocio", false},
    {"ANO6", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Nombre", false},
    {"ANO7", "RECIBOS->Ano+RECIBOS->NumRecibo+RECIBOS->Parcela", false},
    {"ANO8", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Superficie)", false},
    {"ANO9", "RECIBOS->Ano+RECIBOS->NumRecibo+STR(RECIBOS->Consumo)", false},
    {"RECIPEN", "RECIBOS->NumSocio+RECIBOS->NumParcela+RECIBOS->Ano+RECIBOS->NumRecibo", false},
};
constexpr TagDef kUsuarios[] = {{"CLAVE", "USUARIOS->Clave", false}};
constexpr TagDef kAccesos[] = {{"FECHA", "DTOS(ACCESOS->Fecha)", true}};
constexpr TagDef kBic[] = {{"CODIGO", "BIC->Codigo", false}};
constexpr TagDef kGastos[] = {
    {"GASTOS1", "GASTOS->AnNum+DTOS(GASTOS->Fecha)", false},
    {"GASTOS2", "GASTOS->AnNum+GASTOS->Codigo+DTOS(GASTOS->Fecha)", false},
    {"GASTOS3", "SUBSTR(GASTOS->AnNum,5,4)+GASTOS->Codigo+DTOS(GASTOS->Fecha)", false},
};
constexpr TagDef kCodigos[] = {{"CODIGO", "CODIGOS->Codigo", false}};
constexpr TagDef kConcepto[] = {{"CONCEPTO", "CONCEPTO->Concepto", false}};
constexpr TagDef kCaja[] = {{"FECHA", "CAJA->Fecha", true}, {"FECHA2", "CAJA->Fecha", false}};
constexpr TagDef kArqueo[] = {{"FECHA", "ARQUEO->Fecha", true}};

struct TableTags {
  std::string_view table;
  std::span<const TagDef> tags;
};
// In the order INDEXAFI visits the tables.
constexpr TableTags kIndexed[] = {
    {"SOCIOS", kSocios}, {"PARCELAS", kParcelas}, {"RECIBOS", kRecibos}, {"USUARIOS", kUsuarios},
    {"ACCESOS", kAccesos}, {"BIC", kBic},         {"GASTOS", kGastos},   {"CODIGOS", kCodigos},
    {"CONCEPTO", kConcepto}, {"CAJA", kCaja},     {"ARQUEO", kArqueo},
};

// The tables ABREFI opens, in its order (FRECU2 has no index file).
constexpr std::string_view kOpened[] = {"PARCELAS", "RECIBOS", "ACCESOS", "USUARIOS", "FRECU2", "CONCEPTO",
                                        "CODIGOS",  "GASTOS",  "CAJA",    "ARQUEO",   "BIC",    "SOCIOS"};

}  // namespace

std::span<const TagDef> tableOrders(std::string_view table) {
  for (const TableTags& t : kIndexed)
    if (sameName(t.table, table)) return t.tags;
  return {};
}

void createOrders(WorkArea& area, std::string_view table, std::string_view usuariosTag) {
  const bool usuarios = sameName(table, "USUARIOS");
  // The structural index of the area's own file, whatever its name.
  const std::string indexFile = area.path().stem().string() + ".CDX";
  for (const TagDef& tag : tableOrders(table)) {
    area.ORDCONDSET(std::string(kOrderFor), tag.descending);
    area.ORDCREATE(indexFile, std::string(usuarios ? usuariosTag : tag.name), std::string(tag.keyExpression));
  }
}

namespace {

std::filesystem::path indexPath(const Workspace& ws, const std::string& table) {
  const std::filesystem::path file = ws.resolve(table + ".DBF");
  return ws.resolve(file.stem().string() + ".CDX");
}

// True when the table opens with its index file and every tag reads.
bool indexReadable(Workspace& ws, const std::string& table, const std::filesystem::path& index) {
  const std::string alias = "INDEXAFI$" + table;
  try {
    if (!ws.DBUSEAREA(true, table + ".DBF", alias, true, true)) return true;  // in use: not ours to judge
  } catch (const EngineError& e) {
    if (!sameName(std::filesystem::path(e.file()).filename().string(), index.filename().string())) throw;
    return false;
  }
  ws.area(alias).DBCLOSEAREA();
  return true;
}

// Builds the index file of `name` unless another copy built it meanwhile.
// False when it was found built.
bool buildIndex(Workspace& ws, const std::string& name) {
  // Another copy starting at the same moment may be building the same index.
  if (!NETUSE(ws, name, true, 5))
    throw EngineError(err::kOpen, err::kOpenSub, "INDEXAFI", name + ".DBF",
                      "falta el índice de la tabla y otro puesto la está usando; cierre CANALIX en los demás "
                      "puestos y vuelva a entrar");
  WorkArea& area = ws.area(name);
  if (area.indexAttached()) {
    area.DBCLOSEAREA();
    return false;
  }
  try {
    createOrders(area, name);
  } catch (...) {
    area.DBCLOSEAREA();
    std::error_code ec;
    std::filesystem::remove(indexPath(ws, name), ec);  // never leave half an index behind
    throw;
  }
  area.DBCLOSEAREA();
  return true;
}

}  // namespace

IndexReport INDEXAFI(Workspace& ws) {
  IndexReport report;
  for (const TableTags& t : kIndexed) {
    const std::string name(t.table);
    const std::filesystem::path index = indexPath(ws, name);
    std::error_code ec;
    if (std::filesystem::exists(index, ec)) {
      if (indexReadable(ws, name, index)) continue;
      report.setAside.push_back(renameAside(ws.env(), index, ".dañado").filename().string());
    }
    if (buildIndex(ws, name)) report.built.push_back(name);
  }
  return report;
}

void ABREFI(Workspace& ws) {
  try {
    for (std::string_view table : kOpened) {
      const std::string name(table);
      if (!ws.DBUSEAREA(true, name + ".DBF", name, true))
        throw EngineError(err::kOpen, err::kOpenSub, "ABREFI", name + ".DBF",
                          "la tabla está en uso exclusivo por otro puesto");
      WorkArea& area = ws.area(name);
      if (!tableOrders(name).empty() && !area.indexAttached())
        throw EngineError(err::kIndexOpen, err::kIndexOpenSub, "ABREFI", name + ".CDX",
                          "falta el índice de la tabla; vuelva a entrar en CANALIX para construirlo");
      if (area.orderCount() > 0) {
        area.DBSETORDER(1);
        area.DBGOTOP();
      }
    }
  } catch (...) {
    ws.DBCLOSEALL();
    throw;
  }
  ws.select("SOCIOS");
}

std::string setAsideNotice(const std::string& keptAs) {
  const std::string index = keptAs.substr(0, keptAs.find(".CDX") + 4);
  return "El índice " + index + " estaba dañado y se ha construido de nuevo.\r\nEl archivo dañado se conserva como " +
         keptAs + ".";
}

}  // namespace canalix::store
