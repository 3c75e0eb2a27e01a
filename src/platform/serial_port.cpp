#include "platform/serial_port.h"

// The kernel's own termios2 record carries free input and output rates; it
// cannot be combined with the C library's <termios.h>, so this file speaks
// to the line through ioctl alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qb {
namespace {

struct RateConstant {
  uint32_t rate;
  unsigned constant;
};

const RateConstant kRateConstants[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The rate field of the control flags for `rate`: its constant, or BOTHER
// (the rate is then taken from the free rate fields).
unsigned RateBits(uint32_t rate) {
  for (const RateConstant& known : kRateConstants)
    if (known.rate == rate) return known.constant;
  return BOTHER;
}

// Errors of a modem-control request on a device that has no modem lines.
bool NoModemLines(int error) {
  return error == ENOTTY || error == EINVAL;
}

}  // namespace

std::string SerialPortPath(unsigned long port) {
  const char* device = std::getenv("DD_DEVICE");
  if (device != nullptr && device[0] != '\0') return device;
  return "/dev/ttyS" + std::to_string(port - 1);
}

int SerialPortOpen(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  // The lock refuses a second opener of this product (also one with the
  // privilege to pass the terminal's own exclusive mode); the exclusive mode
  // refuses every other program.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno == EWOULDBLOCK ? EBUSY : errno;
    close(fd);
    errno = error;
    return -1;
  }
  ioctl(fd, TIOCEXCL);  // a device that is no terminal fails its set-up instead
  return fd;
}

bool SerialPortSetup(int fd, uint32_t rate) {
  termios2 line{};
  if (ioctl(fd, TCGETS2, &line) != 0) return false;
  line.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                         IUCLC | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
  line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  line.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CBAUD | CIBAUD);
  line.c_cflag |= static_cast<tcflag_t>(CS8 | CREAD | CLOCAL | RateBits(rate));
  line.c_ispeed = rate;
  line.c_ospeed = rate;
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &line) != 0) return false;
  return ioctl(fd, TCFLSH, TCIFLUSH) == 0;
}

bool SerialPortRate(int fd, uint32_t& rate) {
  termios2 line{};
  if (ioctl(fd, TCGETS2, &line) != 0) return false;
  rate = line.c_ospeed;
  return true;
}

bool SerialPortSetRts(int fd, bool on) {
  int bits = TIOCM_RTS;
  if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
  return NoModemLines(errno);
}

void SerialPortClose(int fd) {
  if (fd < 0) return;
  SerialPortSetRts(fd, false);
  // A pseudo-terminal's slave keeps its modes after the last close while the
  // master lives: leave it open to the next user.
  ioctl(fd, TIOCNXCL);
  close(fd);
}

PortEvent SerialPortWait(int fd, bool output, int timeout_ms) {
  pollfd entry{fd, static_cast<short>(output ? POLLOUT : POLLIN), 0};
  int n = poll(&entry, 1, timeout_ms < 0 ? 0 : timeout_ms);
  if (n < 0) return errno == EINTR ? PortEvent::kTimeout : PortEvent::kFailed;
  if (n == 0) return PortEvent::kTimeout;
  if ((entry.revents & (output ? POLLOUT : POLLIN)) != 0) return PortEvent::kReady;
  return PortEvent::kHangup;  // POLLHUP, POLLERR or POLLNVAL without data
}

ssize_t SerialPortRead(int fd, uint8_t* data, size_t size) {
  for (;;) {
    ssize_t n = read(fd, data, size);
    if (n > 0) return n;
    // The port is non-blocking, so "nothing yet" comes as EAGAIN; an empty
    // read is the end of the line (a hung-up terminal, a pulled adapter).
    if (n == 0 && size > 0) {
      errno = EIO;
      return -1;
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

ssize_t SerialPortWrite(int fd, const uint8_t* data, size_t size) {
  for (;;) {
    ssize_t n = write(fd, data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

}  // namespace qb
