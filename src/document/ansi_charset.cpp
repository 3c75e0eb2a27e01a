#include "document/ansi_charset.h"

#include <cstddef>

namespace qb {

namespace {

constexpr unsigned char kFirstHigh = 0x80;
constexpr unsigned char kLastHigh = 0x9F;

// The characters of 0x80 to 0x9F; an empty position keeps its own code.
constexpr char16_t kHigh[kLastHigh - kFirstHigh + 1] = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

}  // namespace

char16_t AnsiCharacter(unsigned char byte) {
  if (byte < kFirstHigh || byte > kLastHigh) return byte;
  return kHigh[byte - kFirstHigh];
}

int AnsiByte(char16_t character) {
  for (size_t i = 0; i < sizeof kHigh / sizeof kHigh[0]; ++i) {
    if (kHigh[i] == character) return static_cast<int>(kFirstHigh + i);
  }
  // The control characters 0x80 to 0x9F that no empty position holds have
  // no byte; the rest of the first 256 characters are their own byte.
  if (character < kFirstHigh || (character > kLastHigh && character <= 0xFF)) return character;
  return -1;
}

std::u16string AnsiToUtf16(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(AnsiCharacter(static_cast<unsigned char>(c)));
  return text;
}

bool Utf16ToAnsi(std::u16string_view text, std::string& bytes) {
  std::string converted;
  converted.reserve(text.size());
  for (char16_t c : text) {
    int byte = AnsiByte(c);
    if (byte < 0) return false;
    converted.push_back(static_cast<char>(byte));
  }
  bytes.swap(converted);
  return true;
}

}  // namespace qb
