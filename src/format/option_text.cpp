#include "format/option_text.h"

#include <cstdarg>
#include <cstdio>

#include "format/setting_codes.h"

namespace qb {
namespace {

constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Every line here is short; the buffer is far larger than any of them.
void AppendLine(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

void AppendLine(std::string& text, const char* format, ...) {
  char line[160];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0) return;
  if (static_cast<size_t>(length) >= sizeof line) length = sizeof line - 1;
  text.append(line, static_cast<size_t>(length));
  text.push_back('\n');
}

}  // namespace

std::string FormatReadDate(std::time_t time) {
  const std::tm* local = std::localtime(&time);
  if (local == nullptr || local->tm_wday < 0 || local->tm_wday > 6 || local->tm_mon < 0 ||
      local->tm_mon > 11)
    return "??? ??? ?? ??:??:?? ????";
  char date[64];
  (void)std::snprintf(date, sizeof date, "%s %s %02d %02d:%02d:%02d %04d",
                      kWeekdays[local->tm_wday], kMonths[local->tm_mon], local->tm_mday,
                      local->tm_hour, local->tm_min, local->tm_sec, local->tm_year + 1900);
  return date;
}

std::string BuildOptionText(const MasterBlock& block, std::time_t read_time) {
  std::string text;
  AppendLine(text, "# option file created by READCARD");
  AppendLine(text, "# read date: %s", FormatReadDate(read_time).c_str());
  AppendLine(text, "# master number: %08lX", static_cast<unsigned long>(block.master));
  AppendLine(text, "%s", "");
  AppendLine(text, "cardsize=%lu", static_cast<unsigned long>(block.sectors));
  AppendLine(text, "baudrate=%lu", static_cast<unsigned long>(block.baudrate));
  AppendLine(text, "parameter=%s", ParameterText(block.parameterCode));
  AppendLine(text, "protocol=0x%08lX",
             static_cast<unsigned long>(ProtocolValue(block.protocolCode)));
  AppendLine(text, "timeout=%u", static_cast<unsigned>(block.timeout));
  AppendLine(text, "memoryfull=%s", MemoryFullKeyword(block.flags));
  AppendLine(text, "rtscontrol=%s", RtsControlKeyword(block.flags));
  AppendLine(text, "%s", "");
  return text;
}

}  // namespace qb
