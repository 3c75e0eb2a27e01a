#include "platform/file_status.h"

#include <sys/stat.h>

#include <cerrno>

namespace qb {

int PathStatus(const std::string& path, bool follow_links) {
  struct stat info;
  int rc = follow_links ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return rc == 0 ? 0 : errno;
}

}  // namespace qb
