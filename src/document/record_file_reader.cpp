#include "document/record_file_reader.h"

#include <cstdio>

#include "base/error_report.h"
#include "base/messages.h"

namespace qb {

int RecordFileReader::Open(const std::string& path) {
  expected_ = -1;
  return file_.Open(path);
}

void RecordFileReader::Close() {
  file_.Close();
  expected_ = -1;
}

bool RecordFileReader::CheckOpen() {
  if (file_.IsOpen()) return true;
  SetStringError(msg::kFileNotOpened);
  return false;
}

bool RecordFileReader::Rewind() {
  if (!CheckOpen()) return false;
  file_.SeekTo(0);
  expected_ = -1;
  return true;
}

long long RecordFileReader::Seek(long long offset, int origin) {
  if (!CheckOpen()) return -1;
  long long base = 0;
  switch (origin) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = static_cast<long long>(file_.Tell());
      break;
    case SEEK_END:
      base = static_cast<long long>(file_.Size());
      break;
    default:
      return -1;
  }
  // Both are far below the limits of long long for any real file; the check
  // keeps a hostile offset from overflowing.
  if (offset < 0 ? base < -offset : offset > (1LL << 62) - base) return -1;
  long long target = base + offset;
  file_.SeekTo(static_cast<uint64_t>(target));
  return target;
}

long long RecordFileReader::Tell() const {
  return file_.IsOpen() ? static_cast<long long>(file_.Tell()) : -1;
}

void RecordFileReader::NoteSequenceBreak() {
  SetStringError(msg::kUnexpectedRecordNumber);
}

const uint8_t* RecordFileReader::TakeHeader() {
  ++headers_read_;
  const uint8_t* bytes = file_.Take(kRecordFileHeaderSize);
  if (bytes == nullptr) {
    // Whatever is left of a header is passed over, as a short read does.
    uint8_t rest[kRecordFileHeaderSize];
    file_.Read(rest, sizeof rest);
    SetStringError(msg::kUnexpectedEnd);
  }
  return bytes;
}

bool RecordFileReader::ReadHeaderBytes(DocRecord& record) {
  record.Clear();
  const uint8_t* bytes = TakeHeader();
  if (bytes == nullptr) return false;
  record.SetHeader(bytes);
  return true;
}

bool RecordFileReader::ReadData(DocRecord& record, bool keep) {
  size_t n = record.length();
  if (n == 0) return true;
  if (!keep) {
    if (file_.Skip(n) != n) SetStringError(msg::kUnexpectedEnd);
    return true;
  }
  if (!record.AllocateData()) return false;
  if (file_.Read(record.MutableData(), n) != n) {
    SetStringError(msg::kUnexpectedEnd);
    record.SetStatus(kStatusCutShort);
    record.DropData();
  }
  return true;
}

bool RecordFileReader::ReadHeader(DocRecord& record) {
  if (!CheckOpen()) return false;
  if (!ReadHeaderBytes(record)) return false;
  CheckSequence(record.number());
  return true;
}

bool RecordFileReader::ReadHeaderFields(RecordHeader& header) {
  if (!CheckOpen()) return false;
  const uint8_t* bytes = TakeHeader();
  if (bytes == nullptr) return false;
  DecodeRecordHeader(bytes, header);
  CheckSequence(header.number);
  return true;
}

const uint8_t* RecordFileReader::TakeRecord(RecordHeader& header, bool& whole) {
  whole = false;
  if (!CheckOpen()) return nullptr;
  const uint8_t* bytes = TakeHeader();
  if (bytes == nullptr) return nullptr;
  DecodeRecordHeader(bytes, header);
  CheckSequence(header.number);
  if (header.length == 0) {
    whole = true;
    return bytes;
  }
  // Taken again with its data, so that header and data lie side by side
  // even where the buffer is refilled between them.
  const uint64_t at = file_.Tell() - kRecordFileHeaderSize;
  file_.SeekTo(at);
  const uint8_t* record = file_.Take(kRecordFileHeaderSize + header.length);
  if (record != nullptr) {
    whole = true;
    return record;
  }
  // Cut short: the header alone, and the walk goes on at the file's end.
  record = file_.Take(kRecordFileHeaderSize);
  file_.SeekTo(file_.Size());
  return record;
}

bool RecordFileReader::ReadRecord(DocRecord& record) {
  if (!CheckOpen()) return false;
  if (!ReadHeaderBytes(record)) return false;
  ++records_read_;
  if (!ReadData(record, true)) return false;
  record.ComputeTextBounds();
  CheckSequence(record.number());
  return true;
}

bool RecordFileReader::FindRecordOfKind(DocRecord& record, int kind) {
  if (kind == -1) return ReadRecord(record);
  if (!CheckOpen()) return false;
  for (;;) {
    const uint8_t* bytes = TakeHeader();
    if (bytes == nullptr) {
      record.Clear();
      return false;
    }
    // Records of other kinds are passed over by their header alone: a file
    // of millions of them (or of zero bytes, empty records back to back)
    // is walked at the speed of reading it.
    RecordHeader header;
    DecodeRecordHeader(bytes, header);
    if (header.kind != kind) {
      if (header.length != 0 && file_.Skip(header.length) != header.length)
        SetStringError(msg::kUnexpectedEnd);
      CheckSequence(header.number);
      continue;
    }
    record.Clear();
    record.SetHeader(bytes);
    ++records_read_;
    if (!ReadData(record, true)) return false;
    record.ComputeTextBounds();
    CheckSequence(record.number());
    return true;
  }
}

}  // namespace qb
