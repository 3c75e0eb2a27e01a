// One read of a whole record file from its first byte to its last: the
// SHA-256 of its bytes and what its records tell (the same facts a document
// gathers while indexing its lines), from the same pieces read once. This is
// how a file is checked against its read report, and how the report is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/messages.h"
#include "document/recording_facts.h"

namespace qb {

struct RecordFileScan {
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
  RecordingFacts facts;
};

// Reads `path` once. 0 on success, else the error number of the open or a
// read (EISDIR for a folder, EINVAL for anything but a regular file).
int ScanRecordFile(const std::string& path, RecordFileScan& scan);

// Null when the scanned file is a record file the application loads as far
// as its settings go (an option record that passes its check, with the
// supported protocol and a character format with parity); else the message
// that says why not, as loading would show it.
const Message<>* NotARecordFile(const RecordingFacts& facts);

// Splits a stream of record-file bytes, fed in pieces of any size, into
// records for a collector; a record that straddles two pieces is joined.
class RecordStream;
class Sha256;
class SharedReadFile;

// Feeds an open file's bytes, from its start up to the size it had when
// opened (or where it now ends), in large pieces to `stream` and, when
// given, to `sha`, and finishes the stream. `read` is how many bytes came.
// 0, or the error number of a read (the stream is then left unfinished).
// Positioned reads only: other readers of the same file may go on meanwhile.
int FeedRecordFile(const SharedReadFile& file, RecordStream& stream, Sha256* sha, uint64_t& read);

class RecordStream {
 public:
  explicit RecordStream(RecordingFactsCollector& collector) : collector_(collector) {}
  void Feed(const uint8_t* bytes, size_t size);
  // After the last piece of a stream of `size` bytes: a record cut short by
  // the end goes to the collector without its data, fewer than ten bytes as
  // trailing bytes.
  void Finish(uint64_t size);

 private:
  RecordingFactsCollector& collector_;
  std::vector<uint8_t> partial_;  // the start of a record the pieces cut
};

}  // namespace qb
