#include "format/option_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

constexpr char kSectorsRead[] = "# sectors read: ";
constexpr char kOverwritten[] = "# older printouts overwritten: ";
constexpr char kCardFull[] = "# card full: ";
constexpr char kRescue[] = "# rescue read: ";

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

bool ParseYesNo(const std::string& text, bool& value) {
  if (text != "yes" && text != "no") return false;
  value = text == "yes";
  return true;
}

// A decimal number of at most ten digits that fits 32 bits, at `text[at]`;
// `at` moves past it.
bool ParseSector(const std::string& text, size_t& at, uint32_t& value) {
  uint64_t number = 0;
  size_t begin = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - begin < 10) {
    number = number * 10 + static_cast<unsigned>(text[at] - '0');
    ++at;
  }
  if (at == begin || number > UINT32_MAX) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool ParseWord(const std::string& text, size_t& at, const char* word) {
  size_t length = std::strlen(word);
  if (text.compare(at, length, word) != 0) return false;
  at += length;
  return true;
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

std::string ReadFactsText(const ReadFacts& facts) {
  std::string text;
  AppendLine(
      text, "%s%lu to %lu of %lu to %lu", kSectorsRead,
      static_cast<unsigned long>(facts.startSector), static_cast<unsigned long>(facts.newestSector),
      static_cast<unsigned long>(facts.firstSector), static_cast<unsigned long>(facts.lastSector));
  AppendLine(text, "%s%s", kOverwritten, YesNo(facts.overwritten));
  AppendLine(text, "%s%s", kCardFull, YesNo(facts.cardFull));
  AppendLine(text, "%s%s", kRescue, YesNo(facts.rescue));
  return text;
}

bool OptionTextLine(const uint8_t* text, size_t size, const char* prefix, std::string& value) {
  const char* chars = reinterpret_cast<const char*>(text);
  size_t length = std::strlen(prefix);
  for (size_t line = 0; line < size;) {
    const void* found = std::memchr(chars + line, '\n', size - line);
    size_t end =
        found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - chars) : size;
    if (end - line >= length && std::memcmp(chars + line, prefix, length) == 0) {
      value.assign(chars + line + length, end - line - length);
      return true;
    }
    line = end + 1;
  }
  return false;
}

bool ParseReadFacts(const uint8_t* text, size_t size, ReadFacts& facts) {
  ReadFacts read;
  std::string line;
  if (!OptionTextLine(text, size, kSectorsRead, line)) return false;
  size_t at = 0;
  if (!ParseSector(line, at, read.startSector) || !ParseWord(line, at, " to ") ||
      !ParseSector(line, at, read.newestSector) || !ParseWord(line, at, " of ") ||
      !ParseSector(line, at, read.firstSector) || !ParseWord(line, at, " to ") ||
      !ParseSector(line, at, read.lastSector) || at != line.size())
    return false;
  if (!OptionTextLine(text, size, kOverwritten, line) || !ParseYesNo(line, read.overwritten))
    return false;
  if (!OptionTextLine(text, size, kCardFull, line) || !ParseYesNo(line, read.cardFull))
    return false;
  if (!OptionTextLine(text, size, kRescue, line) || !ParseYesNo(line, read.rescue)) return false;
  facts = read;
  return true;
}

}  // namespace qb
