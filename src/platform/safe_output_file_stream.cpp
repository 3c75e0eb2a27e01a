// The part of an output file that is the same on every system: the buffered
// stream and the first error it met.
#include <cerrno>
#include <cstring>

#include "platform/finished_file.h"
#include "platform/safe_output_file.h"

namespace qb {

bool SafeOutputFile::Write(const void* bytes, size_t count) {
  if (stream_ == nullptr) {
    errno = EBADF;
    return false;
  }
  if (count == 0) return true;
  if (count > kBufferSize / 2) return Drain() && StreamWrite(bytes, count);
  if (buffered_ + count > kBufferSize && !Drain()) return false;
  if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
  std::memcpy(buffer_.get() + buffered_, bytes, count);
  buffered_ += count;
  return true;
}

bool SafeOutputFile::Drain() {
  const size_t count = buffered_;
  buffered_ = 0;
  return count == 0 || StreamWrite(buffer_.get(), count);
}

bool SafeOutputFile::StreamWrite(const void* bytes, size_t count) {
  errno = 0;
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
  int error = 0;
  errno = 0;
  bool failed_before = std::ferror(stream_) != 0;
  if (std::fflush(stream_) != 0 || failed_before) error = errno != 0 ? errno : EIO;
  if (failed_before && write_error_ != 0) error = write_error_;
  return error;
}

}  // namespace qb
