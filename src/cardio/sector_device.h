// The card as a row of 512-byte sectors numbered from 0. One card is open at
// a time, by the one job that runs. The back-end is chosen by the first four
// characters of the driver path: "\\.\" the card driver, "****" the serial
// card drive, anything else a plain file or raw device.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

enum class DeviceKind { kCardDriver = 0, kSerialDrive = 1, kRawDrive = 2 };

DeviceKind DeviceKindForPath(const std::string& driver_path);

// One row of the back-end table. `open` sets the capacity in sectors (after
// the cardsize limit) and reports its own reasons; the others return whether
// the whole sector was transferred.
struct SectorBackend {
  bool (*open)(const std::string& driver_path, uint16_t slot, uint32_t cardsize,
               uint32_t& capacity);
  bool (*close)();
  bool (*read)(uint8_t* buffer, uint32_t sector);
  bool (*write)(const uint8_t* buffer, uint32_t sector);
};

const SectorBackend& BackendFor(DeviceKind kind);

// Opens the card. On failure reports "Error while opening PC Card on '%s'"
// after the back-end's own reason. On success registers the close as a job
// clean-up (a failing close reports "Closing PC Card") and logs
// "Open card driver %s".
bool OpenSectorDevice(const std::string& driver_path, uint16_t slot, uint32_t cardsize);
// Usable sectors of the card opened last (still readable after the close).
uint32_t SectorDeviceCapacity();
DeviceKind SectorDeviceKind();
bool ReadSector(uint8_t* buffer, uint32_t sector);
bool WriteSector(const uint8_t* buffer, uint32_t sector);
// Closes the open card; false when the back-end's close failed.
bool CloseSectorDevice();

// Replaces the row of one kind while the object lives (tests: counting and
// fault-injecting devices).
class ScopedBackendOverride {
 public:
  ScopedBackendOverride(DeviceKind kind, const SectorBackend& backend);
  ~ScopedBackendOverride();
  ScopedBackendOverride(const ScopedBackendOverride&) = delete;
  ScopedBackendOverride& operator=(const ScopedBackendOverride&) = delete;

 private:
  DeviceKind kind_;
  const SectorBackend* previous_;
};

}  // namespace qb
