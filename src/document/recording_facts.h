// What a recording tells about itself, for an auditor: the recording
// sessions of the device (each begins with a "(start)" control record),
// whether the ring memory had already overwritten older printouts before the
// read, whether a linear card was full, records missing from the numbering,
// sectors a rescue read had to skip, the records that fail their check, and
// the first and last date and time the instrument printed. Gathered record
// by record in file order, by the same walk that indexes a document's lines
// or checks a whole file, so that no second pass over the file is needed.
// The lists are bounded whatever the file holds; their counts are not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/doc_record.h"
#include "document/printed_date.h"
#include "format/option_text.h"
#include "format/record_file.h"

namespace qb {

// A yes/no that the file may not be able to tell.
enum class Answer : uint8_t { kNo, kYes, kUnknown };

// One switching-on of the device: its "(start)" record and the lines
// (data records) recorded after it, up to the next "(start)".
struct RecordingSession {
  uint32_t startRecord = 0;  // the number of its "(start)" record
  uint32_t firstLine = 0;    // the line after it
  uint32_t lines = 0;
  bool operator==(const RecordingSession&) const = default;
};

// Records missing from the numbering between two that are there.
struct RecordGap {
  uint32_t beforeLine = 0;    // the gap lies before this line
  uint32_t firstMissing = 0;  // the number of the first missing record
  uint32_t missing = 0;
  bool operator==(const RecordGap&) const = default;
};

// Data sectors a rescue read skipped because they failed their check.
struct SkippedSectors {
  uint32_t beforeLine = 0;
  uint32_t firstSector = 0;
  uint32_t sectors = 0;
  bool operator==(const SkippedSectors&) const = default;
};

struct RecordingFacts {
  // The most entries each list keeps.
  static constexpr size_t kMaxListed = 100000;

  uint64_t records = 0;  // records read, the end-of-file record included
  uint32_t lines = 0;    // data records

  std::vector<RecordingSession> sessions;
  uint64_t sessionCount = 0;
  // Lines before the first "(start)": the rest of a session whose start is
  // not in the file (overwritten on the card), or lines without any.
  uint32_t linesBeforeFirstSession = 0;

  Answer overwritten = Answer::kUnknown;
  Answer cardFull = Answer::kUnknown;
  bool rescue = false;  // read by a rescue read
  bool haveReadFacts = false;
  ReadFacts readFacts;  // when haveReadFacts

  std::vector<RecordGap> gaps;
  uint64_t gapCount = 0;
  uint64_t missingRecords = 0;  // in all gaps
  std::vector<SkippedSectors> skipped;
  uint64_t skippedCount = 0;
  uint64_t skippedSectors = 0;  // in all of them

  // Records that fail their check: every kind, and the lines among them.
  uint64_t manipulated = 0;
  std::vector<uint32_t> manipulatedLines;
  uint64_t manipulatedLineCount = 0;
  // The lines that fail, by their first fault.
  uint64_t checksumFailures = 0;
  uint64_t blockCheckFailures = 0;
  uint64_t noStx = 0;
  uint64_t invertedBounds = 0;
  uint64_t cutShort = 0;
  uint64_t otherFailures = 0;  // records of other kinds that fail
  // Records not numbered one more than the record before them.
  uint64_t numberBreaks = 0;
  uint64_t trailingBytes = 0;  // bytes after the last whole record header

  // The end-of-file record: there as the last record, and sound (it passes
  // its check, holds no data, ends the file and counts the records before
  // it); `endProblem` names the first thing wrong with it.
  enum class EndProblem : uint8_t { kNone, kMissing, kFailsCheck, kHoldsData, kNotAtEnd, kNumber };
  bool endRecordFound = false;
  bool endRecordSound = false;
  EndProblem endProblem = EndProblem::kMissing;
  uint32_t endNumber = 0;  // the end-of-file record's number, when found

  // The first option record (a record file's settings) and whether it
  // passes its check; the first comment record.
  bool haveOption = false;
  bool optionValid = false;
  std::string optionText;
  bool haveComment = false;
  bool commentValid = false;
  std::string comment;

  // The first and the last date and time the instrument printed, in file
  // order ("YYYY-MM-DD HH:MM[:SS]"); empty when it printed none.
  std::string firstPrinted;
  std::string lastPrinted;

  // The records before the end-of-file record, the header records included.
  uint64_t RecordsBeforeEnd() const { return endRecordFound ? records - 1 : records; }
  uint64_t FailedLines() const { return manipulatedLineCount; }
  // No record fails its check, the numbering has no break and the file ends
  // with a sound end-of-file record.
  bool Sound() const { return manipulated == 0 && numberBreaks == 0 && endRecordSound; }

  bool operator==(const RecordingFacts&) const = default;
};

// Gathers the facts from the records fed to it in file order.
class RecordingFactsCollector {
 public:
  explicit RecordingFactsCollector(RecordingFacts& facts);

  // The next record: its header, and its data bytes (header.length of them,
  // right behind the ten header bytes as the file holds them) or null when
  // they did not arrive whole.
  void Add(const RecordHeader& header, const uint8_t* data);
  // Bytes after the last record that do not make a header.
  void AddTrailing(uint64_t bytes) { facts_.trailingBytes += bytes; }
  // After the last record, for a file of `size` bytes.
  void Finish(uint64_t size);

 private:
  RecordingFacts& facts_;
  bool have_last_ = false;
  RecordHeader last_;
  int last_fault_ = 0;
  uint64_t offset_ = 0;  // where the next record begins
  // A jump forward in the numbering, kept until the record after it shows
  // whether the numbering goes on from there (records missing) or not (one
  // record with a wrong number).
  bool gap_pending_ = false;
  RecordGap pending_gap_;
  bool seen_card_record_ = false;
  bool first_card_record_is_init_ = false;
  bool seen_control_ = false;
  bool first_card_record_valid_ = true;
  // The session the lines go to is the last listed one.
  bool session_listed_ = false;
  // The printed times, as text only at the end.
  bool printed_ = false;
  PrintedTime first_printed_;
  PrintedTime last_printed_;

  void CheckNumber(const RecordHeader& header);
  void AddData(const RecordHeader& header, const uint8_t* data, int fault,
               const TextBounds& bounds);
  void AddControl(const RecordHeader& header, const uint8_t* data, int fault);
  void DecideOverwritten();
};

}  // namespace qb
