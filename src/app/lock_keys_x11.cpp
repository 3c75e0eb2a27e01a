// The lock keys under X11: the keyboard extension's indicators named
// "Caps Lock", "Num Lock" and "Scroll Lock" on the application's own display
// connection. On any other platform (Wayland, offscreen) nothing is read.
#include "app/lock_keys.h"

#include <QGuiApplication>

// Last: the X headers define macros (Bool, Status, None) that Qt's headers
// must not see.
#include <X11/XKBlib.h>

namespace {

// The indicator's state, or empty when the display has no such indicator.
std::optional<bool> Indicator(Display* display, const char* name) {
  // Only an existing atom: a server that never heard the name has no
  // indicator of it.
  Atom atom = XInternAtom(display, name, True);
  if (atom == 0) return std::nullopt;
  Bool on = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return std::nullopt;
  return on != False;
}

}  // namespace

LockKeys ReadPlatformLockKeys() {
  if (qGuiApp == nullptr) return {};
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return {};
  LockKeys keys;
  keys.caps = Indicator(display, "Caps Lock");
  keys.num = Indicator(display, "Num Lock");
  keys.scroll = Indicator(display, "Scroll Lock");
  return keys;
}
