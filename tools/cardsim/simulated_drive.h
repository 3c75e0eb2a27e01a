// The serial card drive's side of the protocol, on bytes: it takes what the
// host sends, one byte at a time, and hands what the drive answers to a
// line. It knows the handshake, the requests against the card image and the
// fault modes that concern the protocol; timing, noise and hang-ups belong
// to the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "cardio/serial_protocol.h"
#include "cardsim/card_image.h"
#include "cardsim/serial_service.h"

namespace qb::cardsim {

// What the line does after a wait or a transfer.
enum class Line { kOk, kHangup, kStop };

// Where the drive's answers go.
class DriveLine {
 public:
  virtual ~DriveLine() = default;
  // Byte `index` of those given to Take asks for an answer: the line waits
  // until that byte would have come over it.
  virtual Line Answering(size_t index) = 0;
  // Sends bytes at the line's pace.
  virtual Line Send(const uint8_t* data, size_t size) = 0;
  // Sends bytes each well after the one before (the "slow" fault).
  virtual Line SendSlowly(const uint8_t* data, size_t size) = 0;
};

struct DriveCounters {
  unsigned long exchanges = 0;
  unsigned long sectors_read = 0;
  unsigned long sectors_written = 0;
};

class SimulatedDrive {
 public:
  // `image` is served as write-protected unless `writable`.
  SimulatedDrive(const std::vector<FaultRule>& faults, CardImage& image, bool writable);
  SimulatedDrive(const SimulatedDrive&) = delete;
  SimulatedDrive& operator=(const SimulatedDrive&) = delete;

  // Takes `size` bytes of the host in order, answering through `line`;
  // stops at the first transfer that does not end kOk.
  Line Take(const uint8_t* data, size_t size, DriveLine& line);
  // A request is under way (SOH answered, frame not complete).
  bool in_frame() const { return in_frame_; }
  // Drops a request that stopped arriving.
  void DropFrame() { in_frame_ = false; }
  // The host closed the line: the next one starts with the identification.
  void Reset() {
    in_frame_ = false;
    expect_ = Expect::kIdentification;
  }
  const DriveCounters& counters() const { return counters_; }

 private:
  enum class Expect { kIdentification, kSelect, kStatus, kIdentify, kCapacity, kSector };

  Line TakeByte(uint8_t byte, size_t index, DriveLine& line);
  const FaultRule* FindRule(std::initializer_list<SerialFault> faults, uint8_t code) const;
  const FaultRule* FindHandshakeRule(std::initializer_list<SerialFault> faults) const;
  Line AnswerSoh(DriveLine& line);
  Line AnswerRequest(DriveLine& line);
  uint8_t Execute(uint8_t code, const uint8_t* payload, size_t size, uint8_t* answer,
                  size_t& answer_size);

  std::vector<FaultRule> faults_;
  CardImage& image_;
  bool writable_;
  bool in_frame_ = false;
  Expect expect_ = Expect::kIdentification;
  uint8_t request_[kSerialBufferSize] = {};
  FrameReceiver receiver_;
  DriveCounters counters_;
};

}  // namespace qb::cardsim
