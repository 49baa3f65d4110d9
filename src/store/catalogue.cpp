// The table catalogue as data: one array of fields per table, in declaration
// order, and one array of tables that every lookup walks. Field names keep the
// catalogue's spelling (`NumSocio`, `Numparcela`); the table files store them
// upper-cased. Record lengths noted above each array are 1 (deletion flag) plus
// the sum of the widths.
#include "store/catalogue.h"

#include <stdexcept>

#include "store/names.h"

namespace canalix::store {
namespace {

// FRECU2: 171 fields, record length 2046.
constexpr CatalogueField kFrecu2[] = {
    {"Cpostal", 'C', 5, 0},
    {"Localidad", 'C', 20, 0},
    {"Provincia", 'C', 15, 0},
    {"ProvinciaC", 'C', 2, 0},
    {"LocalidadC", 'C', 3, 0},
    {"Rutazip", 'C', 100, 0},
    {"RutaDoc", 'C', 100, 0},
    {"CuantosR", 'N', 1, 0},
    {"Importe2", 'N', 7, 2},
    {"PreWord", 'L', 1, 0},
    {"CDetalle", 'L', 1, 0},
    {"LUsuario", 'L', 1, 0},
    {"Usuario", 'C', 10, 0},
    {"PreviMod", 'L', 1, 0},
    {"MActivo", 'C', 50, 0},
    {"PrevisuC", 'L', 1, 0},
    {"Remite", 'L', 1, 0},
    {"LTitu", 'C', 40, 0},
    {"LDoble", 'L', 1, 0},
    {"LFila", 'L', 1, 0},
    {"LNume", 'L', 1, 0},
    {"LNomb", 'L', 1, 0},
    {"LDni", 'L', 1, 0},
    {"LDomi", 'L', 1, 0},
    {"LLoca", 'L', 1, 0},
    {"LProvin", 'L', 1, 0},
    {"LTele", 'L', 1, 0},
    {"LCuenta", 'L', 1, 0},
    {"PrevisuP", 'L', 1, 0},
    {"LDobleP", 'L', 1, 0},
    {"LFilaP", 'L', 1, 0},
    {"LIMante", 'L', 1, 0},
    {"LIConsu", 'L', 1, 0},
    {"LIConsuS1", 'L', 1, 0},
    {"LIConsuS2", 'L', 1, 0},
    {"LIAdicio1", 'L', 1, 0},
    {"LIAdicio2", 'L', 1, 0},
    {"LIAdicio3", 'L', 1, 0},
    {"LTitu2", 'C', 40, 0},
    {"LDoble2", 'L', 1, 0},
    {"LFila2", 'L', 1, 0},
    {"PrevisuC2", 'L', 1, 0},
    {"LNumeS", 'L', 1, 0},
    {"LNumeP", 'L', 1, 0},
    {"LNombreP", 'L', 1, 0},
    {"LSuperfi", 'L', 1, 0},
    {"LIdconta", 'L', 1, 0},
    {"LFlecul", 'L', 1, 0},
    {"Lmul", 'L', 1, 0},
    {"LFlecan", 'L', 1, 0},
    {"Lman", 'L', 1, 0},
    {"LConsumo", 'L', 1, 0},
    {"LNombre", 'L', 1, 0},
    {"LBlanco", 'L', 1, 0},
    {"LDoble3", 'L', 1, 0},
    {"LFila3", 'L', 1, 0},
    {"PrevisuC3", 'L', 1, 0},
    {"LTitu4", 'C', 40, 0},
    {"LDoble4", 'L', 1, 0},
    {"LFila4", 'L', 1, 0},
    {"PrevisuC4", 'L', 1, 0},
    {"LNombreP4", 'L', 1, 0},
    {"LNumeS4", 'L', 1, 0},
    {"LNombreS4", 'L', 1, 0},
    {"LAnte4", 'L', 1, 0},
    {"LActu4", 'L', 1, 0},
    {"LConsumo4", 'L', 1, 0},
    {"LImporte4", 'L', 1, 0},
    {"LRecargo4", 'L', 1, 0},
    {"LTotal4", 'L', 1, 0},
    {"LFPago4", 'L', 1, 0},
    {"LBlanco4", 'L', 1, 0},
    {"LVotos", 'L', 1, 0},
    {"LSuperf", 'L', 1, 0},
    {"CoNombre", 'C', 45, 0},
    {"CoCif", 'C', 9, 0},
    {"CoDomi", 'C', 50, 0},
    {"CoCpostal", 'C', 5, 0},
    {"CoLoca", 'C', 20, 0},
    {"CoProvin", 'C', 15, 0},
    {"CoTele", 'C', 50, 0},
    {"CoMail", 'C', 50, 0},
    {"CoFirma", 'C', 20, 0},
    {"CoAusen", 'C', 20, 0},
    {"CoNomFir", 'C', 40, 0},
    {"CoArFirma", 'C', 12, 0},
    {"CoEnti1", 'C', 25, 0},
    {"CoEnti2", 'C', 25, 0},
    {"CoEnti3", 'C', 25, 0},
    {"CoCuen1", 'C', 20, 0},
    {"CoCuen2", 'C', 20, 0},
    {"CoCuen3", 'C', 20, 0},
    {"Contador", 'N', 1, 0},
    {"ContadorSi", 'N', 1, 0},
    {"UnidadSu", 'C', 10, 0},
    {"Meses", 'N', 2, 0},
    {"Derechos", 'N', 4, 0},
    {"Mantenim", 'N', 6, 2},
    {"PrecioC", 'N', 6, 2},
    {"CoAB", 'N', 1, 0},
    {"PrecioSA", 'N', 6, 2},
    {"PrecioSB1", 'N', 6, 2},
    {"PrecioSB2", 'N', 6, 2},
    {"HastaxmB", 'N', 3, 0},
    {"Adicio1", 'C', 50, 0},
    {"Adicio2", 'C', 50, 0},
    {"Adicio3", 'C', 50, 0},
    {"Adicio1Pr", 'N', 6, 2},
    {"Adicio2Pr", 'N', 6, 2},
    {"Adicio3ToI", 'N', 9, 2},
    {"Adicio3Ano", 'C', 4, 0},
    {"Porcentaje", 'L', 1, 0},
    {"Aviso1", 'L', 1, 0},
    {"ConAviso1", 'N', 4, 0},
    {"Aviso2", 'L', 1, 0},
    {"ConAviso2", 'N', 4, 0},
    {"AltaReci", 'L', 1, 0},
    {"ModiReci", 'L', 1, 0},
    {"FDiferen", 'L', 1, 0},
    {"Ultima0", 'L', 1, 0},
    {"FechaLec1", 'D', 8, 0},
    {"FechaLec2", 'D', 8, 0},
    {"PreviRe", 'L', 1, 0},
    {"PreviCu", 'L', 1, 0},
    {"PreviReSo", 'L', 1, 0},
    {"PreviCuSo", 'L', 1, 0},
    {"VerFi19", 'L', 1, 0},
    {"Ruta19", 'C', 50, 0},
    {"NombrePRN", 'C', 15, 0},
    {"RutaPRN", 'C', 50, 0},
    {"NLectura", 'C', 4, 0},
    {"Abono19", 'C', 20, 0},
    {"Subfijo", 'C', 3, 0},
    {"Abono191", 'C', 20, 0},
    {"Subfijo1", 'C', 3, 0},
    {"Abono192", 'C', 20, 0},
    {"Subfijo2", 'C', 3, 0},
    {"Abono193", 'C', 20, 0},
    {"Subfijo3", 'C', 3, 0},
    {"Radio19", 'N', 1, 0},
    {"Nombre19", 'C', 40, 0},
    {"Nif19", 'C', 9, 0},
    {"NombreP19", 'C', 40, 0},
    {"NifP19", 'C', 9, 0},
    {"ACero", 'L', 1, 0},
    {"Inactivo", 'L', 1, 0},
    {"NoRecibo", 'L', 1, 0},
    {"SinRConR", 'N', 1, 0},
    {"PorRe1", 'N', 2, 0},
    {"PorRe2", 'N', 2, 0},
    {"PorRe3", 'N', 2, 0},
    {"Incluir", 'L', 1, 0},
    {"RutaZipA", 'C', 150, 0},
    {"AlEntrar", 'L', 1, 0},
    {"AlSalir", 'L', 1, 0},
    {"Preguntar", 'L', 1, 0},
    {"AutoVoto", 'L', 1, 0},
    {"Equim2", 'N', 8, 2},
    {"Desde1m2", 'N', 8, 2},
    {"Hasta1m2", 'N', 8, 2},
    {"Desde2m2", 'N', 8, 2},
    {"Votos1", 'N', 3, 0},
    {"Votos2", 'N', 3, 0},
    {"RutaPagos", 'C', 150, 0},
    {"BorraPago", 'L', 1, 0},
    {"SEPA1", 'C', 50, 0},
    {"SEPA2", 'C', 9, 0},
    {"SEPA3", 'C', 50, 0},
    {"SEPA4", 'C', 5, 0},
    {"SEPA5", 'C', 25, 0},
    {"SEPA6", 'C', 15, 0},
};

// SOCIOS: 34 fields, record length 683.
constexpr CatalogueField kSocios[] = {
    {"NumSocio", 'C', 4, 0},
    {"IS", 'N', 1, 0},
    {"Nif", 'C', 10, 0},
    {"Sexo", 'C', 1, 0},
    {"Tratami", 'C', 9, 0},
    {"Ape1", 'C', 15, 0},
    {"Ape2", 'C', 15, 0},
    {"Nomb", 'C', 15, 0},
    {"Razon", 'C', 45, 0},
    {"Nombre", 'C', 45, 0},
    {"Domicilio", 'C', 50, 0},
    {"Cpostal", 'C', 5, 0},
    {"Localidad", 'C', 20, 0},
    {"Provincia", 'C', 15, 0},
    {"Telefono1", 'C', 10, 0},
    {"Telefono2", 'C', 10, 0},
    {"Fax", 'C', 10, 0},
    {"Foto", 'C', 60, 0},
    {"Email", 'C', 50, 0},
    {"Observa1", 'C', 50, 0},
    {"Observa2", 'C', 50, 0},
    {"Observa3", 'C', 50, 0},
    {"Observa4", 'C', 50, 0},
    {"Cuenta", 'C', 20, 0},
    {"Pago", 'N', 1, 0},
    {"Marca", 'L', 1, 0},
    {"Anotacion", 'C', 1, 0},
    {"Inactivo", 'L', 1, 0},
    {"Votos", 'C', 3, 0},
    {"Superficie", 'N', 7, 2},
    {"TAdeudo", 'C', 4, 0},
    {"RMandato", 'C', 35, 0},
    {"FMandato", 'D', 8, 0},
    {"BICBanco", 'C', 11, 0},
};

// PARCELAS: 26 fields, record length 485.
constexpr CatalogueField kParcelas[] = {
    {"NumSocio", 'C', 4, 0},
    {"Nombre", 'C', 45, 0},
    {"Parcela", 'C', 40, 0},
    {"Superficie", 'N', 7, 2},
    {"Superfici2", 'N', 7, 2},
    {"Numparcela", 'C', 5, 0},
    {"ContadorId", 'C', 20, 0},
    {"Hidrante", 'C', 15, 0},
    {"Observa1", 'C', 50, 0},
    {"Observa2", 'C', 50, 0},
    {"Observa3", 'C', 50, 0},
    {"Observa4", 'C', 50, 0},
    {"ActFecha", 'D', 8, 0},
    {"ActMetros", 'N', 8, 0},
    {"ActObserva", 'C', 30, 0},
    {"AntFecha", 'D', 8, 0},
    {"AntMetros", 'N', 8, 0},
    {"AntObserva", 'C', 30, 0},
    {"Consumo", 'N', 8, 0},
    {"Marca", 'L', 1, 0},
    {"ProvinciaC", 'C', 2, 0},
    {"LocalidadC", 'C', 3, 0},
    {"Poligono", 'C', 4, 0},
    {"ParcelaCa", 'C', 10, 0},
    {"NoRecibo", 'L', 1, 0},
    {"Cuenta", 'C', 20, 0},
};

// RECIBOS: 99 fields, record length 1119.
constexpr CatalogueField kRecibos[] = {
    {"Nif", 'C', 10, 0},
    {"Sexo", 'C', 1, 0},
    {"Tratami", 'C', 9, 0},
    {"Ape1", 'C', 15, 0},
    {"Ape2", 'C', 15, 0},
    {"Nomb", 'C', 15, 0},
    {"Nombre", 'C', 45, 0},
    {"Domicilio", 'C', 50, 0},
    {"Cpostal", 'C', 5, 0},
    {"Localidad", 'C', 20, 0},
    {"Provincia", 'C', 15, 0},
    {"Cuenta", 'C', 20, 0},
    {"Pago", 'N', 1, 0},
    {"NumSocio", 'C', 4, 0},
    {"Numparcela", 'C', 5, 0},
    {"Parcela", 'C', 40, 0},
    {"Superficie", 'N', 7, 2},
    {"Superfici2", 'N', 7, 2},
    {"ContadorId", 'C', 20, 0},
    {"ProvinciaC", 'C', 2, 0},
    {"LocalidadC", 'C', 3, 0},
    {"Poligono", 'C', 4, 0},
    {"ParcelaCa", 'C', 10, 0},
    {"ActFecha", 'D', 8, 0},
    {"ActMetros", 'N', 8, 0},
    {"AntFecha", 'D', 8, 0},
    {"AntMetros", 'N', 8, 0},
    {"Consumo", 'N', 8, 0},
    {"ActObserva", 'C', 30, 0},
    {"AntObserva", 'C', 30, 0},
    {"CoEnti1", 'C', 25, 0},
    {"CoEnti2", 'C', 25, 0},
    {"CoEnti3", 'C', 25, 0},
    {"CoCuen1", 'C', 20, 0},
    {"CoCuen2", 'C', 20, 0},
    {"CoCuen3", 'C', 20, 0},
    {"Contador", 'N', 1, 0},
    {"ContadorSi", 'N', 1, 0},
    {"UnidadSu", 'C', 10, 0},
    {"Meses", 'N', 2, 0},
    {"Derechos", 'N', 4, 0},
    {"Mantenim", 'N', 6, 2},
    {"PrecioC", 'N', 6, 2},
    {"CoAB", 'N', 1, 0},
    {"PrecioSA", 'N', 6, 2},
    {"PrecioSB1", 'N', 6, 2},
    {"PrecioSB2", 'N', 6, 2},
    {"HastaxmB", 'N', 3, 0},
    {"Recargo", 'N', 2, 0},
    {"Adicio1", 'C', 50, 0},
    {"Adicio2", 'C', 50, 0},
    {"Adicio3", 'C', 50, 0},
    {"Adicio1Pr", 'N', 6, 2},
    {"Adicio2Pr", 'N', 6, 2},
    {"Adicio3Pr", 'N', 6, 2},
    {"Adicio3Ano", 'C', 4, 0},
    {"Adicio3ToI", 'N', 9, 2},
    {"Adicio3ToM", 'N', 9, 0},
    {"Porcentaje", 'L', 1, 0},
    {"Adicio3M", 'N', 6, 0},
    {"SinRConR", 'N', 1, 0},
    {"PorRe1", 'N', 2, 0},
    {"PorRe2", 'N', 2, 0},
    {"Ano", 'C', 4, 0},
    {"NumRecibo", 'C', 2, 0},
    {"Concepto", 'C', 25, 0},
    {"FEmision", 'D', 8, 0},
    {"FCargo", 'D', 8, 0},
    {"FLimite", 'D', 8, 0},
    {"FPago", 'D', 8, 0},
    {"FPagoRe", 'D', 8, 0},
    {"IManteni", 'N', 8, 2},
    {"DerechosT", 'N', 8, 0},
    {"IConsumo", 'N', 8, 2},
    {"LSobre1", 'N', 8, 0},
    {"ISobrepa1", 'N', 8, 2},
    {"LSobre2", 'N', 5, 0},
    {"ISobrepa2", 'N', 8, 2},
    {"IAdicio1", 'N', 8, 2},
    {"IAdicio2", 'N', 8, 2},
    {"IAdicio3", 'N', 8, 2},
    {"IRecargo", 'N', 8, 2},
    {"ITotal", 'N', 8, 2},
    {"ITotalyR", 'N', 8, 2},
    {"FeRe1", 'D', 8, 0},
    {"FeRe2", 'D', 8, 0},
    {"FeRe3", 'D', 8, 0},
    {"Marca", 'L', 1, 0},
    {"LRecargo", 'L', 1, 0},
    {"ToRe1", 'N', 8, 2},
    {"ToRe2", 'N', 8, 2},
    {"ConsumoT", 'N', 8, 0},
    {"ConsumoG", 'N', 8, 0},
    {"ImporteT", 'N', 8, 2},
    {"ImporteL", 'N', 8, 2},
    {"TAdeudo", 'C', 4, 0},
    {"RMandato", 'C', 35, 0},
    {"FMandato", 'D', 8, 0},
    {"BICBanco", 'C', 11, 0},
};

// CONTROL: 1 fields, record length 2.
constexpr CatalogueField kControl[] = {
    {"ControlCl6", 'L', 1, 0},
};

// ACCESOS: 6 fields, record length 84.
constexpr CatalogueField kAccesos[] = {
    {"Fecha", 'D', 8, 0},
    {"Inicio", 'C', 10, 0},
    {"Fin", 'C', 10, 0},
    {"Clave", 'C', 10, 0},
    {"Nombre", 'C', 35, 0},
    {"Passw", 'C', 10, 0},
};

// CODIGOS: 2 fields, record length 34.
constexpr CatalogueField kCodigos[] = {
    {"Codigo", 'C', 3, 0},
    {"NomCodigo", 'C', 30, 0},
};

// GASTOS: 15 fields, record length 289.
constexpr CatalogueField kGastos[] = {
    {"AnNum", 'C', 8, 0},
    {"Fecha", 'D', 8, 0},
    {"Codigo", 'C', 3, 0},
    {"Parcela", 'C', 3, 0},
    {"Proveedo", 'C', 3, 0},
    {"Concepto", 'C', 30, 0},
    {"Tipo", 'N', 1, 0},
    {"Precio", 'N', 11, 4},
    {"Cantidad", 'N', 10, 2},
    {"Importe", 'N', 10, 2},
    {"IVA", 'N', 10, 2},
    {"Total", 'N', 11, 2},
    {"Observa1", 'C', 60, 0},
    {"Observa2", 'C', 60, 0},
    {"Observa3", 'C', 60, 0},
};

// CONCEPTO: 1 fields, record length 31.
constexpr CatalogueField kConcepto[] = {
    {"Concepto", 'C', 30, 0},
};

// USUARIOS: 4 fields, record length 116.
constexpr CatalogueField kUsuarios[] = {
    {"Clave", 'C', 10, 0},
    {"Nombre", 'C', 35, 0},
    {"Passw", 'C', 10, 0},
    {"Impresor", 'C', 60, 0},
};

// CAJA: 5 fields, record length 98.
constexpr CatalogueField kCaja[] = {
    {"Fecha", 'D', 8, 0},
    {"Concepto", 'C', 40, 0},
    {"Cliente", 'C', 40, 0},
    {"Importe", 'N', 8, 2},
    {"Tipo", 'N', 1, 0},
};

// BIC: 2 fields, record length 16.
constexpr CatalogueField kBic[] = {
    {"Codigo", 'C', 4, 0},
    {"Bic", 'C', 11, 0},
};

// ARQUEO: 18 fields, record length 97.
constexpr CatalogueField kArqueo[] = {
    {"Fecha", 'D', 8, 0},
    {"EU500", 'N', 5, 0},
    {"EU200", 'N', 5, 0},
    {"EU100", 'N', 5, 0},
    {"EU50", 'N', 5, 0},
    {"EU20", 'N', 5, 0},
    {"EU10", 'N', 5, 0},
    {"EU5", 'N', 5, 0},
    {"EU2", 'N', 5, 0},
    {"EU1", 'N', 5, 0},
    {"CHEQUE", 'N', 5, 0},
    {"ICHEQUE", 'N', 8, 2},
    {"CE50", 'N', 5, 0},
    {"CE20", 'N', 5, 0},
    {"CE10", 'N', 5, 0},
    {"CE5", 'N', 5, 0},
    {"CE2", 'N', 5, 0},
    {"CE1", 'N', 5, 0},
};

// COMU: 2 fields, record length 53.
constexpr CatalogueField kComu[] = {
    {"Codigo", 'C', 2, 0},
    {"Nombre", 'C', 50, 0},
};

// Work tables. LECTURAS: the reading import file, one line per row.
constexpr CatalogueField kLecturas[] = {
    {"CAMPO0", 'C', 127, 0},
    {"FECHA", 'C', 10, 0},
    {"HIDRANTE", 'C', 9, 0},
    {"CONTADOR", 'C', 20, 0},
    {"CONSUMO", 'C', 15, 0},
    {"LECTURA", 'C', 15, 0},
    {"NOMBRE", 'C', 29, 0},
    {"NUMEROL", 'C', 6, 0},
    {"LECTURAM3", 'N', 8, 0},
};

// HACIDIS of the bank payments file: one payment per row.
constexpr CatalogueField kHacidisPagos[] = {
    {"FECHALP", 'C', 6, 0},
    {"REFERENCIA", 'C', 13, 0},
    {"FECHAPT", 'D', 8, 0},
    {"IMPORTET", 'N', 9, 2},
    {"IMPORTETA", 'N', 9, 2},
    {"FECHALPT", 'D', 8, 0},
    {"PARCELAT", 'C', 5, 0},
    {"MEST", 'C', 2, 0},
    {"ANOT", 'C', 4, 0},
    {"NumSocio", 'C', 4, 0},
    {"Nombre", 'C', 45, 0},
    {"Observa", 'C', 45, 0},
};

// Remittance files: one line of the file per row.
constexpr CatalogueField kDatos90[] = {{"Datos", 'C', 90, 0}};
constexpr CatalogueField kDatos162[] = {{"Datos", 'C', 162, 0}};
constexpr CatalogueField kDatos600[] = {{"Datos", 'C', 600, 0}};  // length bytes 88, 2
// SAMPLE: the mandate form data, one line per row.
constexpr CatalogueField kDatos250[] = {{"Datos", 'C', 250, 0}};

constexpr TableHome kData = TableHome::kDataDir;
constexpr TableHome kWork = TableHome::kWork;

constexpr CatalogueTable kTables[] = {
    // The data directory, in the order CREAFI visits it.
    {"FRECU2", kData, WorkUse::kNone, false, kFrecu2},
    {"SOCIOS", kData, WorkUse::kNone, true, kSocios},
    {"PARCELAS", kData, WorkUse::kNone, true, kParcelas},
    {"RECIBOS", kData, WorkUse::kNone, true, kRecibos},
    {"CONTROL", kData, WorkUse::kNone, false, kControl},
    {"ACCESOS", kData, WorkUse::kNone, true, kAccesos},
    {"CODIGOS", kData, WorkUse::kNone, true, kCodigos},
    {"GASTOS", kData, WorkUse::kNone, true, kGastos},
    {"CONCEPTO", kData, WorkUse::kNone, true, kConcepto},
    {"USUARIOS", kData, WorkUse::kNone, true, kUsuarios},
    {"CAJA", kData, WorkUse::kNone, true, kCaja},
    {"BIC", kData, WorkUse::kNone, true, kBic},
    {"ARQUEO", kData, WorkUse::kNone, true, kArqueo},
    // The community list of multi-community mode.
    {"COMU", TableHome::kProgramDir, WorkUse::kNone, false, kComu},
    // Work tables.
    {"LECTURAS", kWork, WorkUse::kReadings, false, kLecturas},
    {"HACIDIS", kWork, WorkUse::kPayments, false, kHacidisPagos},
    {"HACIDIS2", kWork, WorkUse::kNorma19, false, kDatos90},
    {"HACIDIS", kWork, WorkUse::kNorma19, false, kDatos162},
    {"HACIDIS2", kWork, WorkUse::kSepa, false, kDatos90},
    {"HACIDIS", kWork, WorkUse::kSepa, false, kDatos600},
    {"SAMPLE", kWork, WorkUse::kMandate, false, kDatos250},
};

// "socios.dbf" -> "socios"; names without the extension are kept.
std::string_view withoutDbf(std::string_view name) {
  if (name.size() > 4 && sameName(name.substr(name.size() - 4), ".DBF")) name.remove_suffix(4);
  return name;
}

}  // namespace

std::string CatalogueTable::fileName() const { return std::string(name) + ".DBF"; }
std::string CatalogueTable::indexFileName() const { return std::string(name) + ".CDX"; }

Structure CatalogueTable::structure() const {
  Structure s;
  s.reserve(fields.size());
  for (const CatalogueField& f : fields) s.push_back({std::string(f.name), f.type, f.width, f.decimals});
  return s;
}

int CatalogueTable::recordLength() const {
  int length = 1;
  for (const CatalogueField& f : fields) length += f.width;
  return length;
}

int CatalogueTable::headerLength() const { return 32 + 32 * static_cast<int>(fields.size()) + 2; }

int CatalogueTable::fieldIndex(std::string_view field) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (sameName(fields[i].name, field)) return static_cast<int>(i);
  }
  return -1;
}

