#include "platform/device_file.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace qb {

bool DeviceFile::Length(uint64_t& length) {
  long long end = _lseeki64(fd_, 0, SEEK_END);
  if (end < 0) return false;
  length = static_cast<uint64_t>(end);
  return true;
}

// The run-time library has no positional transfers; a file is used by one
// thread at a time, so seeking before each transfer does the same. Offsets
// are 64-bit.
long DeviceFile::ReadAt(void* data, size_t size, uint64_t offset) {
  if (_lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
  return _read(fd_, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

long DeviceFile::WriteAt(const void* data, size_t size, uint64_t offset) {
  if (_lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
  return _write(fd_, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

bool DeviceFile::Close(int& error) {
  error = 0;
  if (fd_ < 0) return true;
  int fd = std::exchange(fd_, -1);
  if (_close(fd) != 0) {
    error = errno;
    return false;
  }
  return true;
}

}  // namespace qb
