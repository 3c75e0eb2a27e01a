#include "format/record_file.h"

#include "format/byte_order.h"
#include "format/record_crc.h"
#include "format/record_kind.h"

namespace qb {

void EncodeRecordHeader(uint32_t number, uint16_t kind, const uint8_t* data, uint16_t n,
                        uint8_t out[kRecordFileHeaderSize]) {
  Put32(out, number);
  Put16(out + 6, n);
  Put16(out + 8, kind);
  // When the data already follows the header, the record lies as in the file.
  const uint16_t crc =
      data == out + kRecordFileHeaderSize ? StoredRecordCrc(out, n) : RecordFileCrc(kind, data, n);
  Put16(out + 4, crc);
}

bool RecordCrcMatches(const RecordHeader& header, const uint8_t* data) {
  return RecordFileCrc(header.kind, data, header.length) == header.crc;
}

bool RecordFileKindKnown(uint16_t kind) {
  return kind <= kKindControl || kind == kKindEndOfFile;
}

}  // namespace qb
