#include "jobs/option_number.h"

namespace qb {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of a digit in `base`, or -1 when the character is none.
int DigitValue(char c, unsigned base) {
  int value;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'z') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'Z') {
    value = c - 'A' + 10;
  } else {
    return -1;
  }
  return static_cast<unsigned>(value) < base ? value : -1;
}

}  // namespace

uint32_t ParseOptionNumber(const std::string& text) {
  size_t pos = 0;
  const size_t size = text.size();
  while (pos < size && IsSpace(text[pos])) ++pos;

  bool negative = false;
  if (pos < size && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }

  unsigned base = 10;
  if (pos < size && text[pos] == '0') {
    if (pos + 1 < size && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
      base = 16;
      pos += 2;  // "0x" without digits reads as no number: 0
    } else {
      base = 8;
    }
  }

  uint64_t value = 0;
  bool overflow = false;
  for (; pos < size; ++pos) {
    int digit = DigitValue(text[pos], base);
    if (digit < 0) break;
    value = value * base + static_cast<unsigned>(digit);
    if (value > UINT32_MAX) {
      overflow = true;
      value = UINT32_MAX;  // keeps the product in range; later digits are read and dropped
    }
  }
  if (overflow) return UINT32_MAX;
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

}  // namespace qb
