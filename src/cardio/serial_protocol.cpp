#include "cardio/serial_protocol.h"

#include <cstring>

#include "format/byte_order.h"

namespace qb {

uint8_t FrameChecksum(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum ^= bytes[i];
  return sum;
}

size_t BuildFrame(uint8_t* frame, uint8_t sequence, uint8_t code, const uint8_t* payload,
                  size_t payload_size) {
  if (payload_size > kMaxFrameLength - kFrameHeaderSize) return 0;
  const uint16_t length = static_cast<uint16_t>(kFrameHeaderSize + payload_size);
  Put16(frame, length);
  frame[2] = sequence;
  frame[3] = code;
  if (payload_size > 0) std::memcpy(frame + kFrameHeaderSize, payload, payload_size);
  frame[length] = FrameChecksum(frame, length);
  return static_cast<size_t>(length) + 1;
}

size_t BuildSlotRequest(uint8_t* frame, uint8_t sequence, uint8_t code, uint8_t slot) {
  return BuildFrame(frame, sequence, code, &slot, 1);
}

size_t BuildReadRequest(uint8_t* frame, uint8_t sequence, uint8_t slot, uint32_t sector) {
  uint8_t payload[kReadRequestLength - kFrameHeaderSize] = {slot, 0};
  Put32(payload + (kRequestSectorOffset - kFrameHeaderSize), sector);
  return BuildFrame(frame, sequence, kCmdReadSector, payload, sizeof payload);
}

size_t BuildWriteRequest(uint8_t* frame, uint8_t sequence, uint8_t slot, uint32_t sector,
                         const uint8_t* data) {
  uint8_t payload[kWriteRequestLength - kFrameHeaderSize] = {slot, 0};
  Put32(payload + (kRequestSectorOffset - kFrameHeaderSize), sector);
  std::memcpy(payload + (kRequestDataOffset - kFrameHeaderSize), data, kSectorBytes);
  return BuildFrame(frame, sequence, kCmdWriteSector, payload, sizeof payload);
}

void FrameReceiver::Reset() {
  count_ = 0;
  state_ = State::kMore;
}

uint16_t FrameReceiver::length() const {
  return count_ >= 2 ? Get16(buffer_) : 0;
}

size_t FrameReceiver::Wanted() const {
  if (state_ != State::kMore) return 0;
  if (count_ < 2) return 2 - count_;
  // Not complete, so L >= count: the frame ends with byte L, or overflows
  // with the first byte beyond the buffer.
  size_t end = static_cast<size_t>(length()) + 1;
  if (end > kSerialBufferSize + 1) end = kSerialBufferSize + 1;
  return end - count_;
}

FrameReceiver::State FrameReceiver::Take(const uint8_t* bytes, size_t size, size_t& used) {
  used = 0;
  while (state_ == State::kMore && used < size) {
    if (count_ >= kSerialBufferSize) {
      ++used;  // taken from the line, but not stored
      state_ = State::kOverflow;
      break;
    }
    buffer_[count_++] = bytes[used++];
    if (count_ >= 2 && count_ > length())
      state_ = FrameChecksum(buffer_, count_) == 0 ? State::kComplete : State::kBadChecksum;
  }
  return state_;
}

bool FrameReceiver::HasHeader() const {
  return state_ == State::kComplete && length() >= kFrameHeaderSize;
}

size_t FrameReceiver::payload_size() const {
  return HasHeader() ? length() - kFrameHeaderSize : 0;
}

}  // namespace qb
