// The audit of a record file for quality staff: every record walked from
// the start, data lines counted, those that fail their check counted by
// reason, breaks in the record numbering, and whether the file ends with a
// sound end-of-file record.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

struct RecordAudit {
  uint64_t records = 0;    // records read, end-of-file record included
  uint64_t dataLines = 0;  // data records
  uint64_t failedLines = 0;
  uint64_t checksumFailures = 0;    // data records whose checksum does not match
  uint64_t blockCheckFailures = 0;  // ... whose block check does not match
  uint64_t noStx = 0;
  uint64_t invertedBounds = 0;
  uint64_t cutShort = 0;        // data cut off by the end of the file
  uint64_t otherFailures = 0;   // records of other kinds that fail their check
  uint64_t numberBreaks = 0;    // records not numbered one more than the one before
  uint64_t trailingBytes = 0;   // bytes after the last whole record header
  bool endRecordFound = false;  // the last record read is of the end-of-file kind
  bool endRecordSound = false;
  std::string endRecordProblem;  // why not, when not

  // The records before the end-of-file record, the header records included:
  // the count `qbd info` gives for a sound file.
  uint64_t RecordsBeforeEnd() const { return endRecordFound ? records - 1 : records; }

  bool Passed() const {
    return failedLines == 0 && otherFailures == 0 && numberBreaks == 0 && endRecordSound;
  }
};

// Walks the file. False (errno set) when it cannot be opened.
bool AuditRecordFile(const std::string& path, RecordAudit& audit);

}  // namespace qb
