#include "base/error_report.h"

#include <cstring>

#include "base/job_host.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "platform/system_error.h"

namespace qb {
namespace {

// The list is process-wide; the coded value is kept per thread, like a
// system's last-error slot.
std::vector<std::string>& List() {
  static std::vector<std::string> list;
  return list;
}

thread_local uint32_t t_error_code = 0;

bool g_user_break = false;

}  // namespace

void ClearErrors() {
  List().clear();
  t_error_code = 0;
  g_user_break = false;
}

void NoteUserBreak() {
  if (g_user_break) return;
  g_user_break = true;
  ReportMessage(msg::kUserBreak);
}

bool UserBreakNoted() {
  return g_user_break;
}

void ReportText(const std::string& text) {
  List().push_back(CutText(text, kMaxErrorText));
}

void ReportError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormatText(format, args);
  va_end(args);
  ReportText(text);
}

void SetSystemError(int error_number) {
  t_error_code = static_cast<uint32_t>(error_number) & ~kCustomErrorBit;
}
void SetRuntimeError(int error_number) {
  t_error_code = kCustomErrorBit + kRuntimeErrorBase + static_cast<uint32_t>(error_number);
}
void SetStringError(int id) {
  t_error_code = kCustomErrorBit + static_cast<uint32_t>(id);
}
uint32_t ErrorCode() {
  return t_error_code;
}
void SetErrorCode(uint32_t code) {
  t_error_code = code;
}

bool ErrorsPending() {
  return t_error_code != 0 || !List().empty();
}
const std::vector<std::string>& ErrorList() {
  return List();
}

std::string ErrorText(uint32_t code) {
  if (code == 0) return std::string();
  if ((code & kCustomErrorBit) == 0) return SystemErrorText(code);
  uint32_t low = code & ~kCustomErrorBit;
  if (low >= kRuntimeErrorBase) return std::strerror(static_cast<int>(low - kRuntimeErrorBase));
  return LoadMessage(static_cast<int>(low));
}

std::string JoinErrors(bool with_code) {
  std::string text;
  for (const std::string& line : List()) {
    text += line;
    text += '\n';
  }
  if (with_code) text += ErrorText(t_error_code);
  return text;
}

std::string ErrorBoxText(int limit) {
  std::string text = LoadMessage(msg::kError);
  text += '\n';
  const auto& list = List();
  size_t count = list.size();
  if (limit >= 0 && static_cast<size_t>(limit) < count) count = static_cast<size_t>(limit);
  for (size_t i = 0; i < count; ++i) {
    text += list[i];
    text += '\n';
  }
  text += ErrorText(t_error_code);
  return text;
}

void ShowErrors(int limit) {
  CurrentJobHost().ShowErrorBox(ErrorBoxText(limit));
}

}  // namespace qb
