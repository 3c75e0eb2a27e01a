#include "platform/device_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "format/byte_order.h"
#include "platform/clock.h"

namespace qb {
namespace {

std::atomic<int> g_timeout_ms{kChannelDefaultTimeoutMs};

constexpr char kDevicePrefix[] = "\\\\.\\";  // the four characters \\.\ of a device name
constexpr size_t kDevicePrefixLength = 4;
constexpr int64_t kNoDeadline = -1;

int64_t DeadlineFromNow() {
  return MonotonicMillis() + g_timeout_ms.load();
}

// Waits until `fd` is ready for `events`. Returns 0 when ready (or in an
// error state that the next call on it will report), ECANCELED when `stop_fd`
// became readable, ETIMEDOUT at the deadline, or poll's errno.
int WaitFor(int fd, short events, int stop_fd, int64_t deadline) {
  for (;;) {
    int timeout = -1;
    if (deadline != kNoDeadline) {
      int64_t left = deadline - MonotonicMillis();
      if (left <= 0) return ETIMEDOUT;
      timeout = static_cast<int>(std::min<int64_t>(left, INT_MAX));
    }
    pollfd fds[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
    int n = poll(fds, stop_fd >= 0 ? 2 : 1, timeout);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) continue;  // the deadline is checked again above
    if (stop_fd >= 0 && fds[1].revents != 0) return ECANCELED;
    if (fds[0].revents != 0) return 0;
  }
}

// Receives exactly `size` bytes. Returns 0, or an error number: ECONNRESET
// when the peer closed the connection (`got` tells after how many bytes),
// ECANCELED, ETIMEDOUT, or recv's errno.
int ReceiveAll(int fd, int stop_fd, uint8_t* data, size_t size, int64_t deadline, size_t& got) {
  got = 0;
  while (got < size) {
    ssize_t n = recv(fd, data + got, size - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return ECONNRESET;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    if (int error = WaitFor(fd, POLLIN, stop_fd, deadline); error != 0) return error;
  }
  return 0;
}

// Sends exactly `size` bytes without ever raising SIGPIPE. Returns 0 or an
// error number as ReceiveAll.
int SendAll(int fd, int stop_fd, const uint8_t* data, size_t size, int64_t deadline) {
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    if (int error = WaitFor(fd, POLLOUT, stop_fd, deadline); error != 0) return error;
  }
  return 0;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

// Client exchange; returns 0 or an error number.
int Exchange(int handle, uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
             uint32_t out_cap, uint32_t& result, uint32_t& out_len) {
  if (handle < 0) return EBADF;
  if ((in == nullptr && in_len != 0) || (out == nullptr && out_cap != 0)) return EINVAL;
  int64_t deadline = DeadlineFromNow();
  uint8_t header[kChannelRequestHeaderSize];
  Put32(header, code);
  Put32(header + 4, in_len);
  Put32(header + 8, out_cap);
  if (int error = SendAll(handle, -1, header, sizeof header, deadline); error != 0) return error;
  if (in_len != 0) {
    if (int error = SendAll(handle, -1, in, in_len, deadline); error != 0) return error;
  }
  uint8_t reply[kChannelReplyHeaderSize];
  size_t got = 0;
  if (int error = ReceiveAll(handle, -1, reply, sizeof reply, deadline, got); error != 0) {
    return error;
  }
  uint32_t length = Get32(reply + 4);
  if (length > out_cap) return EPROTO;  // never trust the peer for a size
  if (length != 0) {
    if (int error = ReceiveAll(handle, -1, out, length, deadline, got); error != 0) return error;
  }
  result = Get32(reply);
  out_len = length;
  return 0;
}

// A server whose queue is full keeps connect waiting; the send time-out
// bounds that wait (connect then fails with EAGAIN). Every send on the
// channel is non-blocking, so the time-out affects nothing else.
void SetConnectTimeout(int fd) {
  int millis = g_timeout_ms.load();
  timeval limit{millis / 1000, static_cast<suseconds_t>((millis % 1000) * 1000)};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

// Creates the missing folders of `folder` with mode 0700.
int MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      // An existing folder on a read-only or foreign parent reports other
      // errors than EEXIST; only a folder that is really missing counts.
      int error = errno;
      struct stat info;
      if (stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return error;
    }
    if (slash == std::string::npos) return 0;
  }
}

// The lock file beside a socket. Device names are lower case, so a name with
// capitals is never taken for another device's socket.
constexpr char kLockSuffix[] = ".LOCK";

// Takes the exclusive lock of `path`, creating the file. Returns its
// descriptor, or -1 with errno set (EADDRINUSE when another server holds
// it). A lock file removed by its last holder between our open and our lock
// is opened afresh, so that two servers never lock two different files.
int TakePathLock(const std::string& path) {
  for (;;) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) return -1;
    int rc;
    do {
      rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      int error = errno == EWOULDBLOCK ? EADDRINUSE : errno;
      close(fd);
      errno = error;
      return -1;
    }
    struct stat held;
    struct stat named;
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return fd;
    }
    close(fd);
  }
}

