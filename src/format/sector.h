// The 512-byte card sector: its header (master number, sequence number,
// checksum word), the record area behind it, the word sum that validates it,
// and the walk over its records that gives its fill level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

constexpr size_t kSectorSize = 512;

// Fixed sector numbers of a prepared card.
constexpr uint32_t kReservedSector = 0;
constexpr uint32_t kMasterSector = 1;
constexpr uint32_t kFirstCommentSector = 2;

// Sector header.
constexpr size_t kMasterOffset = 0;    // u32 master number of the recording
constexpr size_t kSequenceOffset = 4;  // u32 sequence number
constexpr size_t kChecksumOffset = 8;  // u16 makes the word sum 0

// The record area follows the header up to the end of the sector. Offsets
// inside it are "record-area offsets".
constexpr size_t kRecordAreaOffset = 10;
constexpr size_t kRecordAreaSize = kSectorSize - kRecordAreaOffset;  // 502
// A record header never starts beyond this record-area offset; a walk that
// passes it has reached the end of the sector.
constexpr size_t kLastRecordStart = 498;
// A record on the card: u16 length of the data still to come, u8 kind, data.
constexpr size_t kCardRecordHeaderSize = 3;
// The longest record length a data sector may carry.
constexpr uint16_t kMaxCardRecordLength = 500;

// A sequence number with this bit set marks a sector as an alternative copy
// of the sector before it in ring order.
constexpr uint32_t kAlternateSequenceBit = 0x80000000u;

struct SectorHeader {
  uint32_t master = 0;
  uint32_t sequence = 0;
  uint16_t checksum = 0;
};

SectorHeader ReadSectorHeader(const uint8_t* sector);

// Sum modulo 65536 of the sector's 256 little-endian words. A valid sector
// sums to 0.
uint16_t SectorWordSum(const uint8_t* sector);

// Makes a filled sector ready for writing: master number and sequence number
// into the header, then the checksum word adjusted so that the word sum is 0.
void SealSector(uint8_t* sector, uint32_t master, uint32_t sequence);

// Distance from one record's start to the next: the 3 header bytes and the
// data, rounded up to an even count.
constexpr size_t RecordStep(uint16_t length) {
  return static_cast<size_t>(length & 0xFFFEu) + 4;
}

// Record-area offset of the sector's first free slot, or the first offset
// above kLastRecordStart reached by stepping over its records (the sector is
// full). Reads only inside the sector whatever its lengths say.
size_t SectorFillLevel(const uint8_t* sector);

// True when the sector starts as the reserved sector of a prepared card
// (0xFF in its first four bytes).
bool IsReservedSector(const uint8_t* sector);
// The reserved sector: all bytes 0xFF.
void EncodeReservedSector(uint8_t* sector);

// The first data sector of a freshly prepared card: one control record
// "(init)" (length 1, kind 4, marker 1), every other record-area byte free
// (0xFF), header bytes 0. The caller seals it.
void EncodeInitDataSector(uint8_t* sector);

}  // namespace qb
