// Records of a record file, stored back to back with no file header:
//   u32 number (0 for the first record, one more for each after it)
//   u16 CRC over the length, kind and data
//   u16 n, the number of data bytes
//   u16 kind
//   n data bytes
// A file starts with a start-of-file record and ends with an end-of-file
// record (kinds kKindStartOfFile and kKindEndOfFile of record_kind.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/byte_order.h"
#include "format/record_crc.h"

namespace qb {

constexpr size_t kRecordFileHeaderSize = 10;

struct RecordHeader {
  uint32_t number = 0;
  uint16_t crc = 0;
  uint16_t length = 0;  // n
  uint16_t kind = 0;
};

// The ten header bytes of a record with its CRC computed over the length,
// kind and the n bytes at `data` (data may be null when n is 0).
void EncodeRecordHeader(uint32_t number, uint16_t kind, const uint8_t* data, uint16_t n,
                        uint8_t out[kRecordFileHeaderSize]);

// Reads the ten header bytes. Nothing is checked; the length is the file's
// claim and must be bounded by the caller before it reads data. Inline: the
// walks over a file take millions of headers.
inline void DecodeRecordHeader(const uint8_t* bytes, RecordHeader& header) {
  header.number = Get32(bytes);
  header.crc = Get16(bytes + 4);
  header.length = Get16(bytes + 6);
  header.kind = Get16(bytes + 8);
}

// The checksum of a record lying as the file holds it: `record` points at its
// ten header bytes, followed by its n data bytes. It covers the stored
// length, kind and data, one stretch of bytes.
inline uint16_t StoredRecordCrc(const uint8_t* record, uint16_t n) {
  return RecordCrc16(record + 6, size_t{4} + n);
}

// True when the stored CRC matches the header's length and kind and the
// header.length bytes at `data`.
bool RecordCrcMatches(const RecordHeader& header, const uint8_t* data);

// True for the kinds a record file may hold: 0 to 4 and 0x00FF.
bool RecordFileKindKnown(uint16_t kind);

}  // namespace qb
