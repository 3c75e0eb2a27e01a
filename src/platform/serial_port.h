// Serial ports: COM port n is the device $DD_DEVICE when that is set and not
// empty, else /dev/ttyS<n-1> (the COMn device on Windows). A port is opened
// exclusively and used non-blocking: reads return at once with what has arrived, and every wait
// blocks in poll() for at most the time it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qb {

// The device path of COM port `port`.
std::string SerialPortPath(unsigned long port);

enum class PortEvent {
  kReady,    // input has arrived (or, for output, the port takes bytes)
  kTimeout,  // nothing within the time given
  kHangup,   // the line is gone: nothing will arrive any more
  kFailed,   // the wait itself failed (see LastError)
};

// The system's own hold on an open port; what it is differs by system.
struct SerialPortHandle;

// One open serial port. Move-only; the port is closed when the object goes.
// Calls that fail keep the system's error code for LastError(): an errno
// value here, the system's own code where the system has its own.
class SerialPort {
 public:
  SerialPort();
  ~SerialPort();
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens `path` for reading and writing, exclusively: a second opener is
  // refused (EBUSY) while this one has it. A port still open is closed
  // first.
  bool Open(const std::string& path);
  bool IsOpen() const;

  // Sets the line to `rate` (any rate: one without a rate constant is set
  // through the free rate fields), 8 data bits, no parity, 1 stop bit, raw
  // bytes both ways (no translation, no echo, no software flow control), the
  // receiver on and the modem status lines ignored; hardware flow control
  // stays as the port had it. Discards input that was waiting.
  bool Setup(uint32_t rate);
  // The output rate the port is set to.
  bool Rate(uint32_t& rate);
  // Raises or clears RTS. A device without modem lines (a pseudo-terminal)
  // counts as success.
  bool SetRts(bool on);
  // Clears RTS, gives up the exclusive use and closes the port (nothing when
  // it is closed).
  void Close();

  // Waits at most `timeout_ms` (>= 0) for input, or with `output` for room
  // to write. A closed port just sleeps for the time and answers kTimeout.
  PortEvent Wait(bool output, int timeout_ms);
  // Reads at most `size` bytes of what has arrived: the count, 0 when
  // nothing is there, -1 on failure (EIO when the line is gone).
  long Read(uint8_t* data, size_t size);
  // Writes as much of `data` as the port takes now: the count (perhaps 0),
  // or -1 on failure.
  long Write(const uint8_t* data, size_t size);

  // The system's code for the last failure of this port.
  int LastError() const { return last_error_; }

 private:
  std::unique_ptr<SerialPortHandle> handle_;
  int last_error_ = 0;
};

}  // namespace qb
