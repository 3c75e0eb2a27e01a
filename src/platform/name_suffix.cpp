#include "platform/name_suffix.h"

namespace qb {

std::string NameSuffix(uint64_t seed) {
  uint64_t mix = seed;
  mix ^= mix >> 33;
  mix *= 0xFF51AFD7ED558CCDull;
  mix ^= mix >> 33;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += kLetters[mix % 36];
    mix /= 36;
  }
  return suffix;
}

}  // namespace qb
