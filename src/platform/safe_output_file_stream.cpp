// The part of an output file that is the same on every system: the buffered
// stream and the first error it met.
#include <cerrno>

#include "platform/safe_output_file.h"

namespace qb {

bool SafeOutputFile::Write(const void* bytes, size_t count) {
  if (stream_ == nullptr) {
    errno = EBADF;
    return false;
  }
  if (count == 0) return true;
  errno = 0;
  if (std::fwrite(bytes, 1, count, stream_) == count) return true;
  if (errno == 0) errno = EIO;
  if (write_error_ == 0) write_error_ = errno;
  return false;
}

void SafeOutputFile::Forget() {
  through_ = false;
  write_error_ = 0;
  path_.clear();
  target_.clear();
  work_.clear();
}

int SafeOutputFile::FlushStream() {
  int error = 0;
  errno = 0;
  bool failed_before = std::ferror(stream_) != 0;
  if (std::fflush(stream_) != 0 || failed_before) error = errno != 0 ? errno : EIO;
  if (failed_before && write_error_ != 0) error = write_error_;
  return error;
}

}  // namespace qb
