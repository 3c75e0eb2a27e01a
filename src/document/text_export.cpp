#include "document/text_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "base/error_report.h"
#include "base/interval_timer.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/safe_file_name.h"
#include "base/text_format.h"
#include "document/record_document.h"
#include "platform/coarse_clock.h"
#include "platform/posix_names.h"

namespace qb {
namespace {

constexpr char kLineEnd[] = "\r\n";

// Fills "%1" and "%2" of a message with ready texts (the texts are never
// read as formats).
std::string FillPlaceholders(const std::string& message, const std::string& first,
                             const std::string& second = std::string()) {
  std::string out;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size() &&
        (message[i + 1] == '1' || message[i + 1] == '2')) {
      out += message[i + 1] == '1' ? first : second;
      ++i;
    } else {
      out += message[i];
    }
  }
  return out;
}

// The export file, written through a buffer of its own.
class FileSink : public ExportSink {
 public:
  static constexpr size_t kBufferSize = size_t{256} * 1024;

  explicit FileSink(int fd) : fd_(fd), buffer_(new char[kBufferSize]) {}
  ~FileSink() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Write(const char* bytes, size_t count) override {
    if (count >= kBufferSize) return Flush() && WriteAll(bytes, count);
    if (used_ + count > kBufferSize && !Flush()) return false;
    std::memcpy(buffer_.get() + used_, bytes, count);
    used_ += count;
    return true;
  }

  bool Flush() {
    bool ok = WriteAll(buffer_.get(), used_);
    used_ = 0;
    return ok;
  }

  // Flushes and closes; false (errno set) when anything failed, including
  // the close itself, so that a lost write cannot pass for success.
  bool Close() {
    bool ok = Flush();
    int saved = errno;
    if (::close(fd_) != 0) {
      if (ok) saved = errno;
      ok = false;
    }
    fd_ = -1;
    errno = saved;
    return ok;
  }

 private:
  int fd_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;

  bool WriteAll(const char* bytes, size_t count) {
    while (count > 0) {
      ssize_t done = ::write(fd_, bytes, count);
      if (done < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      bytes += done;
      count -= static_cast<size_t>(done);
    }
    return true;
  }
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
  for (int k = 0; k <= last; ++k) {
    // The record of a valid line is in hand after the check; its text is
    // written straight from it.
    DocRecord* record = document.WalkLine(walk);
    const char* bytes = warning.data();
    size_t count = warning.size();
    if (record != nullptr && record->IsValid()) {
      bytes = reinterpret_cast<const char*>(record->Text());
      count = record->TextSize();
    }
    if (count > 0 && !sink.Write(bytes, count)) {
      outcome = ExportOutcome::kFailed;
      break;
    }
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
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return true;
  if (!host.AskYesNo(FillPlaceholders(LoadMessage(msg::kDestinationExists), path))) return false;
  if (::unlink(path.c_str()) != 0) {
    SetRuntimeError(errno);
    host.ShowErrorBox(
        FillPlaceholders(LoadMessage(msg::kCannotOverwrite), path, ErrorText(ErrorCode())));
    return false;
  }
  return true;
}

bool WriteTextExport(RecordDocument& document, const std::string& path, JobHost& host,
                     const std::function<int64_t()>& clock) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    host.ShowErrorBox(LoadMessage(msg::kCannotCreateDocument));
    return false;
  }
  FileSink sink(fd);
  bool keep = true;
  ExportOutcome outcome = WriteExportLines(document, sink, host, keep, clock);
  if (outcome == ExportOutcome::kFailed) {
    int error = errno;
    sink.Close();
    ShowWriteFailure(host, error);
    return false;
  }
  if (!sink.Close()) {
    ShowWriteFailure(host, errno);
    return false;
  }
  if (outcome == ExportOutcome::kCancelled && !keep) ::unlink(path.c_str());
  return true;
}

bool ExportText(RecordDocument& document, const std::string& path, JobHost& host) {
  return PrepareExportTarget(path, host) && WriteTextExport(document, path, host);
}

}  // namespace qb
