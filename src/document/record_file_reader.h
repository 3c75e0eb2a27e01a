// The reader of a document's record file: the file opened for reading and
// shared with other readers but not with writers, positioned reads of record
// headers and whole records, and the check that records are numbered 0, 1,
// 2, ... . A break in the numbering is only noted as the pending error
// (msg::kUnexpectedRecordNumber); reading goes on.
#pragma once

#include <cstdint>
#include <string>

#include "document/doc_record.h"
#include "document/file_read_buffer.h"

namespace qb {

class RecordFileReader {
 public:
  // 0 on success, else the error number (the caller reports it).
  int Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  // The file's size when it was opened.
  uint64_t FileSize() const { return file_.Size(); }
  // True once a read found the file cut short or changed since it was
  // opened.
  bool FileChanged() const { return file_.Changed(); }

  // Each operation below fails with msg::kFileNotOpened when no file is open.

  // To offset 0; the next record must carry number 0.
  bool Rewind();
  // Like fseek: origin SEEK_SET, SEEK_CUR or SEEK_END. The new offset, or -1
  // when it would be negative. Offsets beyond the end are allowed.
  long long Seek(long long offset, int origin);
  long long Tell() const;

  // Clears the record and reads the ten header bytes only (the caller skips
  // the data). A short read sets msg::kUnexpectedEnd and fails.
  bool ReadHeader(DocRecord& record);
  // Clears the record and reads it whole: header (a short read sets
  // msg::kUnexpectedEnd and fails), data (a short read sets msg::kUnexpectedEnd
  // and marks the record cut short, but counts as read), text bounds and content flags.
  bool ReadRecord(DocRecord& record);
  // ReadHeader for walks over many headers: the header fields alone, with
  // the same messages and sequence check.
  bool ReadHeaderFields(RecordHeader& header);
  // The next record whole and in place, for walks that look at every
  // record: its header decoded into `header` (with the sequence check) and
  // its bytes as the file holds them, the ten header bytes followed by the
  // data, valid until the next read. `whole` is false when the file ends
  // inside the data (the walk is then at the file's end). Null, with
  // msg::kUnexpectedEnd set, when not even a header is left.
  const uint8_t* TakeRecord(RecordHeader& header, bool& whole);
  // The headers alone, from the current position on, for walks that look
  // at nothing else: each is decoded in the read buffer (with the sequence
  // check) and handed to `step(header, offset)`, `offset` being where the
  // record starts. The walk goes on while `step` returns true; it then
  // stands after that record. True when it stopped or reached the file's
  // end exactly; false when a header was cut short (msg::kUnexpectedEnd)
  // or a record runs past the end.
  template <typename Step>
  bool WalkHeaders(Step&& step);
  // Reads records from the current position until one of `kind` is found,
  // or with kind -1 exactly one record. False when a read fails first.
  bool FindRecordOfKind(DocRecord& record, int kind);

  // The number the last record should have carried; -1 after Rewind.
  long long ExpectedNumber() const { return expected_; }

  // Counters for measurements and tests.
  uint64_t HeadersRead() const { return headers_read_; }
  uint64_t RecordsRead() const { return records_read_; }
  const FileReadBuffer& buffer() const { return file_; }

 private:
  FileReadBuffer file_;
  long long expected_ = -1;
  uint64_t headers_read_ = 0;
  uint64_t records_read_ = 0;

  bool CheckOpen();
  // The next 10 header bytes, or null after setting the short-read error.
  const uint8_t* TakeHeader();
  bool ReadHeaderBytes(DocRecord& record);
  // Reads or skips the data after the header; false only when the buffer
  // cannot be had.
  bool ReadData(DocRecord& record, bool keep);
  void CheckSequence(uint32_t number) {
    // The expected number follows the sequence, not the number read, so one
    // wrong number is one break.
    if (static_cast<long long>(number) != expected_ + 1) NoteSequenceBreak();
    ++expected_;
  }
  void NoteSequenceBreak();
};

template <typename Step>
bool RecordFileReader::WalkHeaders(Step&& step) {
  if (!CheckOpen()) return false;
  const uint64_t size = file_.Size();
  uint64_t offset = file_.Tell();
  while (offset != size) {
    size_t count = 0;
    const uint8_t* bytes = file_.Window(kRecordFileHeaderSize, count);
    if (count < kRecordFileHeaderSize) return TakeHeader() != nullptr;
    // Every header that lies whole in the buffer; the buffer is then read
    // on from the first one that does not. The counts are kept in locals
    // meanwhile, where the compiler can hold them in registers.
    long long expected = expected_;
    uint64_t headers = 0;
    size_t at = 0;
    bool go_on = true;
    do {
      RecordHeader header;
      DecodeRecordHeader(bytes + at, header);
      ++headers;
      // As CheckSequence: one wrong number is one break.
      if (static_cast<long long>(header.number) != ++expected) NoteSequenceBreak();
      const size_t whole = kRecordFileHeaderSize + header.length;
      go_on = step(static_cast<const RecordHeader&>(header), offset);
      offset += whole;
      at += whole;
    } while (go_on && offset <= size && at + kRecordFileHeaderSize <= count && offset != size);
    expected_ = expected;
    headers_read_ += headers;
    file_.SeekTo(offset);
    if (!go_on || offset > size) return offset <= size;
  }
  return true;
}

}  // namespace qb
