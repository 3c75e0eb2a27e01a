#include "document/text_export.h"

#include <cerrno>
#include <cstring>

#include "base/error_report.h"
#include "base/interval_timer.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/safe_file_name.h"
#include "base/text_format.h"
#include "document/record_document.h"
#include "platform/coarse_clock.h"
#include "platform/file_status.h"
#include "platform/safe_output_file.h"

namespace qb {
namespace {

constexpr char kLineEnd[] = "\r\n";

// The export file (which gathers the small writes itself), keeping the
// error of the first write that failed.
class FileSink : public ExportSink {
 public:
  explicit FileSink(SafeOutputFile& file) : file_(file) {}

  bool Write(const char* bytes, size_t count) override {
    if (file_.Write(bytes, count)) return true;
    if (error_ == 0) error_ = errno;
    return false;
  }

  // The error number of the first write that failed.
  int error() const { return error_ != 0 ? error_ : EIO; }

 private:
  SafeOutputFile& file_;
  int error_ = 0;
};

void ShowWriteFailure(JobHost& host, int error) {
  SetRuntimeError(error);
  host.ShowErrorBox(std::string(LoadMessage(msg::kError)) + "\n" + ErrorText(ErrorCode()));
}

}  // namespace

std::string DefaultExportName(const std::string& document_path, const std::string& folder) {
  size_t slash = document_path.rfind('/');
  std::string name = slash == std::string::npos ? document_path : document_path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return folder + SafeFileName(name + ".txt");
}

ExportOutcome WriteExportLines(RecordDocument& document, ExportSink& sink, JobHost& host,
                               bool& keep, const std::function<int64_t()>& clock) {
  keep = true;
  int last = document.GetLastLineIndex();
  host.BeginProgress(LoadMessage(msg::kAppName),
                     kProgressBar | kProgressPercent | kProgressTime | kProgressCancel);
  host.SetProgressRange(0, last);
  IntervalTimer timer(clock ? clock : CoarseMonotonicMillis);
  timer.Start(500);
  const std::string warning = std::string(LoadMessage(msg::kManipulated)) + kLineEnd;
  ExportOutcome outcome = ExportOutcome::kWritten;
  std::string text;
  RecordDocument::LineWalk walk;
  RecordDocument::WalkedLine line;
  for (int k = 0; k <= last; ++k) {
    // A valid line's text is written straight from the read buffer, where
    // it was checked.
    if (!document.WalkLine(walk, line)) line = RecordDocument::WalkedLine();
    // A file cut or rewritten under the walk would give one warning line
    // after another for records it no longer holds.
    if (document.FileChanged()) {
      outcome = ExportOutcome::kSourceChanged;
      break;
    }
    const char* bytes = warning.data();
    size_t count = warning.size();
    if (line.valid) {
      bytes = reinterpret_cast<const char*>(line.text);
      count = line.size;
    }
    if (count > 0 && !sink.Write(bytes, count)) {
      outcome = ExportOutcome::kFailed;
      break;
    }
    // The clock and the cancel are asked every 64 lines: a line takes tens
    // of nanoseconds, asking takes longer (the application's cancel looks at
    // the window's events).
    if ((k & 63) != 0) continue;
    if (timer.Due()) {
      // The line as written, as far as a text goes (to its first NUL).
      text.assign(bytes, count);
      const char* line_text = text.c_str();
      host.ShowStatus(FormatText("%s %i %s %i\n%-60.60s%s", LoadMessage(msg::kWritingLine), k + 1,
                                 LoadMessage(msg::kOf), last + 1, line_text,
                                 std::strlen(line_text) > 60 ? "..." : ""));
      host.SetProgressPos(k);
    }
    if (host.CheckProgressCancel() && host.AskYesNo(LoadMessage(msg::kAbortFunction))) {
      keep = host.AskYesNo(LoadMessage(msg::kHoldResults));
      outcome = ExportOutcome::kCancelled;
      break;
    }
  }
  host.EndProgress();
  return outcome;
}

bool PrepareExportTarget(const std::string& path, JobHost& host) {
  if (PathStatus(path, false) != 0) return true;
  // The file is replaced only when the export is complete.
  return host.AskYesNo(FillMessage(msg::kDestinationExists, path));
}

bool WriteTextExport(RecordDocument& document, const std::string& path, JobHost& host,
                     const std::function<int64_t()>& clock) {
  if (SameExistingFile(path, document.GetPathName())) {
    host.ShowErrorBox(FillMessage(msg::kExportIsDocument, path));
    return false;
  }
  bool existed = PathStatus(path, false) == 0;
  SafeOutputFile file;
  // Whoever calls has settled that an existing file is to be replaced.
  int error = file.Open(path, false, true);
  if (error != 0) {
    if (existed) {
      SetRuntimeError(error);
      host.ShowErrorBox(FillMessage(msg::kCannotOverwrite, path, ErrorText(ErrorCode())));
    } else {
      host.ShowErrorBox(LoadMessage(msg::kCannotCreateDocument));
    }
    return false;
  }
  FileSink sink(file);
  bool keep = true;
  ExportOutcome outcome = WriteExportLines(document, sink, host, keep, clock);
  switch (outcome) {
    case ExportOutcome::kFailed:
      file.Discard();
      ShowWriteFailure(host, sink.error());
      return false;
    case ExportOutcome::kSourceChanged:
      file.Discard();
      host.ShowErrorBox(FillMessage(msg::kRecordFileChanged, document.GetPathName()));
      return false;
    case ExportOutcome::kCancelled:
      if (!keep) {
        // Nothing takes the name: what had it before stays.
        file.Discard();
        return true;
      }
      break;
    case ExportOutcome::kWritten:
      break;
  }
  error = file.Commit();
  if (error != 0) {
    ShowWriteFailure(host, error);
    return false;
  }
  return true;
}

bool ExportText(RecordDocument& document, const std::string& path, JobHost& host) {
  return PrepareExportTarget(path, host) && WriteTextExport(document, path, host);
}

}  // namespace qb
