#include "format/record_crc.h"

#include <array>

#include "format/byte_order.h"

namespace qb {
namespace {

// Entry i is the XOR of the entries for the single bits set in i.
constexpr std::array<uint16_t, 256> MakeTable() {
  constexpr uint16_t kBitEntries[8] = {0xC0C1, 0xC181, 0xC301, 0xC601,
                                       0xCC01, 0xD801, 0xF001, 0xA001};
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t entry = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (i & (1u << bit)) entry ^= kBitEntries[bit];
    }
    table[i] = entry;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

// Tables for eight bytes at a time: kSlices[k][i] is the CRC contribution of
// byte value i followed by k zero bytes. Long records (a card record is up to
// 500 bytes, file records up to 65535) are checked on every fetch and export,
// so the byte loop would dominate those paths.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeSlices() {
  std::array<std::array<uint16_t, 256>, 8> slices{};
  slices[0] = MakeTable();
  for (unsigned k = 1; k < 8; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t prev = slices[k - 1][i];
      slices[k][i] = static_cast<uint16_t>(slices[0][prev & 0xFF] ^ (prev >> 8));
    }
  }
  return slices;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kSlices = MakeSlices();

}  // namespace

uint16_t RecordCrc16(const uint8_t* data, size_t n, uint16_t crc) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint8_t* p = data + i;
    crc = static_cast<uint16_t>(kSlices[7][(crc ^ p[0]) & 0xFF] ^
                                kSlices[6][((crc >> 8) ^ p[1]) & 0xFF] ^ kSlices[5][p[2]] ^
                                kSlices[4][p[3]] ^ kSlices[3][p[4]] ^ kSlices[2][p[5]] ^
                                kSlices[1][p[6]] ^ kSlices[0][p[7]]);
  }
  for (; i < n; ++i) crc = static_cast<uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

uint16_t RecordFileCrc(uint16_t kind, const uint8_t* data, uint16_t n) {
  uint8_t head[4];
  Put16(head, n);
  Put16(head + 2, kind);
  return RecordCrc16(data, n, RecordCrc16(head, sizeof head));
}

}  // namespace qb
