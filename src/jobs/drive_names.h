// Drive names and driver paths: how the selected card drive becomes the
// driver path the card jobs receive, and the memory-full option that the
// memory organisation stands for.
#pragma once

#include <string>

namespace qb {

// The drive name of the recording device itself on a serial port.
inline constexpr const char* kSerialDriveName = "Quillbank";
// The prefix of a serial card drive's driver path.
inline constexpr const char* kSerialDrivePrefix = "****";
// The prefix of a card driver's device path.
inline constexpr const char* kCardDriverPrefix = "\\\\.\\";

// "Quillbank" (exact case) gets the serial prefix; a name that already
// begins with it is returned unchanged; any other name gets the card
// driver's prefix.
std::string DriverPath(const std::string& drive_name);
// True when the first four characters of `driver_path` are the serial prefix.
bool IsSerialDrive(const std::string& driver_path);
// "overwrite_old" when the memory organisation is exactly 1 (ring memory),
// "stop_logger" for every other value.
std::string MemoryFullValue(long mem_org);

}  // namespace qb
