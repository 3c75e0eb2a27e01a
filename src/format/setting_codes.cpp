#include "format/setting_codes.h"

#include <cstddef>

namespace qb {
namespace {

struct ParameterEntry {
  const char* text;
  uint16_t code;
};

constexpr ParameterEntry kParameters[] = {
    {"8N1", 0x0001}, {"8N2", 0x0009}, {"7E1", 0x0023}, {"7E2", 0x002B}, {"8E1", 0x0027},
    {"8E2", 0x002F}, {"7O1", 0x1023}, {"7O2", 0x102B}, {"8O1", 0x1027}, {"8O2", 0x102F},
};

struct ProtocolEntry {
  uint16_t code;
  uint32_t value;
};

constexpr ProtocolEntry kProtocols[] = {
    {0, 0x3685E294u},
    {1, 0x1A0A5085u},
    {128, 0xA68BD038u},
};

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameWord(const std::string& text, const char* word) {
  size_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= text.size() || AsciiLower(text[i]) != word[i]) return false;
  }
  return i == text.size();
}

}  // namespace

bool ParameterCode(const std::string& text, uint16_t& code) {
  if (text.size() != 3) return false;
  for (const ParameterEntry& entry : kParameters) {
    if (text[0] == entry.text[0] && AsciiUpper(text[1]) == entry.text[1] &&
        text[2] == entry.text[2]) {
      code = entry.code;
      return true;
    }
  }
  return false;
}

const char* ParameterText(uint16_t code) {
  for (const ParameterEntry& entry : kParameters) {
    if (entry.code == code) return entry.text;
  }
  return "???";
}

bool ProtocolValid(uint32_t value) {
  uint32_t x = value ^ (value >> 8) ^ (value >> 16) ^ (value >> 24) ^ 0xC5u;
  return (x & 1u) == 0;
}

bool ProtocolCode(uint32_t value, uint16_t& code) {
  if (!ProtocolValid(value)) return false;
  uint32_t bits =
      (value & 0x03u) | ((value >> 8) & 0x0Cu) | ((value >> 16) & 0x30u) | ((value >> 24) & 0xC0u);
  code = static_cast<uint16_t>(bits & 0xFFu);
  return true;
}

uint32_t ProtocolValue(uint16_t code) {
  for (const ProtocolEntry& entry : kProtocols) {
    if (entry.code == code) return entry.value;
  }
  return 0;
}

const char* MemoryFullKeyword(uint16_t flags) {
  return (flags & kFlagOverwriteOld) ? "overwrite_old" : "stop_logger";
}

const char* RtsControlKeyword(uint16_t flags) {
  return (flags & kFlagOutOfMemory) ? "outofmemory" : "recording";
}

bool MemoryFullCode(const std::string& keyword, uint16_t& code) {
  if (SameWord(keyword, "overwrite_old")) {
    code = kFlagOverwriteOld;
    return true;
  }
  if (SameWord(keyword, "stop_logger")) {
    code = 0;
    return true;
  }
  return false;
}

bool RtsControlCode(const std::string& keyword, uint16_t& code) {
  if (SameWord(keyword, "outofmemory")) {
    code = kFlagOutOfMemory;
    return true;
  }
  if (SameWord(keyword, "recording")) {
    code = 0;
    return true;
  }
  return false;
}

}  // namespace qb
