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

}  // namespace

uint16_t RecordCrc16(const uint8_t* data, size_t n, uint16_t crc) {
  for (size_t i = 0; i < n; ++i)
    crc = static_cast<uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

uint16_t RecordFileCrc(uint16_t kind, const uint8_t* data, uint16_t n) {
  uint8_t head[4];
  Put16(head, n);
  Put16(head + 2, kind);
  return RecordCrc16(data, n, RecordCrc16(head, sizeof head));
}

}  // namespace qb
