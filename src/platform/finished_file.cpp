#include "platform/finished_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qb {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;  // a folder that cannot be read cannot be synced either
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) error = errno;
  ::close(fd);
  return error;
}

int SyncFileAndFolder(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error != 0 ? error : SyncFolder(FolderOf(path));
}

void StartWritingToDisk(std::FILE* stream, uint64_t offset, uint64_t length) {
#ifdef __linux__
  (void)::sync_file_range(fileno(stream), static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
  (void)stream;
  (void)offset;
  (void)length;
#endif
}

int MakeReadOnly(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return errno;
  mode_t mode = status.st_mode & 07555 & ~static_cast<mode_t>(0222);
  return ::chmod(path.c_str(), mode) == 0 ? 0 : errno;
}

}  // namespace qb
