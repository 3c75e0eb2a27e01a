#include "cardio/sector_device.h"

#include <array>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "base/messages.h"
#include "cardio/card_driver_device.h"
#include "cardio/raw_drive_device.h"
#include "cardio/serial_drive_device.h"

namespace qb {
namespace {

const SectorBackend kCardDriverRow = {CardDriverOpen, CardDriverClose, CardDriverRead,
                                      CardDriverWrite};
const SectorBackend kSerialDriveRow = {SerialDriveOpen, SerialDriveClose, SerialDriveRead,
                                       SerialDriveWrite};
const SectorBackend kRawDriveRow = {RawDriveOpen, RawDriveClose, RawDriveRead, RawDriveWrite};

std::array<const SectorBackend*, 3> g_table = {&kCardDriverRow, &kSerialDriveRow, &kRawDriveRow};

struct OpenDevice {
  DeviceKind kind = DeviceKind::kCardDriver;
  uint32_t capacity = 0;
  const SectorBackend* backend = nullptr;  // null while closed
};
OpenDevice g_device;

size_t Row(DeviceKind kind) {
  return static_cast<size_t>(kind);
}

void CloseFromCleanup() {
  if (!CloseSectorDevice()) ReportMessage(msg::kClosingCard);
}

}  // namespace

DeviceKind DeviceKindForPath(const std::string& driver_path) {
  std::string prefix = driver_path.substr(0, 4);
  if (prefix == "\\\\.\\") return DeviceKind::kCardDriver;
  if (prefix == "****") return DeviceKind::kSerialDrive;
  return DeviceKind::kRawDrive;
}

const SectorBackend& BackendFor(DeviceKind kind) {
  return *g_table[Row(kind)];
}

bool OpenSectorDevice(const std::string& driver_path, uint16_t slot, uint32_t cardsize) {
  // A job that opens a card while one is still open (it cannot happen through
  // the job runner) closes the old one first rather than leaking it.
  if (g_device.backend != nullptr) CloseSectorDevice();
  g_device.kind = DeviceKindForPath(driver_path);
  const SectorBackend& backend = BackendFor(g_device.kind);
  uint32_t capacity = 0;
  if (!backend.open(driver_path, slot, cardsize, capacity)) {
    ReportMessage(msg::kErrorOpeningCard, driver_path.c_str());
    return false;
  }
  g_device.capacity = capacity;
  g_device.backend = &backend;
  RegisterCleanup(CloseFromCleanup);
  LogMessageId(msg::kOpenCardDriver, driver_path.c_str());
  return true;
}

uint32_t SectorDeviceCapacity() {
  return g_device.capacity;
}

DeviceKind SectorDeviceKind() {
  return g_device.kind;
}

bool ReadSector(uint8_t* buffer, uint32_t sector) {
  return g_device.backend != nullptr && g_device.backend->read(buffer, sector);
}

bool WriteSector(const uint8_t* buffer, uint32_t sector) {
  return g_device.backend != nullptr && g_device.backend->write(buffer, sector);
}

bool CloseSectorDevice() {
  if (g_device.backend == nullptr) return true;
  const SectorBackend* backend = g_device.backend;
  g_device.backend = nullptr;
  return backend->close();
}

ScopedBackendOverride::ScopedBackendOverride(DeviceKind kind, const SectorBackend& backend)
    : kind_(kind), previous_(g_table[Row(kind)]) {
  g_table[Row(kind)] = &backend;
}

ScopedBackendOverride::~ScopedBackendOverride() {
  g_table[Row(kind_)] = previous_;
}

}  // namespace qb
