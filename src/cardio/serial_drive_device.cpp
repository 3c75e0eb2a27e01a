#include "cardio/serial_drive_device.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "cardio/capacity_report.h"
#include "cardio/driver_records.h"
#include "cardio/serial_protocol.h"
#include "cardio/serial_settings.h"
#include "format/byte_order.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace qb {
namespace {

// Longest single block in poll(): the user's Escape is looked for between
// blocks, so it is noticed within this time and the key poll's pace, well
// within 50 ms.
constexpr int kSliceMs = 10;
// The key poll runs at most this often, however fast bytes arrive.
constexpr int64_t kKeyCheckMs = kUserBreakPollMs;

// The drive numbers its frames: each request carries on from the sequence
// byte of the last response. The drive expects that also across openings of
// the port, so the last one seen is kept for the process.
uint8_t g_line_sequence = 0;

enum class Wait { kInput, kTimeout, kBreak };
enum class Send { kSent, kTimeout, kBreak };

// One opening of the serial port with everything an exchange needs: the
// settings, the line rate, the frame buffers and whether the line is gone.
class SerialLink {
 public:
  SerialLink() { receive_[2] = g_line_sequence; }
  ~SerialLink() { Close(); }
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Reads the settings and opens the port. On failure reports "Error opening
  // COM%lu:" with the system error set.
  bool OpenPort();
  // Sets the line up (rate, 8N1, RTS raised); reports as OpenPort.
  bool SetUp();
  // Clears RTS and closes the port (nothing when it is closed).
  void Close() { port_.Close(); }

  bool Identify(std::string* text);
  bool SlotCommand(uint8_t code, uint8_t slot, FrameReceiver& receiver);
  bool ReadSector(uint8_t slot, uint32_t sector, uint8_t* buffer);
  bool WriteSector(uint8_t slot, uint32_t sector, const uint8_t* buffer);
  uint8_t* receive() { return receive_; }

 private:
  bool UserBreak();
  int64_t LineMillis(size_t bytes) const;
  Wait WaitForInput(int64_t deadline);
  size_t ReadArrived(uint8_t* data, size_t size);
  Send SendBytes(const uint8_t* data, size_t size, int64_t deadline);
  bool SendAndAwait(const uint8_t* data, size_t size, uint8_t expected, unsigned long timeout_ms);
  bool ReceiveResponse(FrameReceiver& receiver);
  bool Exchange(size_t size, FrameReceiver& receiver);
  bool ExchangeOnce(size_t size, FrameReceiver& receiver);

