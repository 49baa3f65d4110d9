// The lock keys' state for the message bar's keyboard indicators.
#pragma once

namespace canalix::ui {

struct LockKeys {
  bool known = false;  // false where the windowing system does not tell (offscreen, Wayland)
  bool capsLock = false;
  bool numLock = false;
};

// The keyboard's indicator lights, read from the X server when the program
// runs on X11 (libX11 is loaded at run time, so nothing links against it).
LockKeys lockKeys();

}  // namespace canalix::ui
