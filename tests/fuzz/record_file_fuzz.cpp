// Loads any bytes as a record file and uses every line the way the view,
// find and export do: texts, validity, classes, code tests, the search loop
// and the export into a sink. What the recording tells must come out the
// same from the document's load and from one plain read of the file. Progress timers are due at
// every look, so the progress, cancel and question paths run too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/job_host.h"
#include "document/printer_codes.h"
#include "document/record_document.h"
#include "document/record_file_scan.h"
#include "document/text_export.h"
#include "format/byte_order.h"
#include "format/record_crc.h"
#include "format/record_file.h"
#include "fuzz_input_file.h"

namespace {

// Answers questions in turn and cancels now and then, showing nothing.
class QuietHost : public qb::JobHost {
 public:
  explicit QuietHost(uint8_t pattern) : pattern_(pattern) {}
  void WriteOut(const std::string&) override {}
  void ShowErrorBox(const std::string&) override {}
  bool CheckProgressCancel() override { return Bit(); }
  bool AskYesNo(const std::string&) override { return Bit(); }

 private:
  bool Bit() { return (pattern_ >> (turn_++ % 8)) & 1; }
  uint8_t pattern_;
  unsigned turn_ = 0;
};

class NullSink : public qb::ExportSink {
 public:
  bool Write(const char*, size_t count) override {
    written += count;
    return true;
  }
  size_t written = 0;
};

// Gives every whole record its right checksum, so that changed lengths,
// kinds and numbers reach the code behind the checks instead of stopping at
// the option record's checksum.
std::vector<uint8_t> WithChecksums(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  size_t pos = 0;
  while (size - pos >= qb::kRecordFileHeaderSize) {
    uint8_t* header = bytes.data() + pos;
    uint16_t n = qb::Get16(header + 6);
    if (size - pos - qb::kRecordFileHeaderSize < n) break;
    qb::Put16(header + 4,
              qb::RecordFileCrc(qb::Get16(header + 8), header + qb::kRecordFileHeaderSize, n));
    pos += qb::kRecordFileHeaderSize + n;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input goes into a file in memory, reached by a path like any file.
  static const qb::fuzz::MemoryFile input("record_file_fuzz");
  uint8_t pattern = size > 0 ? data[size - 1] : 0;
  if (pattern & 0x40) {
    std::vector<uint8_t> fixed = WithChecksums(data, size);
    if (!input.Write(fixed.data(), fixed.size())) return 0;
  } else if (!input.Write(data, size)) {
    return 0;
  }
  QuietHost host(pattern);
  qb::ScopedJobHost scoped(&host);
  qb::RecordDocument document;
  document.SetClock([t = int64_t{0}]() mutable { return t += 1000; });
  // Now and then plan the index with little memory, so that it coarsens.
  if (pattern & 0x80) document.SetIndexMemory(2000);
  // One plain read of the file gathers what the document gathered while
  // indexing its lines.
  qb::RecordFileScan scan;
  const int scanned = qb::ScanRecordFile(input.path(), scan);
  if (!document.LoadRecordFile(input.path())) return 0;
  if (scanned != 0 || !(scan.facts == document.facts())) __builtin_trap();

  int last = document.GetLastLineIndex();
  for (int line = -1; line <= last + 1; ++line) {
    std::string text = document.GetLineText(line);
    bool valid = document.IsLineValid(line);
    std::string raw = document.GetRawText(line);
    if (valid && raw.size() > text.size()) __builtin_trap();  // marks only lengthen
    for (int code : {0, qb::kCodeFormFeed, qb::kCodePrintable, qb::kCodeEscape, qb::kCodeInitialise,
                     qb::kCodeCondensed, qb::kCodePageLength})
      document.LineHoldsCode(line, code);
    int classes = 0;
    for (int line_class : {qb::kClassTextOnly, qb::kClassCodesOnly, qb::kClassMixed})
      classes += document.LineHasClass(line, line_class);
    bool exists = document.GetLineRecord(line) != nullptr;
    if (classes != (exists ? 1 : 0)) __builtin_trap();  // every record has one class
  }

  for (const char* find : {"<ESC>", "A", "manipulated"}) {
    document.SetFindText(find);
    int line = -1;
    int position = -1;
    int previous = -1;
    while (document.FindNext(line, position) >= 0) {
      if (line <= previous || position < 0) __builtin_trap();  // forward only
      previous = line;
      if (line >= last) break;
    }
  }

  // The walk in the read buffer gives every line as the indexed fetch does,
  // also when a fetch in between moves the reader.
  qb::RecordDocument::LineWalk walk;
  qb::RecordDocument::WalkedLine walked;
  int walked_lines = 0;
  for (; document.WalkLine(walk, walked); ++walked_lines) {
    const std::string text(reinterpret_cast<const char*>(walked.text), walked.size);
    if (text != document.GetRawText(walked_lines)) __builtin_trap();
    if (walked.valid != document.IsLineValid(walked_lines)) __builtin_trap();
  }
  if (walked_lines != last + 1) __builtin_trap();

  NullSink sink;
  bool keep = false;
  qb::WriteExportLines(document, sink, host, keep);
  return 0;
}
