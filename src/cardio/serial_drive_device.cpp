#include "cardio/serial_drive_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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
// blocks, so it is noticed within this time (plus the key poll's own).
constexpr int kSliceMs = 25;
// The key poll runs at most this often, however fast bytes arrive.
constexpr int64_t kKeyCheckMs = 20;

struct Port {
  int fd = -1;
  uint64_t generation = 0;  // which opening a registered clean-up belongs to
  SerialSettings settings;
  uint32_t rate = 9600;
  // The line is gone (hang-up or a failed transfer): waits then only sleep
  // out their time, as on a silent line, instead of polling a dead handle.
  bool dead = false;
};

Port g_port;
uint8_t g_slot = 0;
int64_t g_last_key_check = 0;

// The process-wide frame buffers. The receive buffer keeps the last
// response, whose sequence byte the next request carries on from, also
// across port openings.
uint8_t g_transmit[kSerialBufferSize];
uint8_t g_receive[kSerialBufferSize];

enum class Wait { kInput, kTimeout, kBreak };

// True when the user has pressed Escape; looks at most every kKeyCheckMs.
bool UserBreak() {
  int64_t now = MonotonicMillis();
  if (now - g_last_key_check < kKeyCheckMs) return false;
  g_last_key_check = now;
  int key = 0;
  return PollKey(key) && key == kKeyEscape;
}

// Milliseconds the line needs for `bytes` bytes of 10 bits, rounded up.
int64_t LineMillis(size_t bytes) {
  uint32_t rate = g_port.rate == 0 ? 1 : g_port.rate;
  return static_cast<int64_t>((bytes * 10000 + rate - 1) / rate);
}

int SliceUntil(int64_t deadline) {
  int64_t left = deadline - MonotonicMillis();
  return static_cast<int>(std::clamp<int64_t>(left, 0, kSliceMs));
}