std::span<const CatalogueTable> catalogue() { return kTables; }

const CatalogueTable* findTable(std::string_view name) {
  name = withoutDbf(name);
  for (const CatalogueTable& t : kTables) {
    if (t.home != TableHome::kWork && sameName(t.name, name)) return &t;
  }
  return nullptr;
}

const CatalogueTable* findWorkTable(std::string_view name, WorkUse use) {
  name = withoutDbf(name);
  for (const CatalogueTable& t : kTables) {
    if (t.home == TableHome::kWork && t.use == use && sameName(t.name, name)) return &t;
  }
  return nullptr;
}

std::vector<const CatalogueTable*> dataDirectoryTables() {
  std::vector<const CatalogueTable*> tables;
  for (const CatalogueTable& t : kTables) {
    if (t.home == TableHome::kDataDir) tables.push_back(&t);
  }
  return tables;
}

Structure catalogueStructure(std::string_view name) {
  const CatalogueTable* t = findTable(name);
  if (!t) throw std::invalid_argument("tabla desconocida: " + std::string(name));
  return t->structure();
}

std::vector<std::pair<std::string, Value>> initialRecord(std::string_view table) {
  using Record = std::vector<std::pair<std::string, Value>>;
  // The four tables that start with one record; the configuration record's
  // other fields stay blank, zero or false.
  static const std::vector<std::pair<std::string_view, Record>> kInitial = {
      {"FRECU2",
       {{"UnidadSu", std::string("marjales")},
        {"CoFirma", std::string("EL PRESIDENTE")},
        {"CoAB", 1.0},
        {"CoNombre", std::string("COMUNIDAD DE REGANTES DE PRUEBA")},
        {"CoCif", std::string("B11111111")},
        {"CoCpostal", std::string("18600")},
        {"CoLoca", std::string("MOTRIL")},
        {"CoProvin", std::string("GRANADA")},
        {"Contador", 1.0}}},
      {"CONTROL", {{"ControlCl6", true}}},
      {"CONCEPTO", {{"Concepto", std::string(30, ' ')}}},  // an empty first concept
      {"USUARIOS",
       {{"Clave", std::string("TORVELA")},
        {"Nombre", std::string("ESTE NOMBRE DEBE MODIFICARSE")},
        {"Passw", std::string("TORVELA")}}},
  };
  table = withoutDbf(table);
  for (const auto& [name, record] : kInitial) {
    if (sameName(name, table)) return record;
  }
  return {};
}

}  // namespace canalix::store
