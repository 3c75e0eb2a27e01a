// The sector device back-end for the card driver: the five device-control
// requests (information, slot status, read, write, identify) on the device
// named by the driver path.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

bool CardDriverOpen(const std::string& path, uint16_t slot, uint32_t cardsize, uint32_t& capacity);
bool CardDriverClose();
bool CardDriverRead(uint8_t* buffer, uint32_t sector);
bool CardDriverWrite(const uint8_t* buffer, uint32_t sector);

}  // namespace qb
