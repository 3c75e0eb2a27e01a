// The sector device back-end for a plain path: a card image in a file, or a
// block device, opened for update and used as a flat run of 512-byte
// sectors. File positions are 64-bit, so the whole of a large card is
// reachable.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

// Capacity = length / 512, limited by a cardsize greater than 2 and smaller
// than that. Nothing is reported or logged here.
bool RawDriveOpen(const std::string& path, uint16_t slot, uint32_t cardsize, uint32_t& capacity);
bool RawDriveClose();
// Fail without touching the file for a sector at or beyond the capacity.
bool RawDriveRead(uint8_t* buffer, uint32_t sector);
bool RawDriveWrite(const uint8_t* buffer, uint32_t sector);

}  // namespace qb
