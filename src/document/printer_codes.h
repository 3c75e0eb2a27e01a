// The printer emulation: a line's text read as printer codes (control codes,
// printable characters and a few escape sequences of the instrument's
// printer), the content flags and class of a line, the marks that make
// control codes readable, and the walk over a line's leading codes.
//
// Every function takes the record's whole data (`size` bytes) and the text
// bounds inside it; nothing is ever read outside the data, whatever the
// bounds say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

// Code numbers: control codes are their byte value (0 to 31).
constexpr int kCodeFormFeed = 12;
constexpr int kCodePrintable = 256;
constexpr int kCodeEscape = 260;         // ESC and any byte not listed below
constexpr int kCodeInitialise = 261;     // ESC @
constexpr int kCodeEmphasisedOn = 262;   // ESC E
constexpr int kCodeEmphasisedOff = 263;  // ESC F
constexpr int kCodeCondensed = 264;      // ESC SI
constexpr int kCodeDoubleWidth = 265;    // ESC SO
constexpr int kCodePageLength = 266;     // ESC C n

// Line classes.
constexpr int kClassTextOnly = 257;
constexpr int kClassCodesOnly = 258;
constexpr int kClassMixed = 259;

// Content flag bits.
constexpr uint32_t kContentPrintable = 1;
constexpr uint32_t kContentControl = 2;

struct PrinterCode {
  int code = 0;
  size_t length = 0;  // bytes the code takes, at least 1, never past the data
};

// The code at `pos` (which must be below `size`). An escape sequence whose
// bytes run past the end of the data ends there: ESC as the last byte reads
// as kCodeEscape of length 1.
PrinterCode CodeAt(const uint8_t* data, size_t size, size_t pos);

// The content flags of the text from `start` to `end` inclusive: printable
// codes set kContentPrintable, CR and LF nothing, every other code
// kContentControl; an empty text or one of CR and LF only is printable.
uint32_t TextContentFlags(const uint8_t* data, size_t size, int start, int end);

// True when `flags` make a line of class `line_class` (257, 258 or 259);
// false for any other number.
bool FlagsHaveClass(uint32_t flags, int line_class);

// True when `code` occurs among the text's leading codes: those met before
// the first printable code (STX, ETX and ENQ count as printable) or before
// the walk passes the end of the text.
bool LeadingCodesHold(const uint8_t* data, size_t size, int start, int end, int code);

// The mark of a byte that is not shown as it is, e.g. "<ESC>" or "<0x07>".
std::string ControlMark(uint8_t byte);

// Appends the display form of `count` text bytes: CR, LF and bytes from 0x20
// up as they are, every other byte as its mark.
void AppendDisplayText(std::string& out, const uint8_t* text, size_t count);

}  // namespace qb