// Blocks until input arrives, the deadline passes or the user breaks.
Wait WaitForInput(int64_t deadline) {
  for (;;) {
    // A line that is gone delivers nothing more: it ends as a silent line
    // would, without making the user sit out the wait.
    if (g_port.dead) return UserBreak() ? Wait::kBreak : Wait::kTimeout;
    int slice = SliceUntil(deadline);
    PortEvent event = SerialPortWait(g_port.fd, false, slice);
    if (event == PortEvent::kHangup || event == PortEvent::kFailed) g_port.dead = true;
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
size_t ReadArrived(uint8_t* data, size_t size) {
  ssize_t n = SerialPortRead(g_port.fd, data, size);
  if (n > 0) return static_cast<size_t>(n);
  if (n < 0) {
    g_port.dead = true;
  } else {
    SerialPortWait(-1, false, 1);
  }
  return 0;
}

enum class Send { kSent, kTimeout, kBreak };

// Writes all bytes, waiting for room in the port's queue until `deadline`.
// A failed write leaves its system error set and marks the line as gone;
// the wait that follows then ends as on a silent line.
Send SendBytes(const uint8_t* data, size_t size, int64_t deadline) {
  size_t done = 0;
  while (done < size && !g_port.dead) {
    ssize_t n = SerialPortWrite(g_port.fd, data + done, size - done);
    if (n < 0) {
      SetSystemError(errno);
      g_port.dead = true;
      break;
    }
    done += static_cast<size_t>(n);
    if (done == size) break;
    int slice = SliceUntil(deadline);
    PortEvent event = SerialPortWait(g_port.fd, true, slice);
    if (event == PortEvent::kHangup || event == PortEvent::kFailed) g_port.dead = true;
    if (UserBreak()) return Send::kBreak;
    if (event != PortEvent::kReady && MonotonicMillis() >= deadline) return Send::kTimeout;
  }
  return Send::kSent;
}

// Reports why a wait for the control byte `expected` ended before it came:
// the user's Escape or the time-out. True when it did end early.
bool EndedEarly(bool user_break, bool timed_out, uint8_t expected) {
  if (user_break) {
    ReportMessage(msg::kUserBreak);
  } else if (timed_out) {
    ReportMessage(msg::kTimeoutWaiting, static_cast<unsigned>(expected));
  }
  return user_break || timed_out;
}

// Sends `size` bytes and waits for the control byte `expected` within
// `timeout_ms` after they are on the line.
bool SendAndAwait(const uint8_t* data, size_t size, uint8_t expected, unsigned long timeout_ms) {
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
bool ReceiveResponse(FrameReceiver& receiver) {
  receiver.Reset();
  int64_t deadline = MonotonicMillis() + static_cast<int64_t>(g_port.settings.cmd_rsp_ms);
  uint8_t chunk[kSerialBufferSize + 1];
  for (;;) {
    Wait wait = WaitForInput(deadline);
    if (wait == Wait::kBreak) {
      ReportMessage(msg::kUserBreak);
      return false;
    }
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
    deadline = MonotonicMillis() + static_cast<int64_t>(g_port.settings.byte_ms);
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
// through `receiver`.
bool Exchange(size_t size, FrameReceiver& receiver) {
  if (g_port.fd < 0) {
    SetSystemError(EBADF);
    return false;
  }
  const uint8_t soh = kSoh;
  if (!SendAndAwait(&soh, 1, kStx, g_port.settings.soh_stx_ms)) return false;
  if (!SendAndAwait(g_transmit, size, kAck, g_port.settings.cmd_ack_ms)) return false;
  if (!ReceiveResponse(receiver)) return false;
  if (!receiver.HasHeader()) {
    SetSystemError(EPROTO);  // a frame too short to carry a status
    return false;
  }
  uint8_t status = g_receive[3];
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

bool SlotCommand(uint8_t code, FrameReceiver& receiver) {
  size_t size = BuildSlotRequest(g_transmit, NextSequence(g_receive), code, g_slot);
  return Exchange(size, receiver);
}

}  // namespace

bool OpenSerialDrivePort() {
  CloseSerialDrivePort();
  g_port.settings = ReadSerialSettings();
  g_port.rate = SerialLineRate(g_port.settings);
  g_port.dead = false;
  const unsigned long com = g_port.settings.com;
  int fd = SerialPortOpen(SerialPortPath(com));
  if (fd < 0) {
    SetSystemError(errno);
    ReportMessage(msg::kErrorOpeningCom, com);
    return false;
  }
  g_port.fd = fd;
  const uint64_t generation = ++g_port.generation;
  RegisterCleanup([generation] {
    if (g_port.generation == generation) CloseSerialDrivePort();
  });
  // The system has no queue sizes to set; the time-outs are the waits'.
  if (!SerialPortSetup(fd, g_port.rate) || !SerialPortSetRts(fd, true)) {
    SetSystemError(errno);
    ReportMessage(msg::kErrorOpeningCom, com);
    return false;
  }
  return true;
}

bool SendSerialIdentification(std::string* text) {
  FrameReceiver receiver(g_receive);
  size_t size = BuildFrame(g_transmit, NextSequence(g_receive), kCmdIdentification, nullptr, 0);
  if (!Exchange(size, receiver)) return false;
  if (text != nullptr) {
    const char* begin = reinterpret_cast<const char*>(receiver.payload());
    const size_t length = receiver.payload_size();
    *text = std::string(begin, strnlen(begin, length));
  }
  return true;
}

void CloseSerialDrivePort() {
  if (g_port.fd < 0) return;
  SerialPortClose(g_port.fd);
  g_port.fd = -1;
}

bool SerialDriveOpen(const std::string&, uint16_t slot, uint32_t cardsize, uint32_t& capacity) {
  capacity = 0;
  if (!OpenSerialDrivePort()) return false;
  std::string text;
  if (!SendSerialIdentification(&text)) return false;
  LogMessage("%s", text.c_str());
  if (slot != 0) {
    ReportMessage(msg::kSlotNotAvailable, static_cast<int>(slot));
    return false;
  }
  g_slot = static_cast<uint8_t>(slot);

  FrameReceiver receiver(g_receive);
  if (!SlotCommand(kCmdSelectSlot, receiver)) return false;
  if (!SlotCommand(kCmdCardStatus, receiver) || !PayloadHolds(receiver, 1)) return false;
  const uint8_t flags = receiver.payload()[0];
  if ((flags & kCardNotSupported) != 0) {
    ReportMessage(msg::kCardNotSupported);
    return false;
  }
  if ((flags & kCardWriteProtected) != 0) {
    ReportMessage(msg::kWriteProtected);
    return false;
  }

  if (!SlotCommand(kCmdIdentifyCard, receiver) || !PayloadHolds(receiver, kIdentifySize))
    return false;
  IdentifyData identity = DecodeIdentify(receiver.payload());
  LogMessage("%s %s (#%s)", identity.model.c_str(), identity.firmware.c_str(),
             identity.serial.c_str());

  if (!SlotCommand(kCmdCapacity, receiver) || !PayloadHolds(receiver, 4)) return false;
  uint32_t detected = Get32(receiver.payload());
  ApplyCapacityLimit(cardsize, detected);
  capacity = detected;
  return true;
}

bool SerialDriveClose() {
  return true;
}

bool SerialDriveRead(uint8_t* buffer, uint32_t sector) {
  FrameReceiver receiver(g_receive);
  size_t size = BuildReadRequest(g_transmit, NextSequence(g_receive), g_slot, sector);
  if (!Exchange(size, receiver) || !PayloadHolds(receiver, kSectorBytes)) return false;
  std::memcpy(buffer, receiver.payload(), kSectorBytes);
  return true;
}

bool SerialDriveWrite(const uint8_t* buffer, uint32_t sector) {
  FrameReceiver receiver(g_receive);
  size_t size = BuildWriteRequest(g_transmit, NextSequence(g_receive), g_slot, sector, buffer);
  return Exchange(size, receiver);
}

}  // namespace qb
