#include "document/record_document.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/error_report.h"
#include "base/interval_timer.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "document/option_record_check.h"
#include "document/printer_codes.h"
#include "document/record_file_scan.h"
#include "format/record_kind.h"
#include "platform/coarse_clock.h"
#include "platform/memory_status.h"

namespace qb {
namespace {

constexpr size_t kMaxTitleComment = 80;

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

// Gathers a recording's facts from its open file on a thread of its own,
// from construction until Wait. Where no thread can be had, the facts are
// gathered at once.
class FactsGatherer {
 public:
  FactsGatherer(const SharedReadFile& file, RecordingFacts& facts)
      : file_(file), collector_(facts), stream_(collector_) {
    try {
      thread_ = std::thread([this] { Gather(); });
    } catch (const std::system_error&) {
      Gather();
    }
  }
  FactsGatherer(const FactsGatherer&) = delete;
  FactsGatherer& operator=(const FactsGatherer&) = delete;
  ~FactsGatherer() { Wait(); }

  bool Done() const { return done_.load(std::memory_order_acquire); }
  void Wait() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  const SharedReadFile& file_;
  RecordingFactsCollector collector_;
  RecordStream stream_;
  std::thread thread_;
  std::atomic<bool> done_{false};

  void Gather() {
    uint64_t read = 0;
    // A read that fails ends the facts where it failed: without their
    // end-of-file record they are not sound.
    if (FeedRecordFile(file_, stream_, nullptr, read) != 0) stream_.Finish(read);
    done_.store(true, std::memory_order_release);
  }
};

RecordDocument::RecordDocument() = default;

RecordDocument::~RecordDocument() {
  gatherer_.reset();
}

const RecordingFacts& RecordDocument::facts() const {
  gatherer_.reset();
  return facts_;
}

bool RecordDocument::FactsReady() const {
  return gatherer_ == nullptr || gatherer_->Done();
}

std::string TitleFor(const std::string& file_name, const std::string& comment) {
  if (comment.empty()) return file_name;
  size_t begin = 0;
  size_t end = comment.size();
  while (begin < end && IsWhiteSpace(comment[begin])) ++begin;
  while (end > begin && IsWhiteSpace(comment[end - 1])) --end;
  std::string text;
  for (size_t i = begin; i < end; ++i) {
    if (comment[i] != '\n' && comment[i] != '\r') text += comment[i];
  }
  if (text.size() > kMaxTitleComment) text.resize(kMaxTitleComment);
  return file_name + " / " + text;
}

std::string RecordDocument::GetFileName() const {
  size_t slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

void RecordDocument::UpdateTitle() {
  if (!comment_.empty()) title_ = TitleFor(GetFileName(), comment_);
}

bool RecordDocument::Fail() {
  reader_.Close();
  index_.Reset();
  ShowErrors(-1);
  return false;
}

bool RecordDocument::LoadRecordFile(const std::string& path) {
  // The load is a command of its own: nothing pending from earlier work may
  // show in its box.
  ClearErrors();
  // The facts of an earlier load read from the file about to be closed.
  gatherer_.reset();
  loaded_ = false;
  file_opened_ = false;
  record_count_ = 0;
  comment_.clear();
  find_line_ = -1;
  index_.Reset();
  cache_.Clear();
  facts_ = RecordingFacts();

  int error = reader_.Open(path);
  if (error != 0) {
    SetRuntimeError(error);
    return Fail();
  }
  file_opened_ = true;
  if (reader_.FileSize() == 0) {
    reader_.Close();  // an empty file is no document; nothing to say about it
    return false;
  }
  path_ = path;
  title_ = GetFileName();

  if (!CheckOptionRecord()) return Fail();
  record_count_ = ReadRecordCount();
  if (record_count_ == 0) {
    // The box shows what is pending (normally the record number that did not
    // follow on); a file whose end is unusable without anything pending is
    // said to be no record file rather than failing without a reason.
    if (ErrorCode() == 0) SetStringError(msg::kWrongFormat);
    return Fail();
  }
  uint64_t memory = index_memory_ != 0 ? index_memory_ : AvailableVirtualMemory();
  // The facts look at every record whole, the index only at its header:
  // the facts are gathered on a second thread, from the same open file,
  // while the index is built and after it.
  if (facts_wanted_) gatherer_ = std::make_unique<FactsGatherer>(reader_.buffer().file(), facts_);
  index_.Build(reader_, record_count_, memory, CurrentJobHost(), clock_);
  ReadComment();
  UpdateTitle();
  loaded_ = true;
  return true;
}

bool RecordDocument::CheckOptionRecord() {
  if (!reader_.Rewind() || !reader_.FindRecordOfKind(work_, kKindOption)) {
    SetStringError(msg::kWrongFormat);
    return false;
  }
  if (!work_.IsValid()) {
    SetStringError(msg::kRecordChecksum);
    return false;
  }
  const Message<>* problem = CheckOptionText(work_.Data(), work_.DataSize());
  if (problem != nullptr) {
    SetStringError(*problem);
    return false;
  }
  return true;
}

uint32_t RecordDocument::ReadRecordCount() {
  if (reader_.Seek(-static_cast<long long>(kRecordFileHeaderSize), SEEK_END) < 0) return 0;
  if (!reader_.FindRecordOfKind(work_, -1)) return 0;
  if (!work_.IsValid() || work_.kind() != kKindEndOfFile) return 0;
  return work_.number();
}

void RecordDocument::ReadComment() {
  comment_.clear();
  if (!reader_.Rewind() || !reader_.FindRecordOfKind(work_, kKindComment)) {
    comment_ = LoadMessage(msg::kEmpty);
  } else if (work_.IsValid()) {
    comment_.assign(reinterpret_cast<const char*>(work_.Data()), work_.DataSize());
  } else {
    comment_ = LoadMessage(msg::kManipulated);
  }
}

DocRecord* RecordDocument::GetLineRecord(int line) {
  if (DocRecord* hit = cache_.Find(line)) return hit;
  uint64_t offset = 0;
  if (!index_.OffsetOf(reader_, line, offset)) return nullptr;
  if (reader_.Seek(static_cast<long long>(offset), SEEK_SET) < 0 || !reader_.ReadRecord(work_)) {
    // The file went away or memory ran out: the line is there but cannot
    // pass its check.
    work_.SetStatus(kStatusCutShort);
  }
  index_.NoteRecordEnd(line, offset + kRecordFileHeaderSize + work_.length());
  cache_.Add(line, work_);
  return &work_;
}

void RecordDocument::FetchWalkedLine(int line, WalkedLine& out) {
  out = WalkedLine();
  DocRecord* record = GetLineRecord(line);
  if (record == nullptr) return;
  out.valid = record->IsValid();
  out.text = record->Text();
  out.size = record->TextSize();
}

bool RecordDocument::WalkLine(LineWalk& walk, WalkedLine& out) {
  int line = walk.line;
  if (line > GetLastLineIndex()) return false;
  ++walk.line;
  uint64_t offset = walk.offset;
  walk.offset = 0;
  if ((offset == 0 && !index_.OffsetOf(reader_, line, offset)) ||
      reader_.Seek(static_cast<long long>(offset), SEEK_SET) < 0) {
    FetchWalkedLine(line, out);
    return true;
  }
  // Records of other kinds up to the line's data record are stepped over;
  // the line's record is checked where it lies in the buffer.
  for (;;) {
    RecordHeader header;
    bool whole = false;
    const uint8_t* bytes = reader_.TakeRecord(header, whole);
    if (bytes == nullptr || !whole) {
      FetchWalkedLine(line, out);  // damaged or short: the indexed fetch decides
      return true;
    }
    if (header.kind != kKindData) continue;
    const uint8_t* data = bytes + kRecordFileHeaderSize;
    TextBounds bounds;
    out.valid = RecordFault(header, data, &bounds) == 0;
    out.size = TextSizeWithin(header.length, bounds.start, bounds.end);
    out.text = out.size > 0 ? data + bounds.start : nullptr;
    break;
  }
  walk.offset = static_cast<uint64_t>(reader_.Tell());
  return true;
}

void RecordDocument::AppendLineText(int line, std::string& out) {
  DocRecord* record = GetLineRecord(line);
  if (record == nullptr) return;
  if (!record->IsValid()) {
    out += LoadMessage(msg::kManipulated);
    return;
  }
  AppendDisplayText(out, record->Text(), record->TextSize());
}

std::string RecordDocument::GetLineText(int line) {
  std::string text;
  AppendLineText(line, text);
  return text;
}

bool RecordDocument::IsLineValid(int line) {
  DocRecord* record = GetLineRecord(line);
  return record != nullptr && record->IsValid();
}

std::string RecordDocument::GetRawText(int line) {
  DocRecord* record = GetLineRecord(line);
  if (record == nullptr || record->TextSize() == 0) return std::string();
  return std::string(reinterpret_cast<const char*>(record->Text()), record->TextSize());
}

bool RecordDocument::LineHoldsCode(int line, int code) {
  DocRecord* record = GetLineRecord(line);
  return record != nullptr && LeadingCodesHold(record->Data(), record->DataSize(),
                                               record->textStart(), record->textEnd(), code);
}

bool RecordDocument::LineHasClass(int line, int line_class) {
  DocRecord* record = GetLineRecord(line);
  return record != nullptr && FlagsHaveClass(record->contentFlags(), line_class);
}

int RecordDocument::LineHit(int line, size_t warning_hit, const Searcher& searcher,
                            std::string& text) {
  DocRecord* record = GetLineRecord(line);
  if (record == nullptr) return -1;  // an empty text holds no find text
  auto warning = [&]() {
    return warning_hit == std::string::npos ? -1 : static_cast<int>(warning_hit);
  };
  if (record->recordStatus() != 0) return warning();
  text.clear();
  AppendDisplayText(text, record->Text(), record->TextSize());
  auto found = std::search(text.begin(), text.end(), searcher);
  bool hit = found != text.end();
  // The record's check decides only where the two texts answer differently.
  if (!hit && warning_hit == std::string::npos) return -1;
  if (!record->IsValid()) return warning();
  return hit ? static_cast<int>(found - text.begin()) : -1;
}

void RecordDocument::SetFindText(const std::string& text) {
  find_text_ = text;
  find_line_ = -1;
}

int RecordDocument::FindNext(int& line, int& position) {
  int last = GetLastLineIndex();
  if (find_line_ < 0 || static_cast<unsigned>(find_line_) >= static_cast<unsigned>(last))
    find_line_ = -1;
  line = -1;
  position = -1;
  // Nothing to search in, or nothing to search for.
  if (last < 0 || find_text_.empty()) {
    find_line_ = -1;
    return -1;
  }

  JobHost& host = CurrentJobHost();
  IntervalTimer timer(clock_ ? clock_ : CoarseMonotonicMillis);
  timer.Start(500);
  bool shown = false;
  // A line that fails its check shows the warning text: whether that holds
  // the find text is the same for every such line.
  const std::string warning = LoadMessage(msg::kManipulated);
  size_t warning_hit = warning.find(find_text_);
  Searcher searcher(find_text_.begin(), find_text_.end());
  std::string text;
  ++find_line_;
  for (;;) {
    int hit = LineHit(find_line_, warning_hit, searcher, text);
    if (hit >= 0) {
      position = hit;
      break;
    }
    if (timer.Due()) {
      if (!shown) {
        host.BeginProgress(LoadMessage(msg::kAppName),
                           kProgressBar | kProgressPercent | kProgressTime | kProgressCancel);
        host.SetProgressRange(0, last);
        shown = true;
      }
      host.SetProgressPos(find_line_);
      host.ShowStatus(FormatText("%s \"%s\"\n%s %i %s %i", LoadMessage(msg::kSearching),
                                 find_text_.c_str(), LoadMessage(msg::kLine), find_line_,
                                 LoadMessage(msg::kOf), last));
      if (host.CheckProgressCancel()) {
        find_line_ = -1;
        break;
      }
    }
    if (find_line_ >= last) {
      find_line_ = -1;
      break;
    }
    ++find_line_;
  }
  if (shown) host.EndProgress();
  line = find_line_;
  if (find_line_ < 0) position = -1;
  return find_line_;
}

}  // namespace qb
