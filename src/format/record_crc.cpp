#include "format/record_crc.h"

#include <atomic>

#include "format/byte_order.h"
#include "format/record_crc_paths.h"

namespace qb {
namespace {

using CrcFunction = uint16_t (*)(const uint8_t*, size_t, uint16_t);

// Shorter inputs go straight to the tables, where the folding would hand
// them anyway.
constexpr size_t kFoldingMinLength = 4;

uint16_t ChooseLongInputCrc(const uint8_t* data, size_t n, uint16_t crc);

// The way inputs from kFoldingMinLength bytes on are computed. It starts as
// a stand-in that makes the choice on the first call; a plain pointer read
// keeps the calls after it as cheap as a direct jump, where a function-local
// static would cost its guard and a stack frame on every call.
std::atomic<CrcFunction> long_input_crc{ChooseLongInputCrc};

uint16_t ChooseLongInputCrc(const uint8_t* data, size_t n, uint16_t crc) {
  const CrcFunction chosen = RecordCrcFoldingAvailable() ? RecordCrc16Folded : RecordCrc16Table;
  long_input_crc.store(chosen, std::memory_order_relaxed);
  return chosen(data, n, crc);
}

}  // namespace

uint16_t RecordCrc16(const uint8_t* data, size_t n, uint16_t crc) {
  if (n < kFoldingMinLength) return RecordCrc16Table(data, n, crc);
  return long_input_crc.load(std::memory_order_relaxed)(data, n, crc);
}

uint16_t RecordFileCrc(uint16_t kind, const uint8_t* data, uint16_t n) {
  uint8_t head[4];
  Put16(head, n);
  Put16(head + 2, kind);
  return RecordCrc16(data, n, RecordCrc16(head, sizeof head));
}

}  // namespace qb
