// The sector device back-end for the card driver: the five device-control
// requests (information, slot status, read, write, identify) on the device
// named by the driver path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cardio/sector_device.h"

namespace qb {

// Connects to the driver, checks it, the slot and the card, logs the driver
// and the card, and applies the cardsize and the driver's reach to the
// capacity. Null after reporting the reason. Each device keeps its own
// connection and slot.
std::unique_ptr<SectorDevice> OpenCardDriver(const std::string& path, uint16_t slot,
                                             uint32_t cardsize);

}  // namespace qb
