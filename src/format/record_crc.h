// The checksum of a record-file record: a 16-bit CRC with the reflected
// polynomial 0xA001, start value 0x4B44 and no final XOR. It covers the
// record's length, kind and data, so a changed byte in any of them shows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

constexpr uint16_t kRecordCrcStart = 0x4B44;

// CRC of n bytes, continuing from `crc` (the start value for a fresh CRC).
uint16_t RecordCrc16(const uint8_t* data, size_t n, uint16_t crc = kRecordCrcStart);

// CRC of a record-file record: over its u16 length n, its u16 kind and its n
// data bytes, as they stand in the file.
uint16_t RecordFileCrc(uint16_t kind, const uint8_t* data, uint16_t n);

}  // namespace qb
