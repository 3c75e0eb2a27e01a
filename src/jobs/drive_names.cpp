#include "jobs/drive_names.h"

namespace qb {

std::string DriverPath(const std::string& drive_name) {
  if (drive_name == kSerialDriveName) return kSerialDrivePrefix + drive_name;
  if (IsSerialDrive(drive_name)) return drive_name;
  return kCardDriverPrefix + drive_name;
}

bool IsSerialDrive(const std::string& driver_path) {
  return driver_path.compare(0, 4, kSerialDrivePrefix) == 0;
}

std::string MemoryFullValue(long mem_org) {
  return mem_org == 1 ? "overwrite_old" : "stop_logger";
}

}  // namespace qb
