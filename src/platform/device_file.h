// A file or device opened for update and held by its one user: the lock of
// OpenLockedForUpdate, transfers at 64-bit positions, and a close that
// happens by itself when the object goes. Move-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

class DeviceFile {
 public:
  DeviceFile() = default;
  ~DeviceFile();
  DeviceFile(DeviceFile&& other) noexcept;
  DeviceFile& operator=(DeviceFile&& other) noexcept;
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;

  // Opens `path` for reading and writing with the exclusive hold of
  // OpenLockedForUpdate. A closed object with the errno value in `error`
  // (EBUSY: another holder has it) on failure.
  static DeviceFile OpenForUpdate(const std::string& path, int& error);

  bool IsOpen() const { return fd_ >= 0; }
  // The length in bytes. False with errno set.
  bool Length(uint64_t& length);
  // One transfer of at most `size` bytes at `offset`: the count (0 at the end
  // of the file), or -1 with errno set. EINTR is retried here.
  long ReadAt(void* data, size_t size, uint64_t offset);
  long WriteAt(const void* data, size_t size, uint64_t offset);
  // Closes the file; false with the errno value in `error` when the close
  // failed. Closing a closed file succeeds.
  bool Close(int& error);

 private:
  explicit DeviceFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace qb
