// The state of the lock keys (Caps Lock, Num Lock, Scroll Lock) as far as
// the platform lets the application read it. One implementation per
// platform: lock_keys_x11.cpp (the X keyboard extension), lock_keys_win32.cpp
// (the key state) and lock_keys_none.cpp (nothing can be read).
#pragma once

#include <optional>

struct LockKeys {
  // Empty when the state of that key cannot be read.
  std::optional<bool> caps;
  std::optional<bool> num;
  std::optional<bool> scroll;
};

// The lock keys now, as the running platform tells them.
LockKeys ReadPlatformLockKeys();
