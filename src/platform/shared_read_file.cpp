#include "platform/shared_read_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qb {

SharedReadFile::~SharedReadFile() {
  Close();
}

int SharedReadFile::Open(const std::string& path) {
  Close();
  // Not blocking, so that opening a pipe without a writer cannot hang; only
  // regular files are accepted anyway.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno;
  int error = 0;
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(info.st_mode)) {
    error = EINVAL;
  } else if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    // A writer holds the file: sharing is denied. File systems without
    // locks are read without one.
    if (errno == EWOULDBLOCK) error = EACCES;
  }
  if (error == 0) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error != 0) {
    ::close(fd);
    return error;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(info.st_size);
  return 0;
}

void SharedReadFile::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing also drops the lock
  fd_ = -1;
  size_ = 0;
}

long long SharedReadFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  size_t done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < count) {
    ssize_t got = ::pread(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<long long>(done);
}

}  // namespace qb
