#include "platform/locked_open.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <windows.h>

#include <cerrno>

namespace qb {

int OpenLockedForReading(const std::string& path, FileLock lock, bool allow_pipe, int& error,
                         struct stat& info) {
  // A folder cannot be opened as a file here, so it is told apart first.
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = EISDIR;
    return -1;
  }
  // Sharing denied by the open itself: exclusive keeps every other opener
  // out, shared keeps writers out. A holder that denies us fails with EACCES.
  int fd = -1;
  int share = lock == FileLock::kExclusive ? _SH_DENYRW : _SH_DENYWR;
  error = _sopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, share, 0);
  if (error != 0 || fd < 0) {
    if (error == 0) error = errno != 0 ? errno : EACCES;
    return -1;
  }
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(info.st_mode) && !(allow_pipe && S_ISFIFO(info.st_mode))) {
    error = EINVAL;
  }
  if (error != 0) {
    ::_close(fd);
    return -1;
  }
  return fd;
}

int OpenLockedForUpdate(const std::string& path, int& error) {
  // Sharing denied by the open itself; another opener of the file or device
  // makes it fail with a sharing violation.
  int fd = -1;
  error = _sopen_s(&fd, path.c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT, _SH_DENYRW, 0);
  if (error == 0 && fd >= 0) return fd;
  DWORD reason = GetLastError();
  if (reason == ERROR_SHARING_VIOLATION || reason == ERROR_LOCK_VIOLATION) {
    error = EBUSY;
  } else if (error == 0) {
    error = errno != 0 ? errno : EACCES;
  }
  return -1;
}

std::FILE* StreamFromDescriptor(int fd, const char* mode, int& error) {
  error = 0;
  std::FILE* file = ::_fdopen(fd, mode);
  if (file == nullptr) {
    error = errno;
    ::_close(fd);
  }
  return file;
}

}  // namespace qb
