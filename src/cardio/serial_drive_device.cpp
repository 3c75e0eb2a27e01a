#include "cardio/serial_drive_device.h"

#include <cerrno>

#include "base/error_report.h"

namespace qb {

// The serial protocol is not built into this version: the drive cannot be
// opened, and the open reports the platform's "not supported" reason.
bool SerialDriveOpen(const std::string&, uint16_t, uint32_t, uint32_t& capacity) {
  capacity = 0;
  SetSystemError(ENOTSUP);
  return false;
}

bool SerialDriveClose() {
  return true;
}
bool SerialDriveRead(uint8_t*, uint32_t) {
  return false;
}
bool SerialDriveWrite(const uint8_t*, uint32_t) {
  return false;
}

}  // namespace qb
