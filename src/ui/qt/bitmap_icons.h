// The system's bitmap names mapped to pictures of the desktop's icon theme
// (breeze), so that every screen asks for "SOCIOS" or "SALIDA" and nobody
// draws bitmaps by hand.
#pragma once

#include <QIcon>
#include <string_view>

namespace canalix::ui {

// Sets the icon theme the tables below are written for. Call once after the
// application object exists.
void useBitmapTheme();

// The picture of the bitmap `name` (any case); a generic picture of the style
// when the theme has none, never a null icon.
QIcon bitmapIcon(std::string_view name);

// The theme name the bitmap `name` maps to; empty when it is not in the table.
std::string_view bitmapThemeName(std::string_view name);

}  // namespace canalix::ui
