// The sector device back-end for the recording device acting as a card drive
// on a serial port.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

bool SerialDriveOpen(const std::string& path, uint16_t slot, uint32_t cardsize, uint32_t& capacity);
bool SerialDriveClose();
bool SerialDriveRead(uint8_t* buffer, uint32_t sector);
bool SerialDriveWrite(const uint8_t* buffer, uint32_t sector);

}  // namespace qb
