#include "jobs/output_file.h"

#include <cerrno>
#include <cstring>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "cardio/sector_device.h"
#include "format/option_text.h"
#include "format/record_crc.h"
#include "format/record_kind.h"
#include "jobs/card_reader.h"
#include "jobs/console_prompt.h"
#include "jobs/focus_search.h"
#include "jobs/job_options.h"
#include "jobs/record_walk.h"
#include "platform/coarse_clock.h"

namespace qb {
namespace {

// What has gone to the record file so far.
struct RecordOutput {
  SafeOutputFile* file = nullptr;
  bool binary = true;
  unsigned long bytes = 0;
};

// Writes the record in the buffer as a record-file record, header and data in
// one piece. Returns the bytes written, 0 on failure.
size_t WriteBinaryRecord(RecordOutput& out) {
  CardReadState& state = ReadState();
  EncodeRecordHeader(state.number, state.kind, RecordData(), state.length, state.record);
  size_t size = kRecordFileHeaderSize + state.length;
  if (!WriteOutput(*out.file, state.record, size)) return 0;
  ++state.number;
  return size;
}

// Writes the record in the buffer as one line of the text listing. Returns
// the characters written, 0 on failure.
size_t WriteAsciiLine(RecordOutput& out) {
  CardReadState& state = ReadState();
  const uint8_t* data = RecordData();
  size_t n = state.length < kMaxCardRecordLength ? state.length : kMaxCardRecordLength;
  // "#" and up to ten digits, the kind, the data, the checksum.
  static char line[16 + 8 + kMaxCardRecordLength + 16];
  size_t pos = static_cast<size_t>(
      std::snprintf(line, 16, "#%08lu ", static_cast<unsigned long>(state.number)));
  auto append = [&](const char* text) {
    size_t length = std::strlen(text);
    // Counted by pos: no terminating NUL is needed.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(line + pos, text, length);
    pos += length;
  };
  if (state.kind == kKindData) {
    append("DATA ");
    for (size_t i = 0; i < n; ++i) {
      uint8_t byte = data[i];
      line[pos++] = (byte < 0x20 || byte == 0x7F) ? '.' : static_cast<char>(byte);
    }
  } else if (state.kind == kKindControl) {
    append("CTRL ");
    // A control record without data marks nothing known.
    append(state.length > 0 ? ControlMarkerText(data[0]) : "(?)");
  } else {
    append("????");
  }
  uint16_t crc = RecordFileCrc(state.kind, data, state.length);
  pos += static_cast<size_t>(std::snprintf(line + pos, 16, " (%04X)\n", crc));
  if (!WriteOutput(*out.file, line, pos)) return 0;
  ++state.number;
  return pos;
}

size_t WriteRecord(RecordOutput& out) {
  return out.binary ? WriteBinaryRecord(out) : WriteAsciiLine(out);
}

// One of the records before the data (binary form only).
bool WriteLeadRecord(RecordOutput& out, const Message<>& failure_message) {
  size_t size = WriteBinaryRecord(out);
  if (size == 0) {
    ReportMessage(failure_message);
    return false;
  }
  out.bytes += size;
  SetProgressPos(static_cast<long>(out.bytes));
  return true;
}

// Appends what the read found out to the option text in the record buffer.
void AppendReadFacts() {
  CardReadState& state = ReadState();
  ReadFacts facts;
  facts.firstSector = state.first;
  facts.lastSector = state.last;
  facts.startSector = state.start;
  facts.newestSector = state.select == 1 ? state.f1 : state.f0;
  // A ring read from behind its newest sector has come round; so has one
  // whose first data sector no longer begins with the card's "(init)".
  // (A damaged F tells nothing.)
  facts.overwritten =
      state.start != state.first || (state.ring && !state.firstDamaged && !state.firstHoldsInit);
  // A linear card takes no sector beyond L - 1: once that is written, the
  // device records nothing more.
  facts.cardFull = !state.ring && state.f0 + 1 >= state.last;
  facts.rescue = Options().rescue != 0;
  const std::string text = ReadFactsText(facts);
  if (state.length + text.size() >= kRecordBufferSize) return;
  std::memcpy(RecordData() + state.length, text.data(), text.size());
  state.length = static_cast<uint16_t>(state.length + text.size());
}

// Everything between opening and closing the record file.
bool WriteRecords(RecordOutput& out) {
  CardReadState& state = ReadState();
  const JobOptions& options = Options();
  if (!FocusSearch()) return false;
  long high = (static_cast<long>(state.f0) - static_cast<long>(state.first) + 1) * 512;
  SetProgressRange(0, high);
  state.number = 0;
  out.bytes = 0;

  if (out.binary) {
    state.kind = kKindStartOfFile;
    state.length = 0;
    if (!WriteLeadRecord(out, msg::kWritingStartRecord)) return false;
    ShowStatus("option record");
    if (!ReadMasterSector()) {
      ReportMessage(msg::kWritingOptionRecord);
      return false;
    }
    AppendReadFacts();
    if (!WriteLeadRecord(out, msg::kWritingOptionRecord)) return false;
    ShowStatus("comment record");
    if (!ReadComment()) {
      ReportMessage(msg::kWritingCommentRecord);
      return false;
    }
    if (!WriteLeadRecord(out, msg::kWritingCommentRecord)) return false;
  }

  if (options.filter != kFilterInitOnly) {
    BeginRecordWalk();
    // A card holds up to millions of records: the progress display is served
    // every 50 ms and the Escape poll every kUserBreakPollMs (both also for
    // the first record), which keeps them responsive without costing more
    // than the copying itself.
    constexpr int64_t kUpdateIntervalMs = 50;
    int64_t next_update = CoarseMonotonicMillis();
    int64_t next_key_poll = next_update;
    unsigned since_clock = 31;  // the first record looks
    for (;;) {
      WalkResult result = NextRecord();
      if (result == WalkResult::kError) return false;
      if (result == WalkResult::kEnd) break;
      if (options.filter == kFilterInitAndData && state.kind != kKindData) continue;
      size_t size = WriteRecord(out);
      if (size == 0) {
        ReportMessage(msg::kWritingDataRecord);
        return false;
      }
      out.bytes += size;
      // The clock itself is looked at every few records only.
      if ((++since_clock & 31) != 0) continue;
      int64_t now = CoarseMonotonicMillis();
      if (now < next_key_poll) continue;
      next_key_poll = now + kUserBreakPollMs;
      if (now >= next_update) {
        next_update = now + kUpdateIntervalMs;
        SetProgressPos(static_cast<long>(out.bytes));
        ShowStatus("record #%08lu (%lu bytes)", static_cast<unsigned long>(state.number),
                   out.bytes);
      }
      if (UserBreak()) return false;
    }
  }

  if (out.binary) {
    state.kind = kKindEndOfFile;
    state.length = 0;
    if (WriteBinaryRecord(out) == 0) {
      ReportMessage(msg::kWritingEndRecord);
      return false;
    }
  }
  SetProgressPos(high);
  return true;
}

}  // namespace

bool CheckOutputsSpareCard() {
  const JobOptions& options = Options();
  if (!options.reportoutput.empty()) {
    if (options.recordoutput.empty() || options.format != kFormatBinary) {
      ReportMessage(msg::kReportNeedsRecordFile);
      return false;
    }
    if (options.reportoutput == options.recordoutput ||
        SameExistingFile(options.reportoutput, options.recordoutput)) {
      ReportMessage(msg::kReportIsRecordFile, options.recordoutput.c_str());
      return false;
    }
  }
  // Only a card read as a plain file or device can be named by a file.
  if (DeviceKindForPath(options.driver) != DeviceKind::kRawDrive) return true;
  for (const std::string* output :
       {&options.recordoutput, &options.optionoutput, &options.commentoutput, &options.reportoutput,
        &options.logfile}) {
    if (SameExistingFile(*output, options.driver)) {
      ReportMessage(msg::kOutputIsCard, output->c_str());
      return false;
    }
  }
  return true;
}

std::shared_ptr<SafeOutputFile> OpenOutputFile(const std::string& path, bool binary) {
  if (Options().prompt == 1) {
    if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
      (void)std::fclose(existing);
      ConsoleOut("WARNING: file %s exists. Overwrite (y/n)? ", path.c_str());
      int key = WaitForKey({'y', 'Y', 'n', 'N'});
      if (key == kKeyNoConsole) {
        ConsoleOut("\n");
        ReportMessage(msg::kUserAbort);
        return nullptr;
      }
      char answer = (key == 'y' || key == 'Y') ? 'Y' : 'N';
      ConsoleOut("%c\n", answer);
      if (answer == 'N') {
        ReportMessage(msg::kUserAbort);
        return nullptr;
      }
    }
  }
  auto file = std::make_shared<SafeOutputFile>();
  int error = file->Open(path, !binary);
  if (error != 0) {
    SetSystemError(error);
    ReportMessage(msg::kCreatingOutput, path.c_str());
    return nullptr;
  }
  // However the job ends, an unfinished file goes (nothing after a commit).
  RegisterCleanup([file] { file->Discard(); });
  return file;
}

bool WriteOutput(SafeOutputFile& file, const void* bytes, size_t count) {
  if (file.Write(bytes, count)) return true;
  SetSystemError(errno != 0 ? errno : EIO);
  return false;
}

bool CloseOutputFile(SafeOutputFile& file) {
  int error = file.Commit();
  if (error != 0) SetSystemError(error);
  return error == 0;
}

bool WriteRecordFile() {
  const JobOptions& options = Options();
  if (options.recordoutput.empty()) return true;
  RecordOutput out;
  out.binary = options.format == kFormatBinary;
  std::shared_ptr<SafeOutputFile> file = OpenOutputFile(options.recordoutput, out.binary);
  if (!file) return false;
  out.file = file.get();
  if (!WriteRecords(out)) {
    file->Discard();
    return false;
  }
  if (!CloseOutputFile(*file)) {
    ReportMessage(out.binary ? msg::kWritingEndRecord : msg::kWritingDataRecord);
    return false;
  }
  LogMessage(msg::kRecordsWritten, static_cast<unsigned long>(ReadState().number), out.bytes,
             options.recordoutput.c_str());
  return true;
}

}  // namespace qb
