#include "document/record_file_scan.h"

#include <cerrno>
#include <memory>
#include <new>

#include "document/option_record_check.h"
#include "format/sha256.h"
#include "platform/shared_read_file.h"

namespace qb {
namespace {

// Large reads keep the system calls few; the hash and the records take
// each piece while it is in the cache.
constexpr size_t kPieceSize = size_t{1} << 20;

}  // namespace

void RecordStream::Feed(const uint8_t* bytes, size_t size) {
  RecordHeader header;
  while (size > 0) {
    if (!partial_.empty()) {
      size_t want = kRecordFileHeaderSize;
      if (partial_.size() >= kRecordFileHeaderSize) {
        DecodeRecordHeader(partial_.data(), header);
        want += header.length;
      }
      size_t take = want - partial_.size() < size ? want - partial_.size() : size;
      partial_.insert(partial_.end(), bytes, bytes + take);
      bytes += take;
      size -= take;
      if (partial_.size() < kRecordFileHeaderSize) continue;
      DecodeRecordHeader(partial_.data(), header);
      if (partial_.size() < kRecordFileHeaderSize + header.length) continue;
      collector_.Add(header, partial_.data() + kRecordFileHeaderSize);
      partial_.clear();
      continue;
    }
    if (size >= kRecordFileHeaderSize) {
      DecodeRecordHeader(bytes, header);
      const size_t whole = kRecordFileHeaderSize + header.length;
      if (size >= whole) {
        collector_.Add(header, bytes + kRecordFileHeaderSize);
        bytes += whole;
        size -= whole;
        continue;
      }
    }
    partial_.assign(bytes, bytes + size);
    size = 0;
  }
}

void RecordStream::Finish(uint64_t size) {
  if (partial_.size() >= kRecordFileHeaderSize) {
    RecordHeader header;
    DecodeRecordHeader(partial_.data(), header);
    collector_.Add(header, nullptr);
  } else if (!partial_.empty()) {
    collector_.AddTrailing(partial_.size());
  }
  partial_.clear();
  collector_.Finish(size);
}

int FeedRecordFile(const SharedReadFile& file, RecordStream& stream, Sha256* sha, uint64_t& read) {
  read = 0;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kPieceSize]);
  if (!piece) return ENOMEM;
  const uint64_t size = file.Size();
  while (read < size) {
    size_t want = size - read < kPieceSize ? static_cast<size_t>(size - read) : kPieceSize;
    long long got = file.ReadAt(read, piece.get(), want);
    if (got < 0) return errno != 0 ? errno : EIO;
    if (got == 0) break;  // cut shorter since it was opened
    if (sha != nullptr) sha->Update(piece.get(), static_cast<size_t>(got));
    stream.Feed(piece.get(), static_cast<size_t>(got));
    read += static_cast<uint64_t>(got);
  }
  stream.Finish(read);
  return 0;
}

int ScanRecordFile(const std::string& path, RecordFileScan& scan) {
  scan = RecordFileScan();
  SharedReadFile file;
  int error = file.Open(path);
  if (error != 0) return error;
  RecordingFactsCollector collector(scan.facts);
  RecordStream stream(collector);
  Sha256 sha;
  error = FeedRecordFile(file, stream, &sha, scan.size);
  if (error != 0) return error;
  scan.sha256 = Sha256Hex(sha.Finish());
  return 0;
}

const Message<>* NotARecordFile(const RecordingFacts& facts) {
  if (!facts.haveOption) return &msg::kWrongFormat;
  if (!facts.optionValid) return &msg::kRecordChecksum;
  return CheckOptionText(reinterpret_cast<const uint8_t*>(facts.optionText.data()),
                         facts.optionText.size());
}

}  // namespace qb
