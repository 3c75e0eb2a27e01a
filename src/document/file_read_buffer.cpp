#include "document/file_read_buffer.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace qb {

int FileReadBuffer::Open(const std::string& path) {
  Close();
  return file_.Open(path);
}

void FileReadBuffer::Close() {
  file_.Close();
  start_ = 0;
  length_ = 0;
  fill_ = kMinFill;
  pos_ = 0;
  error_ = 0;
  changed_ = false;
}

bool FileReadBuffer::Refill(size_t at_least) {
  // Reading on across the buffer's end (or from just past it, after skipping
  // a record's data) is a forward walk: read more at a time.
  bool forward = length_ > 0 && pos_ >= start_ && pos_ - start_ < length_ + fill_;
  fill_ = forward ? (fill_ * 2 > kMaxFill ? kMaxFill : fill_ * 2) : kMinFill;
  if (fill_ < at_least) fill_ = at_least < kMaxFill ? at_least : kMaxFill;
  length_ = 0;
  start_ = pos_;
  uint64_t size = file_.Size();
  if (pos_ >= size) return false;
  uint64_t left = size - pos_;
  size_t want = left < fill_ ? static_cast<size_t>(left) : fill_;
  if (!buffer_) {
    buffer_.reset(new (std::nothrow) uint8_t[kMaxFill]);
    if (!buffer_) {
      error_ = ENOMEM;
      return false;
    }
  }
  ++file_reads_;
  long long got = file_.ReadAt(pos_, buffer_.get(), want);
  if (got < 0) {
    error_ = errno;
    return false;
  }
  length_ = static_cast<size_t>(got);
  // Fewer bytes than the file held when opened, or a file changed since:
  // one stat a read keeps this to a fraction of the read's own cost.
  if (length_ < want || file_.Changed()) changed_ = true;
  return length_ > 0;
}

size_t FileReadBuffer::Read(void* out, size_t count) {
  auto* bytes = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < count) {
    if (pos_ >= start_ && pos_ < start_ + length_) {
      size_t offset = static_cast<size_t>(pos_ - start_);
      size_t take = length_ - offset;
      if (take > count - done) take = count - done;
      std::memcpy(bytes + done, buffer_.get() + offset, take);
      done += take;
      pos_ += take;
      continue;
    }
    if (!Refill()) break;
  }
  return done;
}

const uint8_t* FileReadBuffer::TakeSlow(size_t count) {
  if (count > kMaxFill) return nullptr;
  // Reads from here on; the bytes then lie at the buffer's start.
  if (!Refill(count) || length_ < count) return nullptr;
  pos_ += count;
  return buffer_.get();
}

const uint8_t* FileReadBuffer::WindowSlow(size_t at_least, size_t& count) {
  count = 0;
  if (!Refill(at_least < kMaxFill ? at_least : kMaxFill)) return nullptr;
  count = length_;
  return buffer_.get();
}

size_t FileReadBuffer::Skip(size_t count) {
  uint64_t size = file_.Size();
  size_t present = 0;
  if (pos_ < size) present = size - pos_ < count ? static_cast<size_t>(size - pos_) : count;
  pos_ += count;
  return present;
}

}  // namespace qb
