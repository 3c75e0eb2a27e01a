// The byte tables of RecordCrc16's table version.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qb::record_crc {

// kSlices[k][i] is the CRC contribution of byte value i followed by k zero
// bytes; kSlices[0] is the classic byte table, whose entry i is the XOR of
// the entries for the single bits set in i. Eight slices let the 8 bytes of
// a step be looked up independently of each other.
constexpr size_t kSliceCount = 8;

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

}  // namespace qb::record_crc
