#include "jobs/option_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/error_report.h"
#include "base/messages.h"
#include "jobs/job_options.h"
#include "platform/locked_open.h"

namespace qb {
namespace {

// A line is read into a buffer of 128 bytes: at most 127 characters and the
// terminating NUL.
constexpr size_t kPieceLength = 127;

// How many option files are open inside one another right now.
int g_open_files = 0;

class NestingGuard {
 public:
  NestingGuard() { ++g_open_files; }
  ~NestingGuard() { --g_open_files; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

struct FileCloser {
  void operator()(FILE* file) const { (void)std::fclose(file); }  // read only
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens a file for reading that nobody else may use while it is open: an
// exclusive lock that another holder makes fail at once. Only regular files
// and pipes are read; a folder or a device fails. Sets errno on failure.
FileHandle OpenUnshared(const std::string& path) {
  int error = 0;
  struct stat info;
  int fd = OpenLockedForReading(path, FileLock::kExclusive, true, error, info);
  if (fd >= 0) {
    if (FILE* file = StreamFromDescriptor(fd, "r", error)) return FileHandle(file);
  }
  errno = error;
  return nullptr;
}

// Reads the next piece of a line: characters up to and including the line
// end, at most kPieceLength of them. CR LF reads as one line end. The piece
// ends at a NUL byte read inside it. False at the end of the file.
bool ReadPiece(FILE* file, std::string& piece) {
  piece.clear();
  size_t count = 0;
  bool ended = false;  // a NUL byte was read: the rest of the piece is dropped
  while (count < kPieceLength) {
    int c = std::getc(file);
    if (c == EOF) break;
    if (c == '\r') {
      int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        (void)std::ungetc(next, file);
      }
    }
    ++count;
    if (c == '\0') ended = true;
    if (!ended) piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return count > 0;
}

}  // namespace

bool ReadOptionFile(const std::string& path) {
  if (path.empty()) return true;
  if (g_open_files >= kMaxOptionFileDepth) {
    ReportError("Option files nested too deeply at %s", path.c_str());
    return false;
  }
  NestingGuard nesting;

  FileHandle file = OpenUnshared(path);
  if (!file) {
    SetSystemError(errno);
    ReportMessage(msg::kOpeningFile, path.c_str());
    return false;
  }

  std::string line;
  std::string key;
  std::string value;
  long long line_number = 0;
  while (ReadPiece(file.get(), line)) {
    ++line_number;
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '\n') continue;
    if (line.back() == '\n') line.pop_back();
    if (!SplitOption(line, key, value)) {
      ReportMessage(msg::kInvalidOption, line.c_str());
      return false;
    }
    if (!ApplyOption(key, value)) {
      int shown = line_number > INT_MAX ? INT_MAX : static_cast<int>(line_number);
      ReportMessage(msg::kOptionFileLine, path.c_str(), shown, key.c_str(), value.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace qb
