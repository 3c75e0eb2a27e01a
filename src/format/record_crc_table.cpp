#include "format/record_crc_paths.h"
#include "format/record_crc_tables.h"

namespace qb {
namespace {

using record_crc::kSlices;

}  // namespace

uint16_t RecordCrc16Table(const uint8_t* data, size_t n, uint16_t crc) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint8_t* p = data + i;
    crc = static_cast<uint16_t>(kSlices[7][(crc ^ p[0]) & 0xFF] ^
                                kSlices[6][((crc >> 8) ^ p[1]) & 0xFF] ^ kSlices[5][p[2]] ^
                                kSlices[4][p[3]] ^ kSlices[3][p[4]] ^ kSlices[2][p[5]] ^
                                kSlices[1][p[6]] ^ kSlices[0][p[7]]);
  }
  for (; i < n; ++i) crc = static_cast<uint16_t>(kSlices[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace qb
