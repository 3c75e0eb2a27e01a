#include "cardio/raw_drive_device.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "base/messages.h"
#include "format/sector.h"
#include "platform/device_file.h"

namespace qb {
namespace {

constexpr int kBusyGraceMs = 250;
constexpr int kBusyStepMs = 5;

// Reading a card walks its sectors in order: sectors are read from the file
// in blocks of 256, and the block kept serves the following reads. A write
// updates the kept copy, so reads always see what was written.
constexpr uint32_t kBlockSectors = 256;

class RawDrive : public SectorDevice {
 public:
  RawDrive(DeviceFile file, uint32_t capacity) : file_(std::move(file)), capacity_(capacity) {}

  uint32_t Capacity() const override { return capacity_; }

  bool Read(uint8_t* buffer, uint32_t sector) override {
    if (!file_.IsOpen() || sector >= capacity_) return false;
    if (!Holds(sector) && !FillBlock(sector)) return false;
    std::memcpy(buffer, block_.data() + static_cast<size_t>(sector - block_first_) * kSectorSize,
                kSectorSize);
    return true;
  }

  bool Write(const uint8_t* buffer, uint32_t sector) override {
    if (!file_.IsOpen() || sector >= capacity_) return false;
    uint64_t offset = static_cast<uint64_t>(sector) * kSectorSize;
    size_t done = 0;
    while (done < kSectorSize) {
      long n = file_.WriteAt(buffer + done, kSectorSize - done, offset + done);
      if (n <= 0) {
        if (n < 0) SetSystemError(errno);
        // What the file now holds there is not known: the kept copy goes.
        if (Holds(sector)) block_count_ = 0;
        return false;
      }
      done += static_cast<size_t>(n);
    }
    if (Holds(sector)) {
      std::memcpy(block_.data() + static_cast<size_t>(sector - block_first_) * kSectorSize, buffer,
                  kSectorSize);
    }
    return true;
  }

  bool Close() override {
    block_count_ = 0;
    int error = 0;
    if (file_.Close(error)) return true;
    SetSystemError(error);
    return false;
  }

 private:
  bool Holds(uint32_t sector) const {
    return block_count_ != 0 && sector >= block_first_ && sector - block_first_ < block_count_;
  }

  bool FillBlock(uint32_t first) {
    block_count_ = 0;
    uint32_t count = std::min<uint32_t>(kBlockSectors, capacity_ - first);
    block_.resize(static_cast<size_t>(kBlockSectors) * kSectorSize);
    size_t want = static_cast<size_t>(count) * kSectorSize;
    size_t done = 0;
    uint64_t offset = static_cast<uint64_t>(first) * kSectorSize;
    while (done < want) {
      long n = file_.ReadAt(block_.data() + done, want - done, offset + done);
      if (n < 0) {
        SetSystemError(errno);
        break;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    // Only whole sectors count; a short read keeps what did arrive.
    block_first_ = first;
    block_count_ = static_cast<uint32_t>(done / kSectorSize);
    return block_count_ > 0;
  }

  DeviceFile file_;
  uint32_t capacity_;
  std::vector<uint8_t> block_;
  uint32_t block_first_ = 0;
  uint32_t block_count_ = 0;  // sectors held; 0: none
};

}  // namespace

std::unique_ptr<SectorDevice> OpenRawDrive(const std::string& path, uint16_t, uint32_t cardsize) {
  // The card is held exclusively until it is closed: a second job on the
  // same card is refused instead of working on it at the same time. A holder
  // that is just letting go (a card driver whose client has closed the card
  // a moment ago) is given a short while; a job holding it is not waited for.
  int error = 0;
  DeviceFile file = DeviceFile::OpenForUpdate(path, error);
  for (int waited = 0; !file.IsOpen() && error == EBUSY && waited < kBusyGraceMs;
       waited += kBusyStepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
    file = DeviceFile::OpenForUpdate(path, error);
  }
  if (!file.IsOpen()) {
    if (error == EBUSY) {
      SetStringError(msg::kCardInUse);
    } else {
      SetSystemError(error);
    }
    return nullptr;
  }
  uint64_t length = 0;
  if (!file.Length(length)) {
    SetSystemError(errno);
    return nullptr;
  }
  uint64_t sectors = length / kSectorSize;
  // Sector numbers are 32-bit; a device beyond that is used up to the limit.
  uint32_t usable = sectors > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sectors);
  if (cardsize > 2 && cardsize < usable) usable = cardsize;
  return std::make_unique<RawDrive>(std::move(file), usable);
}

}  // namespace qb
