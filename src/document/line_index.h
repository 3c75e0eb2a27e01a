// The sparse index of a document's lines: the file offset of every step-th
// data record, built in one pass over the record headers, and the search for
// any line's offset from the nearest entry. The table's memory is bounded by
// a tenth of the available memory whatever the file holds: when the lines
// outnumber what the table may hold, every other entry is dropped and the
// step doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "document/record_file_reader.h"

namespace qb {

class JobHost;

class LineIndex {
 public:
  static constexpr uint32_t kMinStep = 10;
  static constexpr size_t kEntrySize = sizeof(uint64_t);

  // The step for `record_count` records with `available` bytes of memory:
  // one entry per step records may take a tenth of it; at least kMinStep.
  static uint32_t StepFor(uint64_t record_count, uint64_t available);

  void Reset();

  // Walks every record header from the file's start to its end, noting
  // where the data records are. With more than 1000 records the host shows
  // the scanning progress (range 0 to `record_count`). False when the walk
  // ended early (a header cut short, a record running past the end); the
  // lines found up to there are indexed all the same.
  bool Build(RecordFileReader& reader, uint32_t record_count, uint64_t available, JobHost& host,
             const std::function<int64_t()>& clock = {});

  // The offset of line `line`'s header; false when the line does not exist.
  bool OffsetOf(RecordFileReader& reader, int line, uint64_t& offset);
  // Notes where the record of `line` ends, so that fetching the lines after
  // it reads on from there instead of from the entry.
  void NoteRecordEnd(int line, uint64_t end);

  uint32_t step() const { return step_; }
  uint32_t lineCount() const { return line_count_; }
  size_t filledEntries() const { return entries_.size(); }
  uint64_t Entry(size_t i) const { return entries_[i]; }

 private:
  uint32_t step_ = kMinStep;
  uint32_t line_count_ = 0;
  std::vector<uint64_t> entries_;
  size_t max_entries_ = 0;
  int hint_line_ = -1;
  uint64_t hint_end_ = 0;

  void Coarsen();
};

}  // namespace qb
