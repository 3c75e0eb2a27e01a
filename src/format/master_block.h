// The master sector (sector 1): the recording device's settings, where the
// data sectors begin and how many sectors are in use, behind a fixed
// signature that identifies a prepared card.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// 18 characters and the terminating zero, stored at sector offset 13.
constexpr char kMasterSignature[] = "QUILLBANK CARD V01";
constexpr size_t kMasterSignatureSize = sizeof kMasterSignature;  // 19
static_assert(kMasterSignatureSize == 19);

// Sector offsets of the master record.
constexpr size_t kMasterRecordLengthOffset = 10;  // u16, 499
constexpr size_t kMasterKindOffset = 12;          // u8, kind 1
constexpr size_t kMasterSignatureOffset = 13;
constexpr size_t kMasterFixedWord1Offset = 32;  // u16, 256
constexpr size_t kMasterFixedWord2Offset = 34;  // u16, 32
constexpr size_t kMasterFirstDataOffset = 36;   // u32
constexpr size_t kMasterSectorsOffset = 40;     // u32
constexpr size_t kMasterFlagsOffset = 44;       // u16
constexpr size_t kMasterBaudrateOffset = 46;    // u32
constexpr size_t kMasterParameterOffset = 50;   // u16
constexpr size_t kMasterProtocolOffset = 52;    // u16
constexpr size_t kMasterTimeoutOffset = 54;     // u16

constexpr uint16_t kMasterRecordLength = 499;

struct MasterBlock {
  uint32_t master = 0;     // master number of the recording
  uint32_t firstData = 0;  // first data sector F
  uint32_t sectors = 0;    // sectors in use S; data sectors are F .. S-1
  uint16_t flags = 0;      // kFlagOverwriteOld | kFlagOutOfMemory
  uint32_t baudrate = 0;
  uint16_t parameterCode = 0;
  uint16_t protocolCode = 0;
  uint16_t timeout = 0;
};

// Fills a whole master sector image: zeroes it, then writes the master number,
// the master record's length, kind, signature and fixed words, and the fields.
// The caller seals it with sequence number 1.
void EncodeMasterBlock(const MasterBlock& block, uint8_t* sector);

// Reads the fields of a master sector. False, with `block` untouched, when the
// signature differs. Length, kind, fixed words and checksum are not checked.
bool DecodeMasterBlock(const uint8_t* sector, MasterBlock& block);

}  // namespace qb
