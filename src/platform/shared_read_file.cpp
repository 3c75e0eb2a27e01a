#include "platform/shared_read_file.h"

#include "platform/locked_open.h"

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
  // Writers are kept out while the document is open; only regular files.
  int error = 0;
  struct stat info;
  int fd = OpenLockedForReading(path, FileLock::kShared, false, error, info);
  if (fd < 0) return error;
  fd_ = fd;
  size_ = static_cast<uint64_t>(info.st_size);
  changed_at_ = static_cast<int64_t>(info.st_mtim.tv_sec);
  changed_at_fraction_ = static_cast<int64_t>(info.st_mtim.tv_nsec);
  return 0;
}

bool SharedReadFile::Changed() const {
  if (fd_ < 0) return false;
  struct stat info;
  if (::fstat(fd_, &info) != 0) return true;
  return static_cast<uint64_t>(info.st_size) != size_ ||
         static_cast<int64_t>(info.st_mtim.tv_sec) != changed_at_ ||
         static_cast<int64_t>(info.st_mtim.tv_nsec) != changed_at_fraction_;
}

void SharedReadFile::Close() {
  if (fd_ >= 0) ::close(fd_);  // closing also drops the lock
  fd_ = -1;
  size_ = 0;
  changed_at_ = 0;
  changed_at_fraction_ = 0;
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
