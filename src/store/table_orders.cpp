// The order table as data, and INDEXAFI / ABREFI over it.
#include "store/table_orders.h"

#include <filesystem>

#include "store/names.h"

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
  const std::string indexFile = std::string(table) + ".CDX";
  for (const TagDef& tag : tableOrders(table)) {
    area.ORDCONDSET(std::string(kOrderFor), tag.descending);
    area.ORDCREATE(indexFile, std::string(usuarios ? usuariosTag : tag.name), std::string(tag.keyExpression));
  }
}

std::vector<std::string> INDEXAFI(Workspace& ws) {
  std::vector<std::string> built;
  for (const TableTags& t : kIndexed) {
    const std::string name(t.table);
    std::error_code ec;
    if (std::filesystem::exists(ws.resolve(name + ".CDX"), ec)) continue;
    if (!ws.DBUSEAREA(true, name + ".DBF", name, false))
      throw EngineError(err::kOpen, err::kOpenSub, "INDEXAFI", name + ".DBF", "la tabla está en uso por otro usuario");
    WorkArea& area = ws.area(name);
    try {
      createOrders(area, name);
    } catch (...) {
      area.DBCLOSEAREA();
      std::filesystem::remove(ws.resolve(name + ".CDX"), ec);  // never leave half an index behind
      throw;
    }
    area.DBCLOSEAREA();
    built.push_back(name);
  }
  return built;
}

bool ABREFI(Workspace& ws) {
  for (std::string_view table : kOpened) {
    const std::string name(table);
    if (!ws.DBUSEAREA(true, name + ".DBF", name, true)) return false;
    WorkArea& area = ws.area(name);
    if (area.orderCount() > 0) {
      area.DBSETORDER(1);
      area.DBGOTOP();
    }
  }
  ws.select("SOCIOS");
  return true;
}

}  // namespace canalix::store
