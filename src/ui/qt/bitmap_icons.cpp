// The table of bitmap names and theme icons.
#include "ui/qt/bitmap_icons.h"

#include <QApplication>
#include <QStringList>
#include <QStyle>
#include <cctype>

#include "store/names.h"

namespace canalix::ui {
namespace {

struct BitmapName {
  std::string_view bitmap;
  std::string_view theme;
};

// Tool bar, menu and About box pictures.
constexpr BitmapName kBitmaps[] = {
    {"SOCIOS", "system-users"},
    {"RECIBOS", "view-financial-list"},
    {"PARCELA", "map-flat"},
    {"CONTABLE", "view-bank"},
    {"FRECU", "configure"},
    {"ORGANIZA", "view-refresh"},
    {"CANDADO", "document-encrypt"},
    {"CANDADO2", "document-revert"},
    {"CALCULA", "accessories-calculator"},
    {"CALENDA", "view-calendar"},
    {"AYUDA", "help-contents"},
    {"SALIDA", "application-exit"},
    {"SALIR", "application-exit"},
    {"CASA", "go-home"},
    {"CODIGO", "view-list-details"},
    {"CONCEP", "view-list-text"},
    {"50EU", "view-financial-category-expense"},
    {"LIBROC", "view-financial-account-cash"},
    {"PRINT", "document-print"},
    {"USUA", "user-identity"},
    {"USUA2", "system-users"},
    {"ACCESOS", "view-history"},
    {"COPIAS", "folder-sync"},
    {"ZIP", "archive-insert"},
    {"CALCUW", "accessories-calculator"},
    {"PCALCULA", "accessories-calculator"},
    {"PCALENDA", "view-calendar-month"},
    {"EDITOR", "accessories-text-editor"},
    {"MAPA", "view-process-tree"},
    {"PAYUDA", "help-contents"},
    {"ALERT2", "help-about"},
    {"CANALIX", "view-bank"},
    // The print preview's tool bar.
    {"PRIMERA", "go-first"},
    {"ANTERIOR", "go-previous"},
    {"SIGUIENTE", "go-next"},
    {"ULTIMA", "go-last"},
    {"ZOOM", "zoom-in"},
    {"NOZOOM", "zoom-fit-page"},
    {"DOSPAGINAS", "view-pages-facing"},
    {"UNAPAGINA", "view-pages-single"},
    {"PDF", "application-pdf"},
};

using store::sameName;

}  // namespace

void useBitmapTheme() {
  // Some platform plugins (offscreen, minimal) give no search path but Qt's
  // resources: the installed themes live under the XDG data folders.
  QStringList paths = QIcon::themeSearchPaths();
  QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
  if (dataDirs.isEmpty()) dataDirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    const QString icons = dir + QStringLiteral("/icons");
    if (!paths.contains(icons)) paths << icons;
  }
  if (paths != QIcon::themeSearchPaths()) QIcon::setThemeSearchPaths(paths);
  if (QIcon::themeName() != QLatin1String("breeze")) QIcon::setThemeName(QStringLiteral("breeze"));
}

std::string_view bitmapThemeName(std::string_view name) {
  for (const BitmapName& b : kBitmaps) {
    if (sameName(b.bitmap, name)) return b.theme;
  }
  return {};
}

QIcon bitmapIcon(std::string_view name) {
  useBitmapTheme();
  const std::string_view theme = bitmapThemeName(name);
  if (!theme.empty()) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(theme.data(), qsizetype(theme.size())));
    if (!icon.isNull()) return icon;
  }
  return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

}  // namespace canalix::ui
