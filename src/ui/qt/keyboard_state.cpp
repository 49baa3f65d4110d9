// lockKeys: the X keyboard extension's indicator state, through libX11 loaded
// with dlopen. Indicator bit 0 is Caps Lock and bit 1 Num Lock in the keyboard
// descriptions X servers ship.
#include "ui/qt/keyboard_state.h"

#include <dlfcn.h>

#include <QGuiApplication>

namespace canalix::ui {
namespace {

using OpenDisplay = void* (*)(const char*);
using GetIndicatorState = int (*)(void*, unsigned int, unsigned int*);
constexpr unsigned int kUseCoreKeyboard = 0x0100;

struct X11 {
  void* display = nullptr;
  GetIndicatorState getState = nullptr;
};

X11 openX11() {
  X11 x;
  void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
  if (!lib) return x;
  auto open = reinterpret_cast<OpenDisplay>(dlsym(lib, "XOpenDisplay"));
  x.getState = reinterpret_cast<GetIndicatorState>(dlsym(lib, "XkbGetIndicatorState"));
  if (open && x.getState) x.display = open(nullptr);
  return x;
}

}  // namespace

LockKeys lockKeys() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return {};
  static const X11 x = openX11();
  if (!x.display) return {};
  unsigned int state = 0;
  if (x.getState(x.display, kUseCoreKeyboard, &state) != 0) return {};
  return LockKeys{true, (state & 1u) != 0, (state & 2u) != 0};
}

}  // namespace canalix::ui
