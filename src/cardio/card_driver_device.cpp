#include "cardio/card_driver_device.h"

#include <cerrno>

#include "base/error_report.h"

namespace qb {

// Placeholder until the device-control channel lands.
bool CardDriverOpen(const std::string&, uint16_t, uint32_t, uint32_t& capacity) {
  capacity = 0;
  SetSystemError(ENOTSUP);
  return false;
}
bool CardDriverClose() { return true; }
bool CardDriverRead(uint8_t*, uint32_t) { return false; }
bool CardDriverWrite(const uint8_t*, uint32_t) { return false; }

}  // namespace qb
