// The main window's tool bar and menu (MENUPRINCIPAL) as data: one table each,
// read by one loop of the window. Texts are the system's own, spaces included.
#pragma once

#include <span>
#include <string_view>

namespace canalix::shell {

// What a button, menu item or function key asks the shell to do.
enum class Command {
  kNone,
  kSocios,         // BROWSOCIOS
  kRecibos,        // RECIBOSTODOS
  kParcelas,       // PARCELASTODAS
  kContabilidad,   // CREAGASTOS
  kCodigos,        // table browser on CODIGOS
  kConceptos,      // table browser on CONCEPTO
  kCaja,           // table browser on CAJA
  kFrecu,          // FRECU
  kImpresora,      // printer set-up
  kUsuarios,       // table browser on USUARIOS
  kAccesos,        // table browser on ACCESOS
  kReorganizar,    // INDICES, asking first
  kCopias,         // COPIASZIP
  kRestaurar,      // restore of a backup
  kCopiasAuto,     // COPIASA
  kCalculador,     // CALCULADOR
  kCalendario,     // CALENDARIO
  kCalcSistema,    // the desktop's calculator
  kEditor,         // the desktop's text editor
  kMapa,           // MAPA
  kAyuda,          // the help manual, as F1
  kAcercaDe,       // ACERCADE
  kSalir,          // asks the main window to close
  kCalculadoraF9,  // the desktop calculator object of F9
};

struct ToolButton {
  std::string_view image;  // bitmap name
  std::string_view text;   // under the image
  std::string_view tooltip;
  Command command;
  bool barBefore;     // a bar stands before this button
  bool showsPressed;  // stays pressed while its screen is open
};

// The eleven buttons, in order.
std::span<const ToolButton> toolBarButtons();

enum class MenuEntryKind { kMenu, kItem, kSubmenu, kSeparator };

// One line of the menu. Depth 0 is a menu of the bar, 1 its items, 2 the items
// of a submenu; entries follow each other in the order they are shown.
struct MenuEntry {
  int depth;
  MenuEntryKind kind;
  std::string_view text;     // "&" marks the mnemonic
  std::string_view message;  // shown in the message bar while highlighted
  std::string_view bitmap;
  Command command;
};

// MENUPRINCIPAL: every entry of the main menu.
std::span<const MenuEntry> MENUPRINCIPAL();

// The name a notice gives for `command` ("Socios", "Calendario"...).
std::string_view commandName(Command command);

}  // namespace canalix::shell
