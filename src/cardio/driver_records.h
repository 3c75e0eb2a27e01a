// The card driver's request codes, result values and the byte layouts of the
// records exchanged with it, shared by the card driver back-end and the
// stand-in driver program. Every field is little-endian and read or written
// byte by byte; unlisted bytes of a record are zero when written and ignored
// when read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

// Request codes.
constexpr uint32_t kDriverInfoCode = 0xA0002804;
constexpr uint32_t kSlotStatusCode = 0xA0002808;
constexpr uint32_t kReadCode = 0xA000280C;
constexpr uint32_t kWriteCode = 0xA0002810;
constexpr uint32_t kIdentifyCode = 0xA0002820;

// The longest device name ("\\.\" and the name) a card driver is opened by.
constexpr size_t kMaxDriverPath = 63;

// Byte offsets on the card are 32-bit, and so is the end of every transfer:
// the last sector a request can reach whole ends at byte 2^32 - 512. A card
// is used up to this many sectors through the card driver.
constexpr uint32_t kMaxDriverSectors = 8388607;  // (2^32 - 512) / 512

// Result values with a name.
constexpr uint32_t kDriverOk = 0;
constexpr uint32_t kKdvErrParameter = 0xC000000D;
constexpr uint32_t kKdvErrNoDevice = 0xC000000E;
constexpr uint32_t kKdvErrBadRequest = 0xC0000010;
constexpr uint32_t kKdvErrBadSector = 0xC0000015;
constexpr uint32_t kKdvErrNoMemory = 0xC0000017;
constexpr uint32_t kKdvErrProtected = 0xC00000A2;
constexpr uint32_t kKdvErrNotReady = 0xC00000A3;
constexpr uint32_t kKdvErrMediaAccess = 0xC000016A;
constexpr uint32_t kKdvErrReadFault = 0xE0000100;
constexpr uint32_t kKdvErrWriteFault = 0xE0000101;
constexpr uint32_t kKdvErrGeneral = 0xE0000102;
// The slot's card is in use by another client of the driver; reported as
// the card being in use by another job.
constexpr uint32_t kKdvErrBusy = 0xC0000043;

// The name of a result ("KDV_ERR_PARAMETER"), or "API result %08lX" filled
// with the value for one without a name.
std::string DriverResultName(uint32_t result);

// DriverInfo: the answer to the information request.
constexpr size_t kDriverInfoSize = 48;
constexpr size_t kSignatureSize = 4;
constexpr size_t kDriverNameSize = 16;
constexpr char kDriverSignature[] = "KDV";

struct DriverInfo {
  std::string signature;  // at most 4 bytes, up to the first NUL
  std::string name;       // at most 16 bytes, up to the first NUL
  uint16_t version_major = 0;
  uint16_t version_minor = 0;
  uint16_t api_major = 0;
  uint16_t api_minor = 0;
  uint16_t slots = 0;
};

DriverInfo DecodeDriverInfo(const uint8_t* record);
// Texts longer than their fields are cut; a text that fills its field has no
// terminating NUL.
void EncodeDriverInfo(const DriverInfo& info, uint8_t* record);

// DriverRequest: the input of the status, identify and read requests.
constexpr size_t kDriverRequestSize = 32;
constexpr uint16_t kReadRequestMarker = 2;

struct DriverRequest {
  uint16_t first = 0;   // status and identify: the slot; read: the value 2
  uint32_t offset = 0;  // read: byte offset on the card
  uint16_t slot = 0;    // read: the slot
};

DriverRequest DecodeDriverRequest(const uint8_t* record);
void EncodeSlotRequest(uint16_t slot, uint8_t* record);
void EncodeReadRequest(uint32_t offset, uint16_t slot, uint8_t* record);

// SlotStatus: the answer to the status request; only byte 0 carries flags.
constexpr size_t kSlotStatusSize = 32;
constexpr uint8_t kSlotWriteProtected = 0x01;
constexpr uint8_t kSlotCardInserted = 0x04;

// WriteRequest: a 36-byte header followed by the piece of data.
constexpr size_t kWriteHeaderSize = 36;
constexpr uint32_t kMaxWritePiece = 32768;
constexpr uint16_t kWriteMarker = 0x55AA;

struct WriteHeader {
  uint16_t first = kReadRequestMarker;  // the value 2
  uint16_t marker = kWriteMarker;
  uint32_t offset = 0;
  uint32_t length = 0;
  uint16_t slot = 0;
};

WriteHeader DecodeWriteHeader(const uint8_t* record);
void EncodeWriteHeader(const WriteHeader& header, uint8_t* record);

// IdentifyData: the card's 512-byte ATA identity block, 256 words.
constexpr size_t kIdentifySize = 512;

struct IdentifyData {
  uint16_t cylinders = 0;          // word 1
  uint16_t heads = 0;              // word 3
  uint16_t sectors_per_track = 0;  // word 6
  std::string serial;              // words 10-19
  std::string firmware;            // words 23-26
  std::string model;               // words 27-46
  uint16_t validity = 0;           // word 53: non-zero when words 54-58 hold values
  uint32_t current_capacity = 0;   // words 57-58, low word first
};

// ATA text of `words` words: each word's two bytes swapped into reading
// order, cut at a NUL, trailing blanks removed, leading blanks skipped.
std::string DecodeAtaText(const uint8_t* words, size_t word_count);
// The reverse: the text blank-padded (or cut) to the field, bytes swapped.
void EncodeAtaText(const std::string& text, uint8_t* words, size_t word_count);

IdentifyData DecodeIdentify(const uint8_t* block);
// Zeroes the block and writes the fields.
void EncodeIdentify(const IdentifyData& data, uint8_t* block);

// Cylinders × heads × sectors per track in 32 bits, replaced by the current
// capacity when word 53 is non-zero.
uint32_t IdentifyCapacity(const IdentifyData& data);

// The identity of a card of `sectors` sectors as the stand-in driver shows
// it: a geometry whose product never exceeds the card, word 53 = 1 and the
// capacity (at most 2^32 - 1) in words 57-58, and fixed texts.
IdentifyData SynthesizeIdentify(uint64_t sectors);

}  // namespace qb
