// Platforms without a way to read the lock keys: all of them unknown.
#include "app/lock_keys.h"

LockKeys ReadPlatformLockKeys() {
  return {};
}
