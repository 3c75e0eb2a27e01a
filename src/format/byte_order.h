// Little-endian byte access. Every multi-byte value on a card and in a record
// file is little-endian; it is read and written byte by byte so that neither
// the host's byte order nor its alignment rules matter.
#pragma once

#include <cstdint>

namespace qb {

inline uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (static_cast<unsigned>(p[1]) << 8));
}

inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void Put16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace qb