  SerialPort port_;
  SerialSettings settings_;
  uint32_t rate_ = 9600;
  // The line is gone (hang-up or a failed transfer): waits then only sleep
  // out their time, as on a silent line, instead of polling a dead handle.
  bool dead_ = false;
  int64_t last_key_check_ = 0;
  uint8_t transmit_[kSerialBufferSize] = {};
  // Keeps the last response, whose sequence byte the next request carries on
  // from.
  uint8_t receive_[kSerialBufferSize] = {};
};

int SliceUntil(int64_t deadline) {
  int64_t left = deadline - MonotonicMillis();
  return static_cast<int>(std::clamp<int64_t>(left, 0, kSliceMs));
}

// True when the user has broken the job (reported once, by the job frame);
// the key itself is looked at most every kKeyCheckMs.
bool SerialLink::UserBreak() {
  if (UserBreakNoted()) return true;
  int64_t now = MonotonicMillis();
  if (now - last_key_check_ < kKeyCheckMs) return false;
  last_key_check_ = now;
  return qb::UserBreak();
}

// Milliseconds the line needs for `bytes` bytes of 10 bits, rounded up.
int64_t SerialLink::LineMillis(size_t bytes) const {
  uint32_t rate = rate_ == 0 ? 1 : rate_;
  return static_cast<int64_t>((bytes * 10000 + rate - 1) / rate);
}

// Blocks until input arrives, the deadline passes or the user breaks.
Wait SerialLink::WaitForInput(int64_t deadline) {
  for (;;) {
    // A line that is gone delivers nothing more: it ends as a silent line
    // would, without making the user sit out the wait.
    if (dead_) return UserBreak() ? Wait::kBreak : Wait::kTimeout;
    int slice = SliceUntil(deadline);
    PortEvent event = port_.Wait(false, slice);
    if (event == PortEvent::kHangup || event == PortEvent::kFailed) dead_ = true;
    // Looked at also while bytes keep coming, so that a device trickling
    // bytes cannot hold the user off.
    if (UserBreak()) return Wait::kBreak;
    if (event == PortEvent::kReady) return Wait::kInput;
    if (slice == 0 || MonotonicMillis() >= deadline) return Wait::kTimeout;
  }
}

// Reads up to `size` bytes of what has arrived. A failed read marks the line
// as gone; an empty read after a wake-up pauses briefly, so that a device
// which signals input it does not deliver cannot make the wait spin.
size_t SerialLink::ReadArrived(uint8_t* data, size_t size) {
  long n = port_.Read(data, size);
  if (n > 0) return static_cast<size_t>(n);
  if (n < 0) {
    dead_ = true;
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return 0;
}

// Writes all bytes, waiting for room in the port's queue until `deadline`.
// A failed write leaves its system error set and marks the line as gone;
// the wait that follows then ends as on a silent line.
Send SerialLink::SendBytes(const uint8_t* data, size_t size, int64_t deadline) {
  size_t done = 0;
  while (done < size && !dead_) {
    long n = port_.Write(data + done, size - done);
    if (n < 0) {
      SetSystemError(port_.LastError());
      dead_ = true;
      break;
    }
    done += static_cast<size_t>(n);
    if (done == size) break;
    int slice = SliceUntil(deadline);
    PortEvent event = port_.Wait(true, slice);
    if (event == PortEvent::kHangup || event == PortEvent::kFailed) dead_ = true;
    if (UserBreak()) return Send::kBreak;
    if (event != PortEvent::kReady && MonotonicMillis() >= deadline) return Send::kTimeout;
  }
  return Send::kSent;
}

// Reports why a wait for the control byte `expected` ended before it came:
// the time-out (a user's break is reported where it was noted). True when it
// did end early.
bool EndedEarly(bool user_break, bool timed_out, uint8_t expected) {
  if (!user_break && timed_out) {
    ReportMessage(msg::kTimeoutWaiting, static_cast<unsigned>(expected));
  }
  return user_break || timed_out;
}

// Sends `size` bytes and waits for the control byte `expected` within
// `timeout_ms` after they are on the line.
bool SerialLink::SendAndAwait(const uint8_t* data, size_t size, uint8_t expected,
                              unsigned long timeout_ms) {
  int64_t deadline = MonotonicMillis() + LineMillis(size) + static_cast<int64_t>(timeout_ms);
  Send sent = SendBytes(data, size, deadline);
  if (EndedEarly(sent == Send::kBreak, sent == Send::kTimeout, expected)) return false;
  for (;;) {
    Wait wait = WaitForInput(deadline);
    if (EndedEarly(wait == Wait::kBreak, wait == Wait::kTimeout, expected)) return false;
    uint8_t byte = 0;
    // A line that keeps signalling input it does not deliver still ends at
    // the deadline.
    if (ReadArrived(&byte, 1) == 0) {
      if (EndedEarly(false, MonotonicMillis() >= deadline, expected)) return false;
      continue;
    }
    if (byte == expected) return true;
    ReportMessage(msg::kCharacterError, static_cast<unsigned>(byte),
                  static_cast<unsigned>(expected));
    return false;
  }
}

// Collects the response into the receive buffer. Reads no further than the
// frame's end, so bytes after it stay on the line as they came.
bool SerialLink::ReceiveResponse(FrameReceiver& receiver) {
  receiver.Reset();
  int64_t deadline = MonotonicMillis() + static_cast<int64_t>(settings_.cmd_rsp_ms);
  uint8_t chunk[kSerialBufferSize + 1];
  for (;;) {
    Wait wait = WaitForInput(deadline);
    if (wait == Wait::kBreak) return false;
    if (wait == Wait::kTimeout) {
      ReportMessage(msg::kReceiverTimeout);
      return false;
    }
    size_t got = ReadArrived(chunk, std::min(receiver.Wanted(), sizeof chunk));
    if (got == 0) {
      if (MonotonicMillis() >= deadline) {
        ReportMessage(msg::kReceiverTimeout);
        return false;
      }
      continue;
    }
    deadline = MonotonicMillis() + static_cast<int64_t>(settings_.byte_ms);
    size_t used = 0;
    switch (receiver.Take(chunk, got, used)) {
      case FrameReceiver::State::kMore:
        break;
      case FrameReceiver::State::kComplete:
        return true;
      case FrameReceiver::State::kBadChecksum:
        ReportMessage(msg::kReceiverChecksum);
        return false;
      case FrameReceiver::State::kOverflow:
        ReportMessage(msg::kReceiverOverflow);
        return false;
    }
  }
}

// One exchange of the request of `size` bytes in the transmit buffer. On
// success the response is in the receive buffer and its payload is offered
// through `receiver`. Whatever the outcome, the sequence byte the receive
// buffer now holds is where the next request carries on.
bool SerialLink::Exchange(size_t size, FrameReceiver& receiver) {
  bool ok = ExchangeOnce(size, receiver);
  g_line_sequence = receive_[2];
  return ok;
}

bool SerialLink::ExchangeOnce(size_t size, FrameReceiver& receiver) {
  if (!port_.IsOpen()) {
    SetSystemError(EBADF);
    return false;
  }
  const uint8_t soh = kSoh;
  if (!SendAndAwait(&soh, 1, kStx, settings_.soh_stx_ms)) return false;
  if (!SendAndAwait(transmit_, size, kAck, settings_.cmd_ack_ms)) return false;
  if (!ReceiveResponse(receiver)) return false;
  if (!receiver.HasHeader()) {
    SetSystemError(EPROTO);  // a frame too short to carry a status
    return false;
  }
  uint8_t status = receive_[3];
  if (!SerialStatusGood(status)) {
    ReportMessage(msg::kCommandError, static_cast<unsigned>(status));
    return false;
  }
  return true;
}

// Fails with EPROTO when the response's payload is shorter than `needed`.
bool PayloadHolds(const FrameReceiver& receiver, size_t needed) {
  if (receiver.payload_size() >= needed) return true;
  SetSystemError(EPROTO);
  return false;
}

bool SerialLink::OpenPort() {
  Close();
  settings_ = ReadSerialSettings();
  rate_ = SerialLineRate(settings_);
  dead_ = false;
  if (!port_.Open(SerialPortPath(settings_.com))) {
    SetSystemError(port_.LastError());
    ReportMessage(msg::kErrorOpeningCom, settings_.com);
    return false;
  }
  return true;
}

bool SerialLink::SetUp() {
  // The system has no queue sizes to set; the time-outs are the waits'.
  if (!port_.Setup(rate_) || !port_.SetRts(true)) {
    SetSystemError(port_.LastError());
    ReportMessage(msg::kErrorOpeningCom, settings_.com);
    return false;
  }
  return true;
}

bool SerialLink::Identify(std::string* text) {
  FrameReceiver receiver(receive_);
  size_t size = BuildFrame(transmit_, NextSequence(receive_), kCmdIdentification, nullptr, 0);
  if (!Exchange(size, receiver)) return false;
  if (text != nullptr) {
    const char* begin = reinterpret_cast<const char*>(receiver.payload());
    const size_t length = receiver.payload_size();
    *text = std::string(begin, strnlen(begin, length));
  }
  return true;
}

bool SerialLink::SlotCommand(uint8_t code, uint8_t slot, FrameReceiver& receiver) {
  size_t size = BuildSlotRequest(transmit_, NextSequence(receive_), code, slot);
  return Exchange(size, receiver);
}

bool SerialLink::ReadSector(uint8_t slot, uint32_t sector, uint8_t* buffer) {
  FrameReceiver receiver(receive_);
  size_t size = BuildReadRequest(transmit_, NextSequence(receive_), slot, sector);
  if (!Exchange(size, receiver) || !PayloadHolds(receiver, kSectorBytes)) return false;
  std::memcpy(buffer, receiver.payload(), kSectorBytes);
  return true;
}

bool SerialLink::WriteSector(uint8_t slot, uint32_t sector, const uint8_t* buffer) {
  FrameReceiver receiver(receive_);
  size_t size = BuildWriteRequest(transmit_, NextSequence(receive_), slot, sector, buffer);
  return Exchange(size, receiver);
}

// A card in the serial drive: its own opening of the port, the slot and the
// capacity. Closing the device closes the port.
class SerialDrive : public SectorDevice {
 public:
  uint32_t Capacity() const override { return capacity_; }
  bool Read(uint8_t* buffer, uint32_t sector) override {
    return link_.ReadSector(slot_, sector, buffer);
  }
  bool Write(const uint8_t* buffer, uint32_t sector) override {
    return link_.WriteSector(slot_, sector, buffer);
  }
  bool Close() override {
    link_.Close();
    return true;
  }

  bool Open(uint16_t slot, uint32_t cardsize);

 private:
  SerialLink link_;
  uint8_t slot_ = 0;
  uint32_t capacity_ = 0;
};

bool SerialDrive::Open(uint16_t slot, uint32_t cardsize) {
  if (!link_.OpenPort() || !link_.SetUp()) return false;
  std::string text;
  if (!link_.Identify(&text)) return false;
  LogMessage("%s", text.c_str());
  if (slot != 0) {
    ReportMessage(msg::kSlotNotAvailable, static_cast<int>(slot));
    return false;
  }
  slot_ = static_cast<uint8_t>(slot);

  FrameReceiver receiver(link_.receive());
  if (!link_.SlotCommand(kCmdSelectSlot, slot_, receiver)) return false;
  if (!link_.SlotCommand(kCmdCardStatus, slot_, receiver) || !PayloadHolds(receiver, 1))
    return false;
  const uint8_t flags = receiver.payload()[0];
  if ((flags & kCardNotSupported) != 0) {
    ReportMessage(msg::kCardNotSupported);
    return false;
  }
  if ((flags & kCardWriteProtected) != 0) {
    ReportMessage(msg::kWriteProtected);
    return false;
  }

  if (!link_.SlotCommand(kCmdIdentifyCard, slot_, receiver) ||
      !PayloadHolds(receiver, kIdentifySize))
    return false;
  IdentifyData identity = DecodeIdentify(receiver.payload());
  LogMessage("%s %s (#%s)", identity.model.c_str(), identity.firmware.c_str(),
             identity.serial.c_str());

  if (!link_.SlotCommand(kCmdCapacity, slot_, receiver) || !PayloadHolds(receiver, 4)) return false;
  uint32_t detected = Get32(receiver.payload());
  ApplyCapacityLimit(cardsize, detected);
  capacity_ = detected;
  return true;
}

// The port opened to wake the drive before a job: one per process, closed
// by its job clean-up.
struct WakePort {
  std::unique_ptr<SerialLink> link;
  uint64_t generation = 0;  // which opening a registered clean-up belongs to
};

WakePort& Wake() {
  static WakePort wake;
  return wake;
}

}  // namespace

std::unique_ptr<SectorDevice> OpenSerialDrive(const std::string&, uint16_t slot,
                                              uint32_t cardsize) {
  // The port is used exclusively: a wake-up opening still held gives way.
  CloseSerialDrivePort();
  auto device = std::make_unique<SerialDrive>();
  if (!device->Open(slot, cardsize)) return nullptr;
  return device;
}

bool OpenSerialDrivePort() {
  CloseSerialDrivePort();
  WakePort& wake = Wake();
  wake.link = std::make_unique<SerialLink>();
  if (!wake.link->OpenPort()) return false;
  const uint64_t generation = ++wake.generation;
  RegisterCleanup([generation] {
    if (Wake().generation == generation) CloseSerialDrivePort();
  });
  return wake.link->SetUp();
}

bool SendSerialIdentification(std::string* text) {
  WakePort& wake = Wake();
  if (wake.link == nullptr) {
    SetSystemError(EBADF);
    return false;
  }
  return wake.link->Identify(text);
}

void CloseSerialDrivePort() {
  Wake().link.reset();
}

}  // namespace qb
