// The part of an output file that is the same on every system: the buffered
// stream and the first error it met.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/direct_file_writer.h"
#include "platform/finished_file.h"
#include "platform/safe_output_file.h"

namespace qb {

SafeOutputFile::SafeOutputFile() = default;

bool SafeOutputFile::Write(const void* bytes, size_t count) {
  if (stream_ == nullptr) {
    errno = EBADF;
    return false;
  }
  if (count == 0) return true;
  if (count > kBufferSize / 2) return Drain() && StreamWrite(bytes, count);
  if (!storage_) {
    // Aligned as writes past the cache want it, room for two buffers.
    constexpr size_t kAlign = DirectFileWriter::kAlign;
    storage_ = std::make_unique<char[]>(2 * kBufferSize + kAlign);
    const auto address = reinterpret_cast<uintptr_t>(storage_.get());
    base_ = storage_.get() + (kAlign - address % kAlign) % kAlign;
    buffer_ = base_;
  }
  if (buffered_ + count > kBufferSize) {
    // The buffer is filled to its end and goes out whole: a file made of
    // whole buffers can go past the cache.
    const size_t part = kBufferSize - buffered_;
    std::memcpy(buffer_ + buffered_, bytes, part);
    buffered_ = kBufferSize;
    bytes = static_cast<const char*>(bytes) + part;
    count -= part;
    if (!Drain()) return false;
  }
  std::memcpy(buffer_ + buffered_, bytes, count);
  buffered_ += count;
  return true;
}

bool SafeOutputFile::StartDirectWrite() {
  if (through_ || buffered_ != kBufferSize || written_ % DirectFileWriter::kAlign != 0)
    return false;
  if (!direct_tried_) {
    direct_tried_ = true;
    auto writer = std::make_unique<DirectFileWriter>();
    if (writer->Open(stream_)) direct_ = std::move(writer);
  }
  return direct_ != nullptr;
}

bool SafeOutputFile::Drain() {
  const size_t count = buffered_;
  if (StartDirectWrite()) {
    buffered_ = 0;
    if (!direct_->Start(buffer_, count, written_)) {
      if (write_error_ == 0) write_error_ = errno;
      return false;
    }
    written_ += count;
    started_ = written_;  // on its way to the disk already
    stream_behind_ = true;
    // The other half is filled while this one is written.
    buffer_ = buffer_ == base_ ? base_ + kBufferSize : base_;
    return true;
  }
  buffered_ = 0;
  return count == 0 || StreamWrite(buffer_, count);
}

bool SafeOutputFile::StreamWrite(const void* bytes, size_t count) {
  errno = 0;
  if (stream_behind_) {
    // The pieces written past the cache did not move the stream.
    if (std::fseek(stream_, static_cast<long>(written_), SEEK_SET) != 0) {
      if (errno == 0) errno = EIO;
      if (write_error_ == 0) write_error_ = errno;
      return false;
    }
    stream_behind_ = false;
  }
  if (std::fwrite(bytes, 1, count, stream_) != count) {
    if (errno == 0) errno = EIO;
    if (write_error_ == 0) write_error_ = errno;
    return false;
  }
  written_ += count;
  if (!through_ && written_ - started_ >= kStartWritingEvery) {
    StartWritingToDisk(stream_, started_, written_ - started_);
    started_ = written_;
  }
  return true;
}

void SafeOutputFile::Forget() {
  if (direct_) (void)direct_->Finish();
  direct_.reset();
  direct_tried_ = false;
  stream_behind_ = false;
  buffered_ = 0;
  written_ = 0;
  started_ = 0;
  through_ = false;
  write_error_ = 0;
  path_.clear();
  target_.clear();
  work_.clear();
}

int SafeOutputFile::FlushStream() {
  (void)Drain();  // a failure is in the stream's error state and write_error_
  if (direct_) {
    const int direct_error = direct_->Finish();
    if (direct_error != 0 && write_error_ == 0) write_error_ = direct_error;
    direct_.reset();
  }
  int error = 0;
  errno = 0;
  bool failed_before = std::ferror(stream_) != 0;
  if (std::fflush(stream_) != 0 || failed_before) error = errno != 0 ? errno : EIO;
  if (write_error_ != 0) error = write_error_;
  return error;
}

}  // namespace qb
