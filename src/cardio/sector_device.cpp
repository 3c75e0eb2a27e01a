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

std::array<SectorDeviceOpener, 3>& Table() {
  static std::array<SectorDeviceOpener, 3> table = {OpenCardDriver, OpenSerialDrive, OpenRawDrive};
  return table;
}

size_t Row(DeviceKind kind) {
  return static_cast<size_t>(kind);
}

// The running job's card. The capacity stays readable after the close.
struct JobDevice {
  DeviceKind kind = DeviceKind::kCardDriver;
  uint32_t capacity = 0;
  std::unique_ptr<SectorDevice> device;  // null while closed
};

JobDevice& Current() {
  static JobDevice current;
  return current;
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

const SectorDeviceOpener& OpenerFor(DeviceKind kind) {
  return Table()[Row(kind)];
}

std::unique_ptr<SectorDevice> OpenCard(const std::string& driver_path, uint16_t slot,
                                       uint32_t cardsize) {
  return OpenerFor(DeviceKindForPath(driver_path))(driver_path, slot, cardsize);
}

bool OpenSectorDevice(const std::string& driver_path, uint16_t slot, uint32_t cardsize) {
  JobDevice& current = Current();
  // A job that opens a card while one is still open (it cannot happen through
  // the job runner) closes the old one first rather than leaking it.
  if (current.device != nullptr) CloseSectorDevice();
  current.kind = DeviceKindForPath(driver_path);
  std::unique_ptr<SectorDevice> device = OpenerFor(current.kind)(driver_path, slot, cardsize);
  if (device == nullptr) {
    ReportMessage(msg::kErrorOpeningCard, driver_path.c_str());
    return false;
  }
  current.capacity = device->Capacity();
  current.device = std::move(device);
  RegisterCleanup(CloseFromCleanup);
  LogMessage(msg::kOpenCardDriver, driver_path.c_str());
  return true;
}

uint32_t SectorDeviceCapacity() {
  return Current().capacity;
}

DeviceKind SectorDeviceKind() {
  return Current().kind;
}

bool ReadSector(uint8_t* buffer, uint32_t sector) {
  SectorDevice* device = Current().device.get();
  return device != nullptr && device->Read(buffer, sector);
}

bool WriteSector(const uint8_t* buffer, uint32_t sector) {
  SectorDevice* device = Current().device.get();
  return device != nullptr && device->Write(buffer, sector);
}

bool CloseSectorDevice() {
  std::unique_ptr<SectorDevice> device = std::move(Current().device);
  if (device == nullptr) return true;
  return device->Close();
}

ScopedBackendOverride::ScopedBackendOverride(DeviceKind kind, SectorDeviceOpener opener)
    : kind_(kind), previous_(std::move(Table()[Row(kind)])) {
  Table()[Row(kind)] = std::move(opener);
}

ScopedBackendOverride::~ScopedBackendOverride() {
  Table()[Row(kind_)] = std::move(previous_);
}

}  // namespace qb
