#include "document/printer_codes.h"

#include <cstdio>
#include <cstring>

namespace qb {
namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEnq = 0x05;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kSo = 0x0E;
constexpr uint8_t kSi = 0x0F;
constexpr uint8_t kEsc = 0x1B;

// How many bytes from `p` on (at most `n`) are 0x20 or above. Eight bytes
// at a time are tested for any byte below 0x20 (the test is exact for the
// word as a whole), so long printable runs cost little.
size_t PrintableRun(const uint8_t* p, size_t n) {
  constexpr uint64_t kLow = 0x2020202020202020ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  size_t i = 0;
  while (i + 8 <= n) {
    uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if (((word - kLow) & ~word & kHigh) != 0) break;
    i += 8;
  }
  while (i < n && p[i] >= 0x20) ++i;
  return i;
}

// The text positions actually inside the data: [first, last] with
// last < size; empty when first > last.
bool ClampText(size_t size, int start, int end, size_t& first, size_t& last) {
  if (size == 0 || start < 0 || end < start) return false;
  first = static_cast<size_t>(start);
  if (first >= size) return false;
  last = static_cast<size_t>(end);
  if (last >= size) last = size - 1;
  return true;
}

// Marks of the control codes that have a name; the others show in hex.
const char* NamedMark(uint8_t byte) {
  switch (byte) {
    case 0x02:
      return "<STX>";
    case 0x03:
      return "<ETX>";
    case 0x05:
      return "<ENQ>";
    case 0x06:
      return "<ACK>";
    case 0x0A:
      return "<LF>";
    case 0x0C:
      return "<FF>";
    case 0x0D:
      return "<CR>";
    case 0x0E:
      return "<SO>";
    case 0x0F:
      return "<SI>";
    case 0x11:
      return "<DC1>";
    case 0x12:
      return "<DC2>";
    case 0x13:
      return "<DC3>";
    case 0x14:
      return "<DC4>";
    case 0x15:
      return "<NAK>";
    case 0x18:
      return "<CAN>";
    case 0x1B:
      return "<ESC>";
    default:
      return nullptr;
  }
}

}  // namespace

PrinterCode CodeAt(const uint8_t* data, size_t size, size_t pos) {
  uint8_t byte = data[pos];
  if (byte >= 0x20 || byte == kStx || byte == kEtx || byte == kEnq) return {kCodePrintable, 1};
  if (byte != kEsc) return {byte, 1};
  if (pos + 1 >= size) return {kCodeEscape, 1};
  switch (data[pos + 1]) {
    case kSo:
      return {kCodeDoubleWidth, 2};
    case kSi:
      return {kCodeCondensed, 2};
    case '@':
      return {kCodeInitialise, 2};
    case 'E':
      return {kCodeEmphasisedOn, 2};
    case 'F':
      return {kCodeEmphasisedOff, 2};
    case 'C':
      return {kCodePageLength, pos + 2 < size ? size_t{3} : size_t{2}};
    default:
      return {kCodeEscape, 2};
  }
}

uint32_t TextContentFlags(const uint8_t* data, size_t size, int start, int end) {
  uint32_t flags = 0;
  size_t pos = 0;
  size_t last = 0;
  if (ClampText(size, start, end, pos, last)) {
    while (pos <= last) {
      // Runs of printable bytes are the common case: take them in one go.
      if (data[pos] >= 0x20) {
        flags |= kContentPrintable;
        pos += PrintableRun(data + pos, last + 1 - pos);
        continue;
      }
      PrinterCode code = CodeAt(data, size, pos);
      if (code.code == kCodePrintable) {
        flags |= kContentPrintable;
      } else if (code.code != kCr && code.code != kLf) {
        flags |= kContentControl;
      }
      pos += code.length;
    }
  }
  if (flags == 0) flags = kContentPrintable;
  return flags;
}

bool FlagsHaveClass(uint32_t flags, int line_class) {
  bool printable = (flags & kContentPrintable) != 0;
  bool control = (flags & kContentControl) != 0;
  switch (line_class) {
    case kClassTextOnly:
      return printable && !control;
    case kClassCodesOnly:
      return control && !printable;
    case kClassMixed:
      return printable && control;
    default:
      return false;
  }
}

bool LeadingCodesHold(const uint8_t* data, size_t size, int start, int end, int code) {
  size_t pos = 0;
  size_t last = 0;
  if (!ClampText(size, start, end, pos, last)) return false;
  while (pos <= last) {
    PrinterCode here = CodeAt(data, size, pos);
    if (here.code == code) return true;
    if (here.code == kCodePrintable) return false;
    pos += here.length;
  }
  return false;
}

std::string ControlMark(uint8_t byte) {
  if (const char* mark = NamedMark(byte)) return mark;
  char text[8];
  (void)std::snprintf(text, sizeof text, "<0x%02X>", static_cast<unsigned>(byte));
  return text;
}

void AppendDisplayText(std::string& out, const uint8_t* text, size_t count) {
  size_t i = 0;
  while (i < count) {
    // Runs of bytes shown as they are go out in one piece.
    size_t run = i;
    for (;;) {
      run += PrintableRun(text + run, count - run);
      if (run == count || (text[run] != kCr && text[run] != kLf)) break;
      ++run;
    }
    out.append(reinterpret_cast<const char*>(text + i), run - i);
    if (run == count) break;
    uint8_t byte = text[run];
    if (const char* mark = NamedMark(byte)) {
      out += mark;
    } else {
      char hex[8];
      (void)std::snprintf(hex, sizeof hex, "<0x%02X>", static_cast<unsigned>(byte));
      out += hex;
    }
    i = run + 1;
  }
}

}  // namespace qb
