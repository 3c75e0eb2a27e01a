// The serial card drive's protocol on byte buffers: frames, their checksum
// and the receiver that collects a frame byte by byte. The same frame goes
// both ways:
//   0  2  L: bytes of the frame before the checksum (4 + payload), LE
//   2  1  sequence number
//   3  1  request: command code; response: status
//   4     payload (L - 4 bytes)
//   L  1  checksum: XOR of bytes 0 to L-1, so all L+1 bytes XOR to 0
// Nothing here touches a port; the back-end and the simulated drive both
// build on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// Transmit and receive buffers hold at most this many bytes of a frame.
constexpr size_t kSerialBufferSize = 528;
constexpr size_t kFrameHeaderSize = 4;  // L, sequence, command or status
// The largest L that fits a buffer together with its checksum.
constexpr uint16_t kMaxFrameLength = kSerialBufferSize - 1;

// Control bytes of the handshake: SOH, answered by STX, then the request
// frame, answered by ACK, then the response frame.
constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kAck = 0x06;

// Command codes.
constexpr uint8_t kCmdIdentification = 0x02;  // response: NUL-terminated text
constexpr uint8_t kCmdSelectSlot = 0x11;      // slot; sent before the status
constexpr uint8_t kCmdCardStatus = 0x0A;      // slot; response: flags
constexpr uint8_t kCmdIdentifyCard = 0x0E;    // slot; response: 512-byte ATA identity
constexpr uint8_t kCmdCapacity = 0x0B;        // slot; response: sectors, u32 LE
constexpr uint8_t kCmdReadSector = 0x0C;      // slot, x, sector u32; response: 512 bytes
constexpr uint8_t kCmdWriteSector = 0x0D;     // slot, x, sector u32, 512 bytes

// Flags in the card status response.
constexpr uint8_t kCardNotSupported = 0x02;
constexpr uint8_t kCardWriteProtected = 0x40;

// Response status: 0 and 10 are success, everything else a command error.
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusOkAlso = 10;
inline bool SerialStatusGood(uint8_t status) {
  return status == kStatusOk || status == kStatusOkAlso;
}

// Frame sizes of the sector commands: L of a read request and the payload
// offset of the sector number and data.
constexpr uint16_t kReadRequestLength = 10;
constexpr uint16_t kWriteRequestLength = 522;
constexpr size_t kRequestSlotOffset = 4;
constexpr size_t kRequestSectorOffset = 6;
constexpr size_t kRequestDataOffset = 10;
constexpr size_t kSectorBytes = 512;

// XOR of `count` bytes.
uint8_t FrameChecksum(const uint8_t* bytes, size_t count);

// Writes a frame into `frame` (kSerialBufferSize bytes): L, sequence, code
// (or status), payload and checksum. Returns the number of bytes to send
// (L + 1), or 0 when the payload does not fit the buffer.
size_t BuildFrame(uint8_t* frame, uint8_t sequence, uint8_t code, const uint8_t* payload,
                  size_t payload_size);

// The requests of the commands with a slot byte (0x11, 0x0A, 0x0E, 0x0B).
size_t BuildSlotRequest(uint8_t* frame, uint8_t sequence, uint8_t code, uint8_t slot);
// A sector read: slot, a byte of no meaning (0), the sector number.
size_t BuildReadRequest(uint8_t* frame, uint8_t sequence, uint8_t slot, uint32_t sector);
// A sector write: as the read, followed by the 512 data bytes.
size_t BuildWriteRequest(uint8_t* frame, uint8_t sequence, uint8_t slot, uint32_t sector,
                         const uint8_t* data);

// The sequence number of the next request: one more than that of the last
// frame received into `receive_buffer` (byte 2; the buffer starts zeroed, so
// the first request carries 1).
inline uint8_t NextSequence(const uint8_t* receive_buffer) {
  return static_cast<uint8_t>(receive_buffer[2] + 1);
}

// Collects one frame into a buffer of kSerialBufferSize bytes. A frame is
// complete as soon as at least 2 bytes are in and more than the L of the
// first two; a byte beyond the buffer is an overflow and is not stored.
class FrameReceiver {
 public:
  enum class State {
    kMore,         // the frame is not complete yet
    kComplete,     // complete, the checksum holds
    kBadChecksum,  // complete, but the bytes do not XOR to 0
    kOverflow,     // more bytes than the buffer holds
  };

  // `buffer` must hold kSerialBufferSize bytes and outlive the receiver. Its
  // bytes are not cleared: a frame overwrites only what it is long.
  explicit FrameReceiver(uint8_t* buffer) : buffer_(buffer) {}

  void Reset();
  // How many bytes may be taken next without reading past the end of the
  // frame (and at most the one byte that shows an overflow); 0 once the
  // frame has ended.
  size_t Wanted() const;
  // Takes bytes one at a time until the frame ends; `used` tells how many
  // were taken.
  State Take(const uint8_t* bytes, size_t size, size_t& used);

  State state() const { return state_; }
  size_t count() const { return count_; }
  // L of the frame (valid after 2 bytes).
  uint16_t length() const;
  // A complete frame long enough to carry its sequence and status (L >= 4).
  bool HasHeader() const;
  // The payload of a complete frame and its size (L - 4, or 0).
  const uint8_t* payload() const { return buffer_ + kFrameHeaderSize; }
  size_t payload_size() const;

 private:
  uint8_t* buffer_;
  size_t count_ = 0;
  State state_ = State::kMore;
};

}  // namespace qb
