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
#include <utility>

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

struct SerialPortHandle {
  int fd = -1;
};

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
  return handle_->fd >= 0;
}

bool SerialPort::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    last_error_ = errno;
    return false;
  }
  // The lock refuses a second opener of this product (also one with the
  // privilege to pass the terminal's own exclusive mode); the exclusive mode
  // refuses every other program.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    last_error_ = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return false;
  }
  ::ioctl(fd, TIOCEXCL);  // a device that is no terminal fails its set-up instead
  handle_->fd = fd;
  return true;
}

bool SerialPort::Setup(uint32_t rate) {
  const int fd = handle_->fd;
  termios2 line{};
  bool ok = ::ioctl(fd, TCGETS2, &line) == 0;
  if (ok) {
    line.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                           ICRNL | IUCLC | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
    line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    line.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CBAUD | CIBAUD);
    line.c_cflag |= static_cast<tcflag_t>(CS8 | CREAD | CLOCAL | RateBits(rate));
    line.c_ispeed = rate;
    line.c_ospeed = rate;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    ok = ::ioctl(fd, TCSETS2, &line) == 0 && ::ioctl(fd, TCFLSH, TCIFLUSH) == 0;
  }
  if (!ok) last_error_ = errno;
  return ok;
}

bool SerialPort::Rate(uint32_t& rate) {
  termios2 line{};
  if (::ioctl(handle_->fd, TCGETS2, &line) != 0) {
    last_error_ = errno;
    return false;
  }
  rate = line.c_ospeed;
  return true;
}

bool SerialPort::SetRts(bool on) {
  int bits = TIOCM_RTS;
  if (::ioctl(handle_->fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
  if (NoModemLines(errno)) return true;
  last_error_ = errno;
  return false;
}

void SerialPort::Close() {
  if (handle_ == nullptr || handle_->fd < 0) return;
  SetRts(false);
  const int fd = std::exchange(handle_->fd, -1);
  // A pseudo-terminal's slave keeps its modes after the last close while the
  // master lives: leave it open to the next user.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

PortEvent SerialPort::Wait(bool output, int timeout_ms) {
  pollfd entry{handle_->fd, static_cast<short>(output ? POLLOUT : POLLIN), 0};
  int n = ::poll(&entry, 1, timeout_ms < 0 ? 0 : timeout_ms);
  if (n < 0) {
    if (errno == EINTR) return PortEvent::kTimeout;
    last_error_ = errno;
    return PortEvent::kFailed;
  }
  if (n == 0) return PortEvent::kTimeout;
  if ((entry.revents & (output ? POLLOUT : POLLIN)) != 0) return PortEvent::kReady;
  return PortEvent::kHangup;  // POLLHUP, POLLERR or POLLNVAL without data
}

long SerialPort::Read(uint8_t* data, size_t size) {
  for (;;) {
    ssize_t n = ::read(handle_->fd, data, size);
    if (n > 0) return static_cast<long>(n);
    // The port is non-blocking, so "nothing yet" comes as EAGAIN; an empty
    // read is the end of the line (a hung-up terminal, a pulled adapter).
    if (n == 0 && size > 0) {
      last_error_ = EIO;
      return -1;
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    last_error_ = errno;
    return -1;
  }
}

long SerialPort::Write(const uint8_t* data, size_t size) {
  for (;;) {
    ssize_t n = ::write(handle_->fd, data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    last_error_ = errno;
    return -1;
  }
}

}  // namespace qb
