// A regular file opened for reading while others may read it too but should
// not write it: on Linux an advisory shared lock that a writer holding an
// exclusive lock makes fail. Offsets and sizes are 64-bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

class SharedReadFile {
 public:
  SharedReadFile() = default;
  ~SharedReadFile();
  SharedReadFile(const SharedReadFile&) = delete;
  SharedReadFile& operator=(const SharedReadFile&) = delete;

  // Opens `path`; 0 on success, else the error number (EISDIR for a folder,
  // EINVAL for anything but a regular file, EACCES when another holder's
  // lock denies sharing). A file already open is closed first.
  int Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The size when the file was opened.
  uint64_t Size() const { return size_; }

  // True when the file is no longer as it was opened: its size or the time
  // of its last change differ, or its status cannot be had.
  bool Changed() const;

  // Reads up to `count` bytes at `offset`, retrying short reads; returns the
  // number read (fewer only at the end of the file), or -1 with errno set.
  long long ReadAt(uint64_t offset, void* buffer, size_t count) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  // The time of the last change when opened, in the platform's units.
  int64_t changed_at_ = 0;
  int64_t changed_at_fraction_ = 0;
};

}  // namespace qb
