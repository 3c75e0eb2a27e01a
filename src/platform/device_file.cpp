#include "platform/device_file.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace qb {

bool DeviceFile::Length(uint64_t& length) {
  off_t end = ::lseek(fd_, 0, SEEK_END);
  if (end < 0) return false;
  length = static_cast<uint64_t>(end);
  return true;
}

long DeviceFile::ReadAt(void* data, size_t size, uint64_t offset) {
  for (;;) {
    ssize_t n = ::pread(fd_, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

long DeviceFile::WriteAt(const void* data, size_t size, uint64_t offset) {
  for (;;) {
    ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

bool DeviceFile::Close(int& error) {
  error = 0;
  if (fd_ < 0) return true;
  int fd = std::exchange(fd_, -1);
  // The descriptor is gone after close() whatever it answers; it is never
  // closed a second time.
  if (::close(fd) != 0) {
    error = errno;
    return false;
  }
  return true;
}

}  // namespace qb
