// Buffered reading of a record file with seeking inside the buffer, so that
// walking millions of record headers costs a few large reads instead of a
// system call per header. The read size grows while reading goes forward
// and falls back to a small one after a jump, so that a random fetch reads
// little. The file's size is taken when it is opened: the file is read as
// it was then, and a file that grows meanwhile cannot make a walk endless.
// Each read from the file also looks whether the file is still as it was
// opened; one that was cut, rewritten or extended meanwhile is noted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/shared_read_file.h"

namespace qb {

class FileReadBuffer {
 public:
  static constexpr size_t kMinFill = size_t{8} * 1024;
  static constexpr size_t kMaxFill = size_t{256} * 1024;

  // 0 or the error number.
  int Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  uint64_t Size() const { return file_.Size(); }
  // The file itself, for positioned reads alongside the buffer's own.
  const SharedReadFile& file() const { return file_; }

  uint64_t Tell() const { return pos_; }
  // Any position, also beyond the end (reads there find nothing).
  void SeekTo(uint64_t pos) { pos_ = pos; }

  // Reads up to `count` bytes; fewer at the end of the file or on a read
  // error (then LastError() is its number).
  size_t Read(void* out, size_t count);
  // The next `count` bytes (at most kMaxFill) in place, without copying
  // them, and moves past them; null when the file holds fewer (the position
  // is then unchanged).
  const uint8_t* Take(size_t count) {
    if (pos_ >= start_ && pos_ + count <= start_ + length_) {
      const uint8_t* bytes = buffer_.get() + (pos_ - start_);
      pos_ += count;
      return bytes;
    }
    return TakeSlow(count);
  }
  // The bytes the buffer holds from the position on, read first when fewer
  // than `at_least` (at most kMaxFill) lie there; `count` is how many. For
  // walks that step over many small records in place: the position does
  // not move (SeekTo moves it). `count` is below `at_least` only where the
  // file ends or a read fails.
  const uint8_t* Window(size_t at_least, size_t& count) {
    if (pos_ >= start_ && pos_ + at_least <= start_ + length_) {
      count = static_cast<size_t>(start_ + length_ - pos_);
      return buffer_.get() + (pos_ - start_);
    }
    return WindowSlow(at_least, count);
  }
  // Moves forward over `count` bytes; returns how many of them the file
  // holds.
  size_t Skip(size_t count);

  int LastError() const { return error_; }
  // True once a read found the file cut short or changed since it was
  // opened: what is read from then on may not belong to the file as opened.
  bool Changed() const { return changed_; }
  // Reads from the file so far (for measurements and tests).
  uint64_t FileReads() const { return file_reads_; }

 private:
  SharedReadFile file_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t start_ = 0;  // file offset of buffer_[0]
  size_t length_ = 0;   // valid bytes in the buffer
  size_t fill_ = kMinFill;
  uint64_t pos_ = 0;
  int error_ = 0;
  bool changed_ = false;
  uint64_t file_reads_ = 0;

  // Reads from the position on, at least `at_least` bytes where the file
  // holds them.
  bool Refill(size_t at_least = 0);
  const uint8_t* TakeSlow(size_t count);
  const uint8_t* WindowSlow(size_t at_least, size_t& count);
};

}  // namespace qb
