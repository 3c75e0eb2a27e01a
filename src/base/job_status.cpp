#include "base/job_status.h"

#include <cstdarg>

#include "base/error_report.h"
#include "base/job_host.h"
#include "base/text_format.h"

namespace qb {

void ShowStatus(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormatText(format, args);
  va_end(args);
  CurrentJobHost().ShowStatus(CutText(std::move(text), kMaxErrorText));
}

void SetProgressRange(long low, long high) {
  CurrentJobHost().SetProgressRange(low, high);
}

void SetProgressPos(long position) {
  CurrentJobHost().SetProgressPos(position);
}

bool PollKey(int& key) {
  return CurrentJobHost().PollKey(key);
}

bool UserBreak() {
  if (UserBreakNoted()) return true;
  int key = 0;
  if (PollKey(key) && key == kKeyEscape) NoteUserBreak();
  return UserBreakNoted();
}

void ConsoleOut(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormatText(format, args);
  va_end(args);
  CurrentJobHost().WriteOut(text);
}

void ConsoleOutText(const std::string& text) {
  CurrentJobHost().WriteOut(text);
}

}  // namespace qb
