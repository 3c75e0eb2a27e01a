#include "platform/locked_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qb {

int OpenLockedForReading(const std::string& path, FileLock lock, bool allow_pipe, int& error,
                         struct stat& info) {
  // Not blocking, so that opening a pipe without a writer cannot hang.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  error = 0;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(info.st_mode) && !(allow_pipe && S_ISFIFO(info.st_mode))) {
    error = EINVAL;
  } else if (::flock(fd, (lock == FileLock::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) error = EACCES;
  }
  if (error == 0) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int OpenLockedForUpdate(const std::string& path, int& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  error = 0;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) {
      error = EBUSY;
      ::close(fd);
      return -1;
    }
    break;  // a file system without locks: used without one
  }
  return fd;
}

std::FILE* StreamFromDescriptor(int fd, const char* mode, int& error) {
  error = 0;
  std::FILE* file = ::fdopen(fd, mode);
  if (file == nullptr) {
    error = errno;
    ::close(fd);
  }
  return file;
}

}  // namespace qb
