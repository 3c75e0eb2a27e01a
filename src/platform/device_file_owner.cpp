// What a held file is on every system: one descriptor, given up by moving
// and closed when the object goes.
#include <utility>

#include "platform/device_file.h"
#include "platform/locked_open.h"

namespace qb {

DeviceFile::~DeviceFile() {
  int error = 0;
  Close(error);
}

DeviceFile::DeviceFile(DeviceFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DeviceFile& DeviceFile::operator=(DeviceFile&& other) noexcept {
  if (this != &other) {
    int error = 0;
    Close(error);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DeviceFile DeviceFile::OpenForUpdate(const std::string& path, int& error) {
  return DeviceFile(OpenLockedForUpdate(path, error));
}

}  // namespace qb
