// The tool bar and menu tables of the main window.
#include "shell/main_menu.h"

namespace canalix::shell {
namespace {

using C = Command;
using K = MenuEntryKind;

constexpr ToolButton kToolBar[] = {
    {"SOCIOS", "Socios", "Mantenimiento de Socios-Parcelas-Recibos", C::kSocios, false, true},
    {"RECIBOS", "Recibos", "Mantenimiento de datos de Recibos", C::kRecibos, false, true},
    {"PARCELA", "Parcelas", "Datos Parcelas y lecturas contadores", C::kParcelas, false, true},
    {"CONTABLE", "Contabilidad", " Control de Gastos e Ingresos ", C::kContabilidad, true, true},
    {"FRECU", "Configuración", "Datos frecuentes y de configuración", C::kFrecu, true, true},
    {"ORGANIZA", "Reorganizar archivos", "Indexar archivos ", C::kReorganizar, true, true},
    {"CANDADO", "Hacer copias", "Realizar copias de seguridad ", C::kCopias, true, true},
    {"CALCULA", "Calculadora", "Calculadora euros/pesetas", C::kCalculador, true, false},
    {"CALENDA", "Calendario", "Calendario perpetuo", C::kCalendario, false, false},
    {"AYUDA", "Ayuda", "Acceso a la ayuda/manual del programa", C::kAyuda, true, false},
    {"SALIDA", "Salir", "Termina la ejecución de CANALIX", C::kSalir, true, false},
};

constexpr MenuEntry kMenu[] = {
    {0, K::kMenu, "&Datos de...", "", "", C::kNone},
    {1, K::kItem, "Socios, Parcelas y Recibos", "Mantenimiento de datos de Socios, Parcelas y Recibos...",
     "SOCIOS", C::kSocios},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kSubmenu, "&Contabilidad", "Control de Gastos e Ingresos", "CONTABLE", C::kNone},
    {2, K::kItem, "&Grupos de Gastos/Ingresos", "Control de Grupos de Gastos e Ingresos", "CODIGO",
     C::kCodigos},
    {2, K::kItem, "&Conceptos de Gastos/Ingresos", "Control de Conceptos de Gastos e Ingresos", "CONCEP",
     C::kConceptos},
    {2, K::kItem, "C&ontrol de Gastos e Ingresos", "Control de Gastos e Ingresos", "50EU", C::kContabilidad},
    {2, K::kSeparator, "", "", "", C::kNone},
    {2, K::kItem, "L&ibro de Caja ", "Control del Libro de Caja en metálico ", "LIBROC", C::kCaja},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "&Datos más frecuentes y de configuración",
     "Mantenimiento de datos más frecuentes y configuración...", "FRECU", C::kFrecu},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "&Configurar impresión", "Elegir impresora...", "PRINT", C::kImpresora},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kSubmenu, "U&suarios", "Usuarios", "USUA", C::kNone},
    {2, K::kItem, "&Control de usuarios del programa", "", "USUA2", C::kUsuarios},
    {2, K::kItem, "C&ontrol de accesos al programa", "", "ACCESOS", C::kAccesos},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "&Salir...", "Terminar la ejecución de este programa", "SALIDA", C::kSalir},

    {0, K::kMenu, "&Utilidades", "", "", C::kNone},
    {1, K::kSubmenu, "&Copias de Seguridad", "", "COPIAS", C::kNone},
    {2, K::kItem, "&Realizar Copias de Seguridad ", "", "CANDADO", C::kCopias},
    {2, K::kItem, "R&estaurar Copias de Seguridad", "", "CANDADO2", C::kRestaurar},
    {2, K::kItem, "C&onfigurar Copias de Seguridad automáticas", "", "ZIP", C::kCopiasAuto},
    {1, K::kItem, "&Reorganizar Archivos", "Regeneración de índices..... ", "ORGANIZA", C::kReorganizar},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "C&alculadora de Windows", "Llama a la calculadora de Windows", "CALCUW", C::kCalcSistema},
    {1, K::kItem, "Ca&lculadora del programa      F9 ", "Llama a la calculadora del programa ", "PCALCULA",
     C::kCalculador},
    {1, K::kItem, "Cale&ndario                             F11 ", "Calendario perpetuo   ", "PCALENDA",
     C::kCalendario},
    {1, K::kItem, "&Editor de textos", "Editor de textos del sistema...", "EDITOR", C::kEditor},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "&Mapa de CANALIX", "Esquema de opciones de Canalix.....", "MAPA", C::kMapa},

    {0, K::kMenu, "&?", "", "", C::kNone},
    {1, K::kItem, "&Ayuda         F1", "Llama a la Ayuda del programa", "PAYUDA", C::kAyuda},
    {1, K::kSeparator, "", "", "", C::kNone},
    {1, K::kItem, "Acerca &de......", "Acerca de....", "ALERT2", C::kAcercaDe},
};

struct CommandName {
  Command command;
  std::string_view name;
};

constexpr CommandName kNames[] = {
    {C::kSocios, "Socios, Parcelas y Recibos"},
    {C::kRecibos, "Recibos"},
    {C::kParcelas, "Parcelas y lecturas"},
    {C::kContabilidad, "Control de Gastos e Ingresos"},
    {C::kCodigos, "Grupos de Gastos/Ingresos"},
    {C::kConceptos, "Conceptos de Gastos/Ingresos"},
    {C::kCaja, "Libro de Caja"},
    {C::kFrecu, "Datos más frecuentes y de configuración"},
    {C::kImpresora, "Configurar impresión"},
    {C::kUsuarios, "Control de usuarios del programa"},
    {C::kAccesos, "Control de accesos al programa"},
    {C::kReorganizar, "Reorganizar archivos"},
    {C::kCopias, "Realizar copias de seguridad"},
    {C::kRestaurar, "Restaurar copias de seguridad"},
    {C::kCopiasAuto, "Copias de seguridad automáticas"},
    {C::kCalculador, "Calculadora euros/pesetas"},
    {C::kCalendario, "Calendario perpetuo"},
    {C::kCalcSistema, "Calculadora del sistema"},
    {C::kEditor, "Editor de textos"},
    {C::kMapa, "Mapa de CANALIX"},
    {C::kAyuda, "Ayuda"},
    {C::kAcercaDe, "Acerca de"},
    {C::kSalir, "Salir"},
    {C::kCalculadoraF9, "Calculadora del programa"},
};

}  // namespace

std::span<const ToolButton> toolBarButtons() { return kToolBar; }

std::span<const MenuEntry> MENUPRINCIPAL() { return kMenu; }

std::string_view commandName(Command command) {
  for (const CommandName& n : kNames) {
    if (n.command == command) return n.name;
  }
  return {};
}

}  // namespace canalix::shell