// Removes the lock file while still holding it, then gives the lock up.
void ReleasePathLock(const std::string& path, int fd) {
  unlink(path.c_str());
  close(fd);
}

}  // namespace

std::string DeviceChannelFolder() {
  const char* folder = std::getenv("DD_KDVDIR");
  if (folder != nullptr && folder[0] != '\0') return folder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/kdv";
  return "/tmp/kdv-" + std::to_string(static_cast<unsigned long>(getuid()));
}

std::string DeviceChannelPath(const std::string& device_name) {
  if (device_name.compare(0, kDevicePrefixLength, kDevicePrefix) != 0) return std::string();
  std::string name = device_name.substr(kDevicePrefixLength);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
    return std::string();
  }
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return DeviceChannelFolder() + "/" + name;
}

struct DeviceChannelHandle {
  int fd = -1;
};

DeviceChannel::DeviceChannel() : handle_(std::make_unique<DeviceChannelHandle>()) {}

DeviceChannel::~DeviceChannel() {
  Close();
}

DeviceChannel::DeviceChannel(DeviceChannel&& other) noexcept
    : handle_(std::exchange(other.handle_, std::make_unique<DeviceChannelHandle>())) {}

DeviceChannel& DeviceChannel::operator=(DeviceChannel&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(handle_, other.handle_);
  }
  return *this;
}

bool DeviceChannel::IsOpen() const {
  return handle_->fd >= 0;
}

bool DeviceChannel::Open(const std::string& device_name, int& error) {
  Close();
  error = 0;
  std::string path = DeviceChannelPath(device_name);
  sockaddr_un address;
  if (path.empty()) {
    error = ENOENT;
    return false;
  }
  if (!FillAddress(path, address)) {
    error = ENAMETOOLONG;
    return false;
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return false;
  }
  SetConnectTimeout(fd);
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno != EISCONN) {
    error = (errno == EAGAIN || errno == EINPROGRESS) ? ETIMEDOUT : errno;
    close(fd);
    return false;
  }
  handle_->fd = fd;
  return true;
}

ChannelReply DeviceChannel::Control(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
                                    uint32_t out_cap) {
  ChannelReply reply;
  const int fd = handle_->fd;
  reply.system_error = Exchange(fd, code, in, in_len, out, out_cap, reply.result, reply.out_len);
  if (reply.system_error != 0) {
    // Whatever is left of a broken exchange would be taken for the next
    // reply: the connection is of no further use.
    if (fd >= 0) shutdown(fd, SHUT_RDWR);
    reply.result = 0;
    reply.out_len = 0;
  }
  return reply;
}

void DeviceChannel::Close() {
  if (handle_ == nullptr || handle_->fd < 0) return;
  close(std::exchange(handle_->fd, -1));
}

int SetDeviceChannelTimeout(int millis) {
  return g_timeout_ms.exchange(millis);
}

size_t DeviceChannelMaxPath() {
  return sizeof(sockaddr_un::sun_path) - 1;
}

