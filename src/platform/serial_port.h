// Serial ports: COM port n is the device $DD_DEVICE when that is set and not
// empty, else /dev/ttyS<n-1>. A port is opened exclusively and used
// non-blocking: reads return at once with what has arrived, and every wait
// blocks in poll() for at most the time it is given.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

// The device path of COM port `port`.
std::string SerialPortPath(unsigned long port);

// Opens `path` for reading and writing, exclusively: a second opener is
// refused with EBUSY while this one has it. Returns the handle, or -1 with
// errno set.
int SerialPortOpen(const std::string& path);

// Sets the line to `rate` (any rate: one without a rate constant is set
// through the free rate fields), 8 data bits, no parity, 1 stop bit, raw
// bytes both ways (no translation, no echo, no software flow control), the
// receiver on and the modem status lines ignored; hardware flow control
// stays as the port had it. Discards input that was waiting. False with
// errno set.
bool SerialPortSetup(int fd, uint32_t rate);

// The output rate the port is set to. False with errno set.
bool SerialPortRate(int fd, uint32_t& rate);

// Raises or clears RTS. A device without modem lines (a pseudo-terminal)
// counts as success. False with errno set.
bool SerialPortSetRts(int fd, bool on);

// Clears RTS, gives up the exclusive use and closes the port.
void SerialPortClose(int fd);

enum class PortEvent {
  kReady,    // input has arrived (or, for output, the port takes bytes)
  kTimeout,  // nothing within the time given
  kHangup,   // the line is gone: nothing will arrive any more
  kFailed,   // poll failed (errno set)
};

// Waits at most `timeout_ms` (>= 0) for input, or with `output` for room to
// write. A handle of -1 just sleeps for the time and answers kTimeout.
PortEvent SerialPortWait(int fd, bool output, int timeout_ms);

// Reads at most `size` bytes of what has arrived: the count, 0 when nothing
// is there, -1 with errno set (EIO when the line is gone).
ssize_t SerialPortRead(int fd, uint8_t* data, size_t size);

// Writes as much of `data` as the port takes now: the count (perhaps 0), or
// -1 with errno set.
ssize_t SerialPortWrite(int fd, const uint8_t* data, size_t size);

}  // namespace qb
