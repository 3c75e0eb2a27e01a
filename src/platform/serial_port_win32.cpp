#include "platform/serial_port.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/clock.h"

namespace qb {
namespace {

// Kernel handles fit in 32 bits (and are sign-extended back), so a port's
// handle travels in the same int as a descriptor does elsewhere.
HANDLE ToHandle(int fd) {
  return LongToHandle(fd);
}

// Failures carry the system's own error code, which the error report turns
// into the system's text.
void KeepLastError() {
  errno = static_cast<int>(GetLastError());
}

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

int SerialPortOpen(const std::string& path) {
  // No sharing: a second opener is refused by the system.
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    KeepLastError();
    return -1;
  }
  // A device that is no serial port fails its set-up instead.
  (void)SetupComm(port, 1024, 1024);
  (void)SetImmediateReads(port);
  return HandleToLong(port);
}

bool SerialPortSetup(int fd, uint32_t rate) {
  HANDLE port = ToHandle(fd);
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(port, &line) == 0) {
    KeepLastError();
    return false;
  }
  line.BaudRate = rate;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  if (SetCommState(port, &line) == 0 || !SetImmediateReads(port) ||
      PurgeComm(port, PURGE_RXCLEAR) == 0) {
    KeepLastError();
    return false;
  }
  return true;
}

bool SerialPortRate(int fd, uint32_t& rate) {
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(ToHandle(fd), &line) == 0) {
    KeepLastError();
    return false;
  }
  rate = line.BaudRate;
  return true;
}

bool SerialPortSetRts(int fd, bool on) {
  if (EscapeCommFunction(ToHandle(fd), on ? SETRTS : CLRRTS) != 0) return true;
  DWORD error = GetLastError();
  if (NoModemLines(error)) return true;
  errno = static_cast<int>(error);
  return false;
}

void SerialPortClose(int fd) {
  if (fd < 0) return;
  SerialPortSetRts(fd, false);
  CloseHandle(ToHandle(fd));
}

PortEvent SerialPortWait(int fd, bool output, int timeout_ms) {
  if (timeout_ms < 0) timeout_ms = 0;
  if (fd < 0) {
    Sleep(static_cast<DWORD>(timeout_ms));
    return PortEvent::kTimeout;
  }
  // Writes block until the bytes are taken, so the port always has room.
  if (output) return PortEvent::kReady;
  int64_t deadline = MonotonicMillis() + timeout_ms;
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(ToHandle(fd), &errors, &status) == 0) {
      DWORD error = GetLastError();
      // A pulled adapter answers like a closed device.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
          error == ERROR_DEVICE_REMOVED || error == ERROR_OPERATION_ABORTED) {
        return PortEvent::kHangup;
      }
      errno = static_cast<int>(error);
      return PortEvent::kFailed;
    }
    if (status.cbInQue > 0) return PortEvent::kReady;
    int64_t left = deadline - MonotonicMillis();
    if (left <= 0) return PortEvent::kTimeout;
    Sleep(static_cast<DWORD>(left < kWaitStepMs ? left : kWaitStepMs));
  }
}

ssize_t SerialPortRead(int fd, uint8_t* data, size_t size) {
  DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
  DWORD got = 0;
  if (ReadFile(ToHandle(fd), data, want, &got, nullptr) == 0) {
    KeepLastError();
    return -1;
  }
  return static_cast<ssize_t>(got);
}

ssize_t SerialPortWrite(int fd, const uint8_t* data, size_t size) {
  DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
  DWORD done = 0;
  if (WriteFile(ToHandle(fd), data, want, &done, nullptr) == 0) {
    KeepLastError();
    return -1;
  }
  return static_cast<ssize_t>(done);
}

}  // namespace qb
