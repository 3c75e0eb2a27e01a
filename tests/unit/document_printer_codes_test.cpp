#include <gtest/gtest.h>

#include <string>

#include "document/printer_codes.h"

namespace qb {
namespace {

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(PrinterCodes, CodeAtAPosition) {
  const struct {
    std::string data;
    int code;
    size_t length;
  } table[] = {
      {"A", kCodePrintable, 1},
      {"\xFF", kCodePrintable, 1},
      {"\x02", kCodePrintable, 1},
      {"\x03", kCodePrintable, 1},
      {"\x05", kCodePrintable, 1},
      {"\x0C", kCodeFormFeed, 1},
      {std::string(1, '\0'), 0, 1},
      {"\x1B\x0E", kCodeDoubleWidth, 2},
      {"\x1B\x0F", kCodeCondensed, 2},
      {"\x1B@", kCodeInitialise, 2},
      {"\x1B"
       "E",
       kCodeEmphasisedOn, 2},
      {"\x1B"
       "F",
       kCodeEmphasisedOff, 2},
      {"\x1B"
       "CB",
       kCodePageLength, 3},
      {"\x1Bx", kCodeEscape, 2},
      // Sequences cut by the end of the data end there.
      {"\x1B", kCodeEscape, 1},
      {"\x1B"
       "C",
       kCodePageLength, 2},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(testing::PrintToString(row.data));
    PrinterCode code = CodeAt(Bytes(row.data), row.data.size(), 0);
    EXPECT_EQ(code.code, row.code);
    EXPECT_EQ(code.length, row.length);
  }
}

// Classes and leading codes of whole texts (the text is all of the data).
TEST(PrinterCodes, ClassesAndLeadingCodes) {
  const struct {
    const char* name;
    std::string text;
    int line_class;
    int held;      // a code the leading walk meets
    int not_held;  // one it does not
  } table[] = {
      {"form feed only", "\x0C", kClassCodesOnly, kCodeFormFeed, kCodeInitialise},
      {"page length then a letter",
       "\x1B"
       "CBA",
       kClassMixed, kCodePageLength, kCodeFormFeed},
      {"CR LF only", "\r\n", kClassTextOnly, '\r', kCodeFormFeed},
      {"letters then BEL", "ABC\x07", kClassMixed, kCodePrintable, 7},
      {"letters then FF", "AB\x0C", kClassMixed, kCodePrintable, kCodeFormFeed},
      {"CR LF FF", "\r\n\x0C", kClassCodesOnly, kCodeFormFeed, kCodeCondensed},
      {"reset", "\x1B@", kClassCodesOnly, kCodeInitialise, kCodeCondensed},
      {"condensed after reset", "\x1B@\x1B\x0F", kClassCodesOnly, kCodeCondensed, kCodeFormFeed},
      {"empty", "", kClassTextOnly, -1, kCodeFormFeed},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const uint8_t* data = Bytes(row.text);
    size_t size = row.text.size();
    int end = static_cast<int>(size) - 1;
    uint32_t flags = TextContentFlags(data, size, 0, end);
    for (int line_class : {kClassTextOnly, kClassCodesOnly, kClassMixed})
      EXPECT_EQ(FlagsHaveClass(flags, line_class), line_class == row.line_class) << line_class;
    if (row.held >= 0) {
      EXPECT_TRUE(LeadingCodesHold(data, size, 0, end, row.held));
    }
    EXPECT_FALSE(LeadingCodesHold(data, size, 0, end, row.not_held));
  }
  EXPECT_FALSE(FlagsHaveClass(kContentPrintable, 256));
}

TEST(PrinterCodes, WalksStayInsideTheTextAndTheData) {
  // STX ESC ETX bcc with the text being the ESC alone: the sequence reads the
  // ETX as its second byte and the walk ends past the text.
  std::string data = "\x02\x1B\x03\x18";
  EXPECT_TRUE(LeadingCodesHold(Bytes(data), data.size(), 1, 1, kCodeEscape));
  EXPECT_EQ(TextContentFlags(Bytes(data), data.size(), 1, 1), kContentControl);
  // ESC as the last byte of the data: nothing beyond it is read.
  std::string tail = "\x02\x1B";
  EXPECT_TRUE(LeadingCodesHold(Bytes(tail), tail.size(), 1, 1, kCodeEscape));
  EXPECT_EQ(TextContentFlags(Bytes(tail), tail.size(), 1, 1), kContentControl);
  // Bounds past the data are cut to it.
  EXPECT_EQ(TextContentFlags(Bytes(tail), tail.size(), 2, 5), kContentPrintable);
  EXPECT_FALSE(LeadingCodesHold(Bytes(tail), tail.size(), 2, 5, kCodeEscape));
  EXPECT_EQ(TextContentFlags(nullptr, 0, 0, -1), kContentPrintable);
}

TEST(PrinterCodes, DisplayMarks) {
  const struct {
    std::string text;
    std::string shown;
  } table[] = {
      {"\x1B@", "<ESC>@"},
      {"\x1B\x0F", "<ESC><SI>"},
      {"ABC\x07", "ABC<0x07>"},
      {"a\r\nb", "a\r\nb"},
      {"\x02\x03\x05\x06\x0C\x0E\x11\x12\x13\x14\x15\x18",
       "<STX><ETX><ENQ><ACK><FF><SO><DC1><DC2><DC3><DC4><NAK><CAN>"},
      {std::string("\0\x1F\x7F\x80\xFF", 5), "<0x00><0x1F>\x7F\x80\xFF"},
  };
  for (const auto& row : table) {
    std::string out;
    AppendDisplayText(out, Bytes(row.text), row.text.size());
    EXPECT_EQ(out, row.shown);
  }
  EXPECT_EQ(ControlMark(0x0A), "<LF>");
  EXPECT_EQ(ControlMark(0x0D), "<CR>");
  EXPECT_EQ(ControlMark(0x1A), "<0x1A>");
}

}  // namespace
}  // namespace qb
