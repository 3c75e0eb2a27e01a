// The card as a row of 512-byte sectors numbered from 0. The back-end is
// chosen by the first four characters of the driver path: "\\.\" the card
// driver, "****" the serial card drive, anything else a plain file or raw
// device. Opening a card gives a device object that holds everything of that
// card (handle, capacity, port, session), so several cards can be open at
// once. The running job keeps its one open card process-wide, behind the
// functions below the table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qb {

enum class DeviceKind { kCardDriver = 0, kSerialDrive = 1, kRawDrive = 2 };

DeviceKind DeviceKindForPath(const std::string& driver_path);

// One open card. Read and Write return whether the whole sector was
// transferred; a sector beyond the end of the card, or a closed device,
// fails and leaves the caller's buffer as it was. (Only the plain file also
// refuses the sectors a cardsize leaves unused; the jobs never ask for them.)
// Close gives the card up and tells whether that went well; closing a closed
// device does nothing and succeeds. Destroying an open device closes it.
class SectorDevice {
 public:
  virtual ~SectorDevice() = default;
  // Usable sectors, after the cardsize limit.
  virtual uint32_t Capacity() const = 0;
  virtual bool Read(uint8_t* buffer, uint32_t sector) = 0;
  virtual bool Write(const uint8_t* buffer, uint32_t sector) = 0;
  virtual bool Close() = 0;
};

// Opens a card of one kind: the device, or null after reporting the
// back-end's own reasons.
using SectorDeviceOpener = std::function<std::unique_ptr<SectorDevice>(
    const std::string& driver_path, uint16_t slot, uint32_t cardsize)>;

// The table's row for a kind.
const SectorDeviceOpener& OpenerFor(DeviceKind kind);
// Opens the card the path names through the table; nothing is logged and no
// clean-up is registered.
std::unique_ptr<SectorDevice> OpenCard(const std::string& driver_path, uint16_t slot,
                                       uint32_t cardsize);

// The job's open card.
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
  ScopedBackendOverride(DeviceKind kind, SectorDeviceOpener opener);
  ~ScopedBackendOverride();
  ScopedBackendOverride(const ScopedBackendOverride&) = delete;
  ScopedBackendOverride& operator=(const ScopedBackendOverride&) = delete;

 private:
  DeviceKind kind_;
  SectorDeviceOpener previous_;
};

// A device that passes every call to another one; tests derive from it to
// count or fail single calls.
class ForwardingSectorDevice : public SectorDevice {
 public:
  explicit ForwardingSectorDevice(std::unique_ptr<SectorDevice> inner) : inner_(std::move(inner)) {}
  uint32_t Capacity() const override { return inner_->Capacity(); }
  bool Read(uint8_t* buffer, uint32_t sector) override { return inner_->Read(buffer, sector); }
  bool Write(const uint8_t* buffer, uint32_t sector) override {
    return inner_->Write(buffer, sector);
  }
  bool Close() override { return inner_->Close(); }

 private:
  std::unique_ptr<SectorDevice> inner_;
};

}  // namespace qb
