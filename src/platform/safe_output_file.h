// An output file that takes its name only when it is complete: the bytes go
// to a new file beside the named one, which is flushed to its disk and then
// renamed onto the name. A failed or interrupted write leaves whatever had
// the name before as it was, and two writers of one name never mix their
// bytes: the last complete file wins. A device or FIFO cannot be replaced
// and is written through instead, with every failed write reported.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qb {

class DirectFileWriter;

// True when both paths name one existing file, through any folder, hard
// link or symbolic link (same device and file number).
bool SameExistingFile(const std::string& a, const std::string& b);

class SafeOutputFile {
 public:
  SafeOutputFile();
  // Discards what was not committed.
  ~SafeOutputFile();
  SafeOutputFile(const SafeOutputFile&) = delete;
  SafeOutputFile& operator=(const SafeOutputFile&) = delete;

  // Prepares writing `path`, in text or binary mode. A new name, or an
  // existing regular file (a symbolic link is followed to it), gets a new
  // file beside it that keeps the existing file's permissions; a device or
  // FIFO is opened for writing as it is. Returns 0, or the error number:
  // EISDIR for a folder, EINVAL for any other kind of file, EACCES for a
  // file the user may not write unless `replace_read_only`, and whatever
  // creating the file beside it gave.
  int Open(const std::string& path, bool text = false, bool replace_read_only = false);

  bool IsOpen() const { return stream_ != nullptr; }
  // The buffered stream to write; null when not open.
  std::FILE* stream() const { return stream_; }
  // True when the named file is written directly (a device or FIFO).
  bool writesThrough() const { return through_; }
  // The name as given to Open.
  const std::string& path() const { return path_; }
  // The file being written until Commit (the name itself when written
  // through).
  const std::string& workPath() const { return work_; }

  // Writes all bytes; false with errno set when the file did not take them.
  // Small writes are gathered in a large buffer of the object's own, so that
  // a file of millions of short records costs a copy per record and one
  // system write per megabyte. Where the system allows it, a file beside
  // the name goes to its disk past the system's cache, a megabyte at a time
  // while the next is gathered. A failure may then show at a later Write or
  // at Commit.
  bool Write(const void* bytes, size_t count);

  // Flushes the stream and the file to its disk and closes it, then gives
  // the file its name and flushes the folder. Returns 0, or the error
  // number of the first step that failed; the file beside the name is then
  // removed. Closed afterwards in every case.
  int Commit();

  // Closes the file and removes the file beside the name (a device or FIFO
  // keeps what it was sent). Does nothing when not open.
  void Discard();

 private:
  // Flushes the stream; 0, or the error of the first write or of the flush.
  int FlushStream();
  // Hands the gathered bytes to the stream; false (errno set) when it did
  // not take them.
  bool Drain();
  bool StreamWrite(const void* bytes, size_t count);
  // Back to the state of a file never opened (the stream already closed).
  void Forget();

  // Where a full buffer goes past the system's cache, the other one is
  // filled meanwhile; made at the first full buffer.
  bool StartDirectWrite();

  static constexpr size_t kBufferSize = size_t{1} << 20;
  // Every so many bytes written to a file beside the name, the system is
  // asked to start writing them to the disk, so that the disk works while
  // the next bytes are made and Commit waits only for the last ones.
  static constexpr uint64_t kStartWritingEvery = uint64_t{8} << 20;

  std::FILE* stream_ = nullptr;
  std::unique_ptr<char[]> storage_;  // made at the first write
  char* base_ = nullptr;             // aligned in storage_: two buffers
  char* buffer_ = nullptr;           // the one filled, one of the two
  size_t buffered_ = 0;
  std::unique_ptr<DirectFileWriter> direct_;
  bool direct_tried_ = false;
  bool stream_behind_ = false;  // the stream stands before written_
  uint64_t written_ = 0;        // handed to the stream so far
  uint64_t started_ = 0;        // asked to go to the disk so far
  bool through_ = false;
  int write_error_ = 0;  // of the first write that failed
  std::string path_;     // as given
  std::string target_;   // the file that takes the bytes at Commit
  std::string work_;     // the file written
};

}  // namespace qb
