#include "cardsim/card_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "format/sector.h"
#include "platform/posix_names.h"

namespace qb::cardsim {

namespace {

#ifdef _WIN32
// The run-time library has no positioned reads and writes. An image is used
// from one thread only, so moving the file position first does the same.
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return _read(fd, buffer, static_cast<unsigned>(count));
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return _write(fd, data, static_cast<unsigned>(count));
}
#endif

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Writes all bytes at `offset`, resuming after interrupted or short writes.
bool WriteAll(int fd, const uint8_t* data, uint64_t size, uint64_t offset) {
  while (size > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, 1u << 30));
    ssize_t done = pwrite(fd, data, chunk, static_cast<off_t>(offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (done == 0) {
      errno = ENOSPC;
      return false;
    }
    data += done;
    size -= static_cast<uint64_t>(done);
    offset += static_cast<uint64_t>(done);
  }
  return true;
}

}  // namespace

FileCardImage::~FileCardImage() {
  if (fd_ >= 0) close(fd_);
}

bool FileCardImage::Open(const std::string& path, bool writable) {
  path_ = path;
  fd_ = open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = SystemError("cannot open card image", path);
    return false;
  }
  struct stat info;
  if (fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    error_ = "not a card image: " + path;
    return false;
  }
  // lseek gives the size of block devices as well as of files.
  off_t end = lseek(fd_, 0, SEEK_END);
  if (end < 0) {
    error_ = SystemError("cannot size card image", path);
    return false;
  }
  sectors_ = static_cast<uint64_t>(end) / kSectorSize;
  return true;
}

bool FileCardImage::Close() {
  if (fd_ < 0) return true;
  bool ok = close(fd_) == 0;
  if (!ok) error_ = SystemError("cannot close card image", path_);
  fd_ = -1;
  return ok;
}

bool FileCardImage::ReadSectors(uint64_t first, uint8_t* out, uint64_t count) {
  if (first > sectors_ || count > sectors_ - first) {
    error_ = "sector " + std::to_string(first + count - 1) + " lies beyond the card image";
    return false;
  }
  const uint64_t size = count * kSectorSize;
  uint64_t got = 0;
  while (got < size) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size - got, 1u << 30));
    ssize_t done = pread(fd_, out + got, chunk, static_cast<off_t>(first * kSectorSize + got));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      error_ = SystemError(
          "read error at sector " + std::to_string(first + got / kSectorSize) + " of", path_);
      return false;
    }
    got += static_cast<uint64_t>(done);
  }
  return true;
}

bool FileCardImage::Write(uint64_t first, const uint8_t* data, uint64_t count) {
  if (first > sectors_ || count > sectors_ - first) {
    error_ = "sector " + std::to_string(first + count - 1) + " lies beyond the card image";
    return false;
  }
  if (!WriteAll(fd_, data, count * kSectorSize, first * kSectorSize)) {
    error_ = SystemError("write error at sector " + std::to_string(first) + " of", path_);
    return false;
  }
  return true;
}

MemoryCardImage::MemoryCardImage(uint64_t sectors, uint8_t fill)
    : bytes_(static_cast<size_t>(sectors * kSectorSize), fill) {}

bool MemoryCardImage::ReadSectors(uint64_t first, uint8_t* out, uint64_t count) {
  if (first > SectorCount() || count > SectorCount() - first) {
    error_ = "sector " + std::to_string(first + count - 1) + " lies beyond the card image";
    return false;
  }
  std::memcpy(out, Sector(first), static_cast<size_t>(count * kSectorSize));
  return true;
}

bool MemoryCardImage::Write(uint64_t first, const uint8_t* data, uint64_t count) {
  if (first > SectorCount() || count > SectorCount() - first) {
    error_ = "sector " + std::to_string(first + count - 1) + " lies beyond the card image";
    return false;
  }
  std::memcpy(Sector(first), data, static_cast<size_t>(count * kSectorSize));
  return true;
}

bool CreateBlankImage(const std::string& path, uint64_t sectors, std::string& error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = SystemError("cannot create", path);
    return false;
  }
  const uint64_t size = sectors * kSectorSize;
  // Sizing the file first lets a full disk show at once on most file systems
  // that reserve space, and keeps the writes below from growing the file.
  bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  if (!ok) error = SystemError("cannot size", path);
  const std::vector<uint8_t> chunk(1u << 20, 0xFF);
  for (uint64_t offset = 0; ok && offset < size; offset += chunk.size()) {
    uint64_t count = std::min<uint64_t>(chunk.size(), size - offset);
    if (!WriteAll(fd, chunk.data(), count, offset)) {
      error = SystemError("cannot write", path);
      ok = false;
    }
  }
  if (close(fd) != 0 && ok) {
    error = SystemError("cannot close", path);
    ok = false;
  }
  return ok;
}

}  // namespace qb::cardsim
