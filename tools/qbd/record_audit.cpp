#include "record_audit.h"

#include <cerrno>
#include <cstdio>

#include "base/error_report.h"
#include "document/doc_record.h"
#include "document/record_file_reader.h"
#include "format/record_kind.h"

namespace qb {

bool AuditRecordFile(const std::string& path, RecordAudit& audit) {
  audit = RecordAudit();
  RecordFileReader reader;
  int error = reader.Open(path);
  if (error != 0) {
    errno = error;
    return false;
  }
  uint64_t size = reader.FileSize();
  DocRecord record;
  bool have_last = false;
  uint32_t last_number = 0;
  bool last_valid = false;
  uint64_t last_end = 0;
  uint64_t offset = 0;
  reader.Rewind();
  while (offset < size) {
    if (size - offset < kRecordFileHeaderSize) {
      audit.trailingBytes = size - offset;
      break;
    }
    if (!reader.ReadRecord(record)) {
      // No memory for a record's data: count it as cut short and go on.
      reader.Seek(static_cast<long long>(offset + kRecordFileHeaderSize + record.length()),
                  SEEK_SET);
      record.SetStatus(kStatusCutShort);
    }
    ++audit.records;
    uint32_t expected = have_last ? last_number + 1 : 0;
    if (record.number() != expected) ++audit.numberBreaks;
    bool valid = record.IsValid();
    if (record.kind() == kKindData) {
      ++audit.dataLines;
      if (!valid) {
        ++audit.failedLines;
        switch (record.recordStatus()) {
          case kStatusCutShort:
            ++audit.cutShort;
            break;
          case kStatusChecksum:
            ++audit.checksumFailures;
            break;
          case kStatusBlockCheck:
            ++audit.blockCheckFailures;
            break;
          case kStatusNoStx:
            ++audit.noStx;
            break;
          case kStatusInverted:
            ++audit.invertedBounds;
            break;
          default:
            break;
        }
      }
    } else if (!valid) {
      ++audit.otherFailures;
    }
    have_last = true;
    last_number = record.number();
    last_valid = valid;
    offset += kRecordFileHeaderSize + record.length();
    last_end = offset;
  }
  ClearErrors();  // the walk's own notes are not errors of the audit

  audit.endRecordFound = have_last && record.kind() == kKindEndOfFile;
  if (!have_last) {
    audit.endRecordProblem = "missing";
  } else if (record.kind() != kKindEndOfFile) {
    audit.endRecordProblem = "missing";
  } else if (!last_valid) {
    audit.endRecordProblem = "fails its check";
  } else if (record.length() != 0) {
    audit.endRecordProblem = "holds data";
  } else if (last_end != size || audit.trailingBytes != 0) {
    audit.endRecordProblem = "not at the end of the file";
  } else if (last_number != audit.records - 1) {
    audit.endRecordProblem = "number " + std::to_string(last_number) + " but " +
                             std::to_string(audit.records - 1) + " records before it";
  } else {
    audit.endRecordSound = true;
  }
  return true;
}

}  // namespace qb
