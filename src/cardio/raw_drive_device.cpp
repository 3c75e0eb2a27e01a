#include "cardio/raw_drive_device.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "base/messages.h"
#include "format/sector.h"
#include "platform/locked_open.h"
#include "platform/posix_names.h"

namespace qb {
namespace {

#ifdef _WIN32
// The run-time library has no positional transfers; the drive is used by one
// thread at a time, so seeking before each transfer does the same. Offsets
// are 64-bit.
ssize_t pread(int fd, void* data, size_t size, off_t offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return _read(fd, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return _write(fd, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}

off_t lseek(int fd, off_t offset, int whence) {
  return _lseeki64(fd, offset, whence);
}
#endif

constexpr int kBusyGraceMs = 250;
constexpr int kBusyStepMs = 5;

int g_fd = -1;
uint32_t g_capacity = 0;

// Reading a card walks its sectors in order: sectors are read from the file
// in blocks of 256, and the block kept serves the following reads. A write
// updates the kept copy, so reads always see what was written.
constexpr uint32_t kBlockSectors = 256;
std::vector<uint8_t> g_block;
uint32_t g_block_first = 0;
uint32_t g_block_count = 0;  // sectors held; 0: none

// Whole-sector transfer at a 64-bit offset; short transfers and EINTR are
// retried until the sector is done or the call fails.
template <typename Buffer, typename Io>
bool TransferAll(Buffer buffer, off_t offset, Io io) {
  size_t done = 0;
  while (done < kSectorSize) {
    ssize_t n = io(g_fd, buffer + done, kSectorSize - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) SetSystemError(errno);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool RawDriveOpen(const std::string& path, uint16_t, uint32_t cardsize, uint32_t& capacity) {
  if (g_fd >= 0) RawDriveClose();
  g_capacity = 0;
  g_block_count = 0;
  // The card is held exclusively until it is closed: a second job on the
  // same card is refused instead of working on it at the same time. A holder
  // that is just letting go (a card driver whose client has closed the card
  // a moment ago) is given a short while; a job holding it is not waited for.
  int error = 0;
  int fd = OpenLockedForUpdate(path, error);
  for (int waited = 0; fd < 0 && error == EBUSY && waited < kBusyGraceMs; waited += kBusyStepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
    fd = OpenLockedForUpdate(path, error);
  }
  if (fd < 0) {
    if (error == EBUSY) {
      SetStringError(msg::kCardInUse);
    } else {
      SetSystemError(error);
    }
    return false;
  }
  off_t length = lseek(fd, 0, SEEK_END);
  if (length < 0) {
    SetSystemError(errno);
    close(fd);
    return false;
  }
  uint64_t sectors = static_cast<uint64_t>(length) / kSectorSize;
  // Sector numbers are 32-bit; a device beyond that is used up to the limit.
  uint32_t usable = sectors > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sectors);
  if (cardsize > 2 && cardsize < usable) usable = cardsize;
  g_fd = fd;
  g_capacity = usable;
  capacity = usable;
  return true;
}

bool RawDriveClose() {
  g_block_count = 0;
  if (g_fd < 0) return true;
  int fd = g_fd;
  g_fd = -1;
  if (close(fd) != 0) {
    SetSystemError(errno);
    return false;
  }
  return true;
}

bool FillBlock(uint32_t first) {
  g_block_count = 0;
  uint32_t count = std::min<uint32_t>(kBlockSectors, g_capacity - first);
  g_block.resize(static_cast<size_t>(kBlockSectors) * kSectorSize);
  size_t want = static_cast<size_t>(count) * kSectorSize;
  size_t done = 0;
  off_t offset = static_cast<off_t>(first) * static_cast<off_t>(kSectorSize);
  while (done < want) {
    ssize_t n = pread(g_fd, g_block.data() + done, want - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetSystemError(errno);
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  // Only whole sectors count; a short read keeps what did arrive.
  g_block_first = first;
  g_block_count = static_cast<uint32_t>(done / kSectorSize);
  return g_block_count > 0;
}

bool RawDriveRead(uint8_t* buffer, uint32_t sector) {
  if (g_fd < 0 || sector >= g_capacity) return false;
  if (g_block_count == 0 || sector < g_block_first || sector - g_block_first >= g_block_count) {
    if (!FillBlock(sector)) return false;
  }
  std::memcpy(buffer, g_block.data() + static_cast<size_t>(sector - g_block_first) * kSectorSize,
              kSectorSize);
  return true;
}

bool RawDriveWrite(const uint8_t* buffer, uint32_t sector) {
  if (g_fd < 0 || sector >= g_capacity) return false;
  return TransferAll(buffer, static_cast<off_t>(sector) * static_cast<off_t>(kSectorSize), pwrite);
}

}  // namespace qb