bool DeviceChannelListen(const std::string& socket_path, ChannelServer& server) {
  server = ChannelServer{};
  sockaddr_un address;
  if (!FillAddress(socket_path, address)) {
    errno = socket_path.empty() ? ENOENT : ENAMETOOLONG;
    return false;
  }
  size_t slash = socket_path.rfind('/');
  if (slash != std::string::npos && slash != 0) {
    std::string folder = socket_path.substr(0, slash);
    if (int error = MakeFolders(folder); error != 0) {
      errno = error;
      return false;
    }
    // Another user's folder (say a planted /tmp/kdv-<uid>) could swap our
    // socket for theirs.
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
      errno = EPERM;
      return false;
    }
  }

  // Two servers starting together both see no socket, or one sees the
  // other's socket before it listens and takes it for stale: who owns the
  // path is decided by the lock alone.
  int lock = TakePathLock(socket_path + kLockSuffix);
  if (lock < 0) return false;

  struct stat info;
  if (lstat(socket_path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      close(lock);
      errno = EEXIST;
      return false;
    }
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
      int error = errno;
      close(lock);
      errno = error;
      return false;
    }
    SetConnectTimeout(probe);
    int rc = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    // A server too busy to take the probe in time is alive all the same.
    int error = (rc == 0 || errno == EAGAIN) ? EADDRINUSE : errno;
    close(probe);
    if (error != ECONNREFUSED) {
      close(lock);
      errno = error;
      return false;
    }
    // Nobody listens and nobody holds the lock: the socket of a server that
    // died.
    if (unlink(socket_path.c_str()) != 0 && errno != ENOENT) {
      error = errno;
      close(lock);
      errno = error;
      return false;
    }
  }

  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  struct stat bound;
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      chmod(socket_path.c_str(), 0600) != 0 || lstat(socket_path.c_str(), &bound) != 0 ||
      listen(fd, 8) != 0) {
    int error = errno;
    if (fd >= 0) close(fd);
    ReleasePathLock(socket_path + kLockSuffix, lock);
    errno = error;
    return false;
  }
  server.listener = fd;
  server.lock = lock;
  server.device = static_cast<uint64_t>(bound.st_dev);
  server.inode = static_cast<uint64_t>(bound.st_ino);
  return true;
}

void DeviceChannelUnlisten(const std::string& socket_path, ChannelServer& server) {
  if (server.listener >= 0) close(server.listener);
  server.listener = -1;
  if (server.lock < 0) return;
  // Still holding the lock, no other server can have bound the path; the
  // check keeps a socket that someone else put there all the same.
  struct stat now;
  if (lstat(socket_path.c_str(), &now) == 0 && static_cast<uint64_t>(now.st_dev) == server.device &&
      static_cast<uint64_t>(now.st_ino) == server.inode) {
    unlink(socket_path.c_str());
  }
  ReleasePathLock(socket_path + kLockSuffix, server.lock);
  server.lock = -1;
}

ChannelRead DeviceChannelReadRequest(int fd, int stop_fd, ChannelRequest& request) {
  uint8_t header[kChannelRequestHeaderSize];
  size_t got = 0;
  int error = ReceiveAll(fd, stop_fd, header, 1, kNoDeadline, got);
  if (error == ECANCELED) return ChannelRead::kStopped;
  if (error == ECONNRESET && got == 0) return ChannelRead::kClosed;
  if (error != 0) return ChannelRead::kBroken;

  int64_t deadline = DeadlineFromNow();
  error = ReceiveAll(fd, stop_fd, header + 1, sizeof header - 1, deadline, got);
  if (error == ECANCELED) return ChannelRead::kStopped;
  if (error != 0) return ChannelRead::kBroken;
  uint32_t in_len = Get32(header + 4);
  if (in_len > kChannelMaxInput) return ChannelRead::kBroken;
  request.code = Get32(header);
  request.out_cap = Get32(header + 8);
  request.input.assign(in_len, 0);
  if (in_len != 0) {
    error = ReceiveAll(fd, stop_fd, request.input.data(), in_len, deadline, got);
    if (error == ECANCELED) return ChannelRead::kStopped;
    if (error != 0) return ChannelRead::kBroken;
  }
  return ChannelRead::kRequest;
}

bool DeviceChannelWriteReply(int fd, int stop_fd, uint32_t result, const uint8_t* out,
                             uint32_t out_len) {
  if (out == nullptr && out_len != 0) return false;
  int64_t deadline = DeadlineFromNow();
  uint8_t header[kChannelReplyHeaderSize];
  Put32(header, result);
  Put32(header + 4, out_len);
  if (SendAll(fd, stop_fd, header, sizeof header, deadline) != 0) return false;
  return out_len == 0 || SendAll(fd, stop_fd, out, out_len, deadline) == 0;
}

}  // namespace qb
