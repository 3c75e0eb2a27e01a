#include "document/line_index.h"

#include <cstdint>
#include <cstdio>

#include "base/interval_timer.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "format/record_kind.h"
#include "platform/coarse_clock.h"

namespace qb {

uint32_t LineIndex::StepFor(uint64_t record_count, uint64_t available) {
  uint64_t share = available / 10;
  if (share == 0) share = 1;
  uint64_t step = record_count * kEntrySize / share;
  if (step <= kMinStep) return kMinStep;
  return step > UINT32_MAX / 2 ? UINT32_MAX / 2 : static_cast<uint32_t>(step);
}

void LineIndex::Reset() {
  step_ = kMinStep;
  line_count_ = 0;
  entries_.clear();
  entries_.shrink_to_fit();
  max_entries_ = 0;
  hint_line_ = -1;
}

void LineIndex::Coarsen() {
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); i += 2) entries_[kept++] = entries_[i];
  entries_.resize(kept);
  step_ *= 2;
}

bool LineIndex::Build(RecordFileReader& reader, uint32_t record_count, uint64_t available,
                      JobHost& host, const std::function<int64_t()>& clock) {
  Reset();
  step_ = StepFor(record_count, available);
  max_entries_ = available / 10 / kEntrySize;
  if (max_entries_ < 64) max_entries_ = 64;
  // The count comes from the file and may lie: the table is sized by what
  // the file can hold (a record takes at least ten bytes) as well.
  uint64_t size = reader.FileSize();
  uint64_t expected = record_count;
  if (size / kRecordFileHeaderSize < expected) expected = size / kRecordFileHeaderSize;
  expected = expected / step_ + 1;
  entries_.reserve(expected < max_entries_ ? static_cast<size_t>(expected) : max_entries_);

  bool shown = record_count > 1000;
  if (shown) {
    host.BeginProgress(LoadMessage(msg::kAppName),
                       kProgressBar | kProgressPercent | kProgressTime | kProgressCancel);
    host.ShowStatus(std::string(LoadMessage(msg::kScanningFile)) + "\n\n" +
                    LoadMessage(msg::kPleaseWait));
    host.SetProgressRange(0, static_cast<long>(record_count));
  }
  IntervalTimer timer(clock ? clock : CoarseMonotonicMillis);
  timer.Start(100);

  // Lines to go until the next one that gets an entry: a count down instead
  // of a division for every line.
  // The line count is kept in a local during the walk, where the compiler
  // can hold it in a register.
  uint32_t to_entry = 0;
  uint32_t lines = 0;
  uint64_t records = 0;
  auto step = [&](const RecordHeader& header, uint64_t offset) {
    // The clock is asked every 256 records: often enough for a 100 ms pace.
    if (shown && (records & 0xFF) == 0 && timer.Due())
      host.SetProgressPos(static_cast<long>(records < record_count ? records : record_count));
    ++records;
    if (header.kind != kKindData) return true;
    if (lines >= static_cast<uint32_t>(INT32_MAX)) return false;  // lines are ints
    if (to_entry == 0) {
      if (entries_.size() >= max_entries_ && step_ <= UINT32_MAX / 2) Coarsen();
      const uint32_t past = lines % step_;
      if (past == 0) entries_.push_back(offset);
      to_entry = step_ - past;
    }
    --to_entry;
    ++lines;
    return true;
  };
  // From the first record, which must carry number 0.
  bool ok = reader.Rewind() && reader.WalkHeaders(step);
  line_count_ = lines;
  if (shown) host.EndProgress();
  return ok;
}

bool LineIndex::OffsetOf(RecordFileReader& reader, int line, uint64_t& offset) {
  if (line < 0) return false;
  uint32_t k = static_cast<uint32_t>(line);
  if (k >= line_count_) return false;
  size_t entry = k / step_;
  if (entry >= entries_.size()) return false;
  uint32_t target = k % step_;
  if (target == 0) {
    offset = entries_[entry];
    return true;
  }
  RecordHeader header;
  uint32_t count = 0;
  if (hint_line_ >= 0 && hint_line_ < line && static_cast<uint32_t>(hint_line_) / step_ == entry) {
    count = static_cast<uint32_t>(hint_line_) % step_;
    if (reader.Seek(static_cast<long long>(hint_end_), SEEK_SET) < 0) return false;
  } else {
    if (reader.Seek(static_cast<long long>(entries_[entry]), SEEK_SET) < 0) return false;
    if (!reader.ReadHeaderFields(header)) return false;
    if (reader.Seek(header.length, SEEK_CUR) < 0) return false;
  }
  for (;;) {
    long long here = reader.Tell();
    if (!reader.ReadHeaderFields(header)) return false;
    if (header.kind == kKindData && ++count == target) {
      offset = static_cast<uint64_t>(here);
      return true;
    }
    if (reader.Seek(header.length, SEEK_CUR) < 0) return false;
  }
}

void LineIndex::NoteRecordEnd(int line, uint64_t end) {
  hint_line_ = line;
  hint_end_ = end;
}

}  // namespace qb
