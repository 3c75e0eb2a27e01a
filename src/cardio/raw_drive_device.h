// The sector device back-end for a plain path: a card image in a file, or a
// block device, opened for update and used as a flat run of 512-byte
// sectors. File positions are 64-bit, so the whole of a large card is
// reachable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cardio/sector_device.h"

namespace qb {

// Capacity = length / 512, limited by a cardsize greater than 2 and smaller
// than that. The card is held exclusively while the device is open ("Card in
// use" for a second opener). Nothing is logged here. Transfers at or beyond
// the capacity fail without touching the file.
std::unique_ptr<SectorDevice> OpenRawDrive(const std::string& path, uint16_t slot,
                                           uint32_t cardsize);

}  // namespace qb
