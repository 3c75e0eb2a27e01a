#include "format/record_crc.h"

#include "format/byte_order.h"
#include "format/record_crc_paths.h"

namespace qb {
namespace {

using CrcFunction = uint16_t (*)(const uint8_t*, size_t, uint16_t);

// Below this length the tables are as fast as the folding's set-up.
constexpr size_t kFoldingMinLength = 32;

CrcFunction LongInputCrc() {
  static const CrcFunction chosen =
      RecordCrcFoldingAvailable() ? RecordCrc16Folded : RecordCrc16Table;
  return chosen;
}

}  // namespace

uint16_t RecordCrc16(const uint8_t* data, size_t n, uint16_t crc) {
  if (n < kFoldingMinLength) return RecordCrc16Table(data, n, crc);
  return LongInputCrc()(data, n, crc);
}

uint16_t RecordFileCrc(uint16_t kind, const uint8_t* data, uint16_t n) {
  uint8_t head[4];
  Put16(head, n);
  Put16(head + 2, kind);
  return RecordCrc16(data, n, RecordCrc16(head, sizeof head));
}

}  // namespace qb
