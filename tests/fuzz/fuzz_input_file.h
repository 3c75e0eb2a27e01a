// Fuzz inputs that the code under test reaches by a path like any file: a
// file in memory, rewritten for each input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb::fuzz {

class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(memfd_create(name, 0)) {}
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  // Replaces the content; false when the file cannot be written.
  bool Write(const uint8_t* data, size_t size) const {
    if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
    size_t done = 0;
    while (done < size) {
      ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  bool Write(const std::string& text) const {
    return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

 private:
  int fd_;
};

}  // namespace qb::fuzz
