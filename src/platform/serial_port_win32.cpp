#include "platform/serial_port.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/clock.h"

namespace qb {
namespace {

// Reads return at once with what has arrived; writes wait until done.
bool SetImmediateReads(HANDLE port) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  return SetCommTimeouts(port, &timeouts) != 0;
}

// Errors of a modem-control request on a device that has no modem lines.
bool NoModemLines(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_PARAMETER;
}

// The step in which waits look again for input.
constexpr int kWaitStepMs = 10;

}  // namespace

std::string SerialPortPath(unsigned long port) {
  const char* device = std::getenv("DD_DEVICE");
  if (device != nullptr && device[0] != '\0') return device;
  return "\\\\.\\COM" + std::to_string(port);
}

// Failures keep the system's own error code, which the error report turns
// into the system's text.
struct SerialPortHandle {
  HANDLE port = INVALID_HANDLE_VALUE;
};

namespace {

int SystemCode(DWORD error) {
  return static_cast<int>(error);
}

}  // namespace

SerialPort::SerialPort() : handle_(std::make_unique<SerialPortHandle>()) {}

SerialPort::~SerialPort() {
  Close();
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : handle_(std::exchange(other.handle_, std::make_unique<SerialPortHandle>())),
      last_error_(other.last_error_) {}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(handle_, other.handle_);
    last_error_ = other.last_error_;
  }
  return *this;
}

bool SerialPort::IsOpen() const {
  return handle_->port != INVALID_HANDLE_VALUE;
}

bool SerialPort::Open(const std::string& path) {
  Close();
  // No sharing: a second opener is refused by the system.
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    last_error_ = SystemCode(GetLastError());
    return false;
  }
  // A device that is no serial port fails its set-up instead.
  (void)SetupComm(port, 1024, 1024);
  (void)SetImmediateReads(port);
  handle_->port = port;
  return true;
}

bool SerialPort::Setup(uint32_t rate) {
  HANDLE port = handle_->port;
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(port, &line) == 0) {
    last_error_ = SystemCode(GetLastError());
    return false;
  }
  line.BaudRate = rate;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  if (SetCommState(port, &line) == 0 || !SetImmediateReads(port) ||
      PurgeComm(port, PURGE_RXCLEAR) == 0) {
    last_error_ = SystemCode(GetLastError());
    return false;
  }
  return true;
}

bool SerialPort::Rate(uint32_t& rate) {
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(handle_->port, &line) == 0) {
    last_error_ = SystemCode(GetLastError());
    return false;
  }
  rate = line.BaudRate;
  return true;
}

bool SerialPort::SetRts(bool on) {
  if (EscapeCommFunction(handle_->port, on ? SETRTS : CLRRTS) != 0) return true;
  DWORD error = GetLastError();
  if (NoModemLines(error)) return true;
  last_error_ = SystemCode(error);
  return false;
}

void SerialPort::Close() {
  if (handle_ == nullptr || handle_->port == INVALID_HANDLE_VALUE) return;
  SetRts(false);
  CloseHandle(std::exchange(handle_->port, INVALID_HANDLE_VALUE));
}

PortEvent SerialPort::Wait(bool output, int timeout_ms) {
  if (timeout_ms < 0) timeout_ms = 0;
  if (!IsOpen()) {
    Sleep(static_cast<DWORD>(timeout_ms));
    return PortEvent::kTimeout;
  }
  // Writes block until the bytes are taken, so the port always has room.
  if (output) return PortEvent::kReady;
  int64_t deadline = MonotonicMillis() + timeout_ms;
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(handle_->port, &errors, &status) == 0) {
      DWORD error = GetLastError();
      // A pulled adapter answers like a closed device.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
          error == ERROR_DEVICE_REMOVED || error == ERROR_OPERATION_ABORTED) {
        return PortEvent::kHangup;
      }
      last_error_ = SystemCode(error);
      return PortEvent::kFailed;
    }
    if (status.cbInQue > 0) return PortEvent::kReady;
    int64_t left = deadline - MonotonicMillis();
    if (left <= 0) return PortEvent::kTimeout;
    Sleep(static_cast<DWORD>(left < kWaitStepMs ? left : kWaitStepMs));
  }
}

long SerialPort::Read(uint8_t* data, size_t size) {
  DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
  DWORD got = 0;
  if (ReadFile(handle_->port, data, want, &got, nullptr) == 0) {
    last_error_ = SystemCode(GetLastError());
    return -1;
  }
  return static_cast<long>(got);
}

long SerialPort::Write(const uint8_t* data, size_t size) {
  DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
  DWORD done = 0;
  if (WriteFile(handle_->port, data, want, &done, nullptr) == 0) {
    last_error_ = SystemCode(GetLastError());
    return -1;
  }
  return static_cast<long>(done);
}

}  // namespace qb
