#include "platform/direct_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace qb {

DirectFileWriter::~DirectFileWriter() {
  (void)Finish();
}

bool DirectFileWriter::Open(std::FILE* stream) {
#if defined(__linux__) && defined(O_DIRECT)
  if (fd_ >= 0 || stream == nullptr) return false;
  // Through the open file itself, not its name: the name may meanwhile lead
  // elsewhere. A handle of its own keeps the stream's handle as it was.
  const std::string self = "/proc/self/fd/" + std::to_string(fileno(stream));
  fd_ = ::open(self.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
  if (fd_ < 0) return false;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
#else
  (void)stream;
  return false;
#endif
}

bool DirectFileWriter::Start(const void* bytes, size_t count, uint64_t offset) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (error_ != 0 || fd_ < 0) {
    errno = error_ != 0 ? error_ : EBADF;
    return false;
  }
  bytes_ = static_cast<const unsigned char*>(bytes);
  count_ = count;
  offset_ = offset;
  busy_ = true;
  changed_.notify_all();
  return true;
}

int DirectFileWriter::Finish() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  return error_;
}

void DirectFileWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (!busy_) return;  // stopped with nothing in flight
    const unsigned char* bytes = bytes_;
    const size_t count = count_;
    const uint64_t offset = offset_;
    lock.unlock();
    const int error = WriteAll(bytes, count, offset);
    lock.lock();
    if (error != 0 && error_ == 0) error_ = error;
    busy_ = false;
    changed_.notify_all();
  }
}

int DirectFileWriter::WriteAll(const unsigned char* bytes, size_t count, uint64_t offset) {
  while (count > 0) {
    const ssize_t done = ::pwrite(fd_, bytes, count, static_cast<off_t>(offset));
    if (done < 0) {
      const int error = errno;
      if (error == EINTR) continue;
#ifdef O_DIRECT
      // A piece the file system will not take past the cache (a place or
      // a rest it cannot align) is written through the cache instead.
      const int flags = error == EINVAL ? ::fcntl(fd_, F_GETFL) : -1;
      if (flags >= 0 && (flags & O_DIRECT) != 0 && ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) == 0)
        continue;
#endif
      return error;
    }
    if (done == 0) return EIO;
    bytes += done;
    count -= static_cast<size_t>(done);
    offset += static_cast<uint64_t>(done);
  }
  return 0;
}

}  // namespace qb
