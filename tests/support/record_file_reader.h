// Reads a record file into memory for comparisons in tests, checking its
// framing strictly: consecutive numbers, matching checksums, nothing after
// the last record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/record_file.h"

namespace qb::test {

struct FileRecord {
  uint32_t number = 0;
  uint16_t kind = 0;
  std::string data;
  bool crc_ok = false;
};

// False with a reason when the bytes are not a well-framed record file.
inline bool ParseRecordFile(const std::string& bytes, std::vector<FileRecord>& records,
                            std::string& why) {
  records.clear();
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes.size() - pos < kRecordFileHeaderSize) {
      why = "short header at " + std::to_string(pos);
      return false;
    }
    RecordHeader header;
    DecodeRecordHeader(reinterpret_cast<const uint8_t*>(bytes.data() + pos), header);
    pos += kRecordFileHeaderSize;
    if (bytes.size() - pos < header.length) {
      why = "short data at " + std::to_string(pos);
      return false;
    }
    FileRecord record;
    record.number = header.number;
    record.kind = header.kind;
    record.data = bytes.substr(pos, header.length);
    record.crc_ok = RecordCrcMatches(header, reinterpret_cast<const uint8_t*>(record.data.data()));
    if (record.number != records.size()) {
      why = "record number " + std::to_string(record.number) + " at index " +
            std::to_string(records.size());
      return false;
    }
    if (!record.crc_ok) {
      why = "checksum of record " + std::to_string(record.number);
      return false;
    }
    pos += header.length;
    records.push_back(std::move(record));
  }
  return true;
}

}  // namespace qb::test
