// The lock keys on Windows: the toggle bit of each key's state.
#include <windows.h>

#include "app/lock_keys.h"

namespace {

bool Toggled(int key) {
  return (GetKeyState(key) & 1) != 0;
}

}  // namespace

LockKeys ReadPlatformLockKeys() {
  LockKeys keys;
  keys.caps = Toggled(VK_CAPITAL);
  keys.num = Toggled(VK_NUMLOCK);
  keys.scroll = Toggled(VK_SCROLL);
  return keys;
}
