// The byte tables of RecordCrc16, shared by its table version and by the
// folding version, which takes the CRC of its final 16 bytes from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qb::record_crc {

// kSlices[k][i] is the CRC contribution of byte value i followed by k zero
// bytes; kSlices[0] is the classic byte table, whose entry i is the XOR of
// the entries for the single bits set in i. Sixteen slices let the 16 bytes
// of a block be looked up independently of each other.
constexpr size_t kSliceCount = 16;

constexpr std::array<std::array<uint16_t, 256>, kSliceCount> MakeSlices() {
  constexpr uint16_t kBitEntries[8] = {0xC0C1, 0xC181, 0xC301, 0xC601,
                                       0xCC01, 0xD801, 0xF001, 0xA001};
  std::array<std::array<uint16_t, 256>, kSliceCount> slices{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t entry = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (i & (1u << bit)) entry ^= kBitEntries[bit];
    }
    slices[0][i] = entry;
  }
  for (size_t k = 1; k < kSliceCount; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t prev = slices[k - 1][i];
      slices[k][i] = static_cast<uint16_t>(slices[0][prev & 0xFF] ^ (prev >> 8));
    }
  }
  return slices;
}

inline constexpr std::array<std::array<uint16_t, 256>, kSliceCount> kSlices = MakeSlices();

// The CRC, from start value 0, of 16 bytes given as two little-endian words.
inline uint16_t CrcOfBlock(uint64_t first, uint64_t last) {
  uint16_t crc = 0;
  for (unsigned k = 0; k < 8; ++k) {
    crc ^= kSlices[15 - k][(first >> (8 * k)) & 0xFF];
    crc ^= kSlices[7 - k][(last >> (8 * k)) & 0xFF];
  }
  return crc;
}

}  // namespace qb::record_crc
