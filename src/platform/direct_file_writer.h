// Writes the large pieces of a file being made straight to its disk, past
// the system's file cache, on a thread of its own: the bytes are not copied
// into the cache first, and the disk takes one piece while the next is
// made. One piece is in flight at a time. Where the system or the file
// system cannot write past the cache, Open says so and the file is written
// as before.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qb {

class DirectFileWriter {
 public:
  // Pieces, their memory and their places in the file are multiples of this.
  static constexpr size_t kAlign = 4096;

  DirectFileWriter() = default;
  // Waits for the piece in flight.
  ~DirectFileWriter();
  DirectFileWriter(const DirectFileWriter&) = delete;
  DirectFileWriter& operator=(const DirectFileWriter&) = delete;

  // Opens the file of `stream` a second time, for writing past the cache,
  // and starts the thread; false where that cannot be had.
  bool Open(std::FILE* stream);

  // Waits for the piece in flight, then hands over `count` bytes at `bytes`
  // to be written at `offset`; they must stay untouched until the next
  // Start or Finish. False, with errno set, when an earlier piece failed.
  bool Start(const void* bytes, size_t count, uint64_t offset);

  // Waits for the piece in flight and closes; 0, or the error number of the
  // first piece that failed.
  int Finish();

 private:
  int fd_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const unsigned char* bytes_ = nullptr;
  size_t count_ = 0;
  uint64_t offset_ = 0;
  bool busy_ = false;
  bool stop_ = false;
  int error_ = 0;

  void Run();
  // 0, or the error number.
  int WriteAll(const unsigned char* bytes, size_t count, uint64_t offset);
};

}  // namespace qb
