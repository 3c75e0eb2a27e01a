// The printer interpreter: small byte streams against the pages they must
// give (positions, sizes, characters, dots, page breaks), sequences and
// graphics that run on from one line into the next, and what the printer
// skips or marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printout/printer_interpreter.h"
#include "support/printout_pages.h"

namespace qb {
namespace {

using test::PrintPages;

// The printer's first column on an A4 sheet with the default left margin
// (3.5 mm).
constexpr int32_t kLeft = 298;

PrintoutSettings Model(PrinterModel model) {
  PrintoutSettings settings;
  settings.model = model;
  return settings;
}
const PrintoutSettings kNine = Model(PrinterModel::kNinePin);
const PrintoutSettings kTwentyFour = Model(PrinterModel::kTwentyFourPin);

// Where the character Z was printed: its page, its cell and its run.
struct Found {
  int page = -1;
  int32_t x = 0;
  const TextRun* run = nullptr;
};

Found FindZ(const std::vector<Page>& pages) {
  Found found;
  for (size_t p = 0; p < pages.size(); ++p) {
    for (const TextRun& run : pages[p].texts) {
      for (size_t i = 0; i < run.text.size(); ++i) {
        if (run.text[i] == U'Z') {
          found = {static_cast<int>(p), run.x + static_cast<int32_t>(i) * run.advance, &run};
        }
      }
    }
  }
  return found;
}

std::u32string AllText(const std::vector<Page>& pages) {
  std::u32string text;
  for (const Page& page : pages)
    for (const TextRun& run : page.texts) text += run.text;
  return text;
}

TEST(PrintoutInterpreter, CharacterCellsFollowPitchSpacingAndFont) {
  const struct {
    const char* name;
    const PrintoutSettings& settings;
    std::string bytes;
    int32_t x, y, advance, cell, height, baseline;
    uint16_t style;
  } cases[] = {
      {"plain", kNine, "Z", kLeft, 0, 216, 216, 270, 210, 0},
      {"24-pin cell", kTwentyFour, "Z", kLeft, 0, 216, 216, 288, 216, 0},
      {"12 cpi", kNine, "\x1BMZ", kLeft, 0, 180, 180, 270, 210, 0},
      {"15 cpi", kNine, "\x1BgZ", kLeft, 0, 144, 144, 270, 210, 0},
      {"condensed", kNine, "\x0FZ", kLeft, 0, 126, 126, 270, 210, 0},
      {"condensed 12 cpi", kNine, "\x1BM\x0FZ", kLeft, 0, 108, 108, 270, 210, 0},
      {"DC2 ends condensed", kNine, "\x0F\x12Z", kLeft, 0, 216, 216, 270, 210, 0},
      {"SO double width", kNine, "\x0EZ", kLeft, 0, 432, 432, 270, 210, 0},
      {"DC4 ends SO", kNine, "\x0E\x14Z", kLeft, 0, 216, 216, 270, 210, 0},
      {"LF ends SO", kNine, "\x0E\r\nZ", kLeft, 360, 216, 216, 270, 210 + 360, 0},
      {"ESC W stays", kNine, "\x1BW1\r\nZ", kLeft, 360, 432, 432, 270, 210 + 360, 0},
      {"ESC SP", kNine, "\x1B \x05Z", kLeft, 0, 306, 216, 270, 210, 0},
      {"ESC SP doubled", kNine, std::string("\x0E\x1B \x05Z"), kLeft, 0, 612, 432, 270, 210, 0},
      {"double height", kNine, "\x1Bw\x01Z", kLeft, 0, 216, 216, 540, 420, 0},
      {"superscript", kNine, std::string("\x1BS\x00Z", 4), kLeft, 0, 216, 216, 135, 105, 0},
      {"subscript", kNine, "\x1BS\x01Z", kLeft, 135, 216, 216, 135, 240, 0},
      {"ESC T", kNine, "\x1BS\x01\x1BTZ", kLeft, 0, 216, 216, 270, 210, 0},
      {"emphasized", kNine,
       "\x1B"
       "EZ",
       kLeft, 0, 216, 216, 270, 210, kStyleBold},
      {"emphasized off", kNine,
       "\x1B"
       "E\x1B"
       "FZ",
       kLeft, 0, 216, 216, 270, 210, 0},
      {"double strike", kNine, "\x1BGZ", kLeft, 0, 216, 216, 270, 210, kStyleDoubleStrike},
      {"italic", kNine,
       "\x1B"
       "4Z",
       kLeft, 0, 216, 216, 270, 210, kStyleItalic},
      {"master select 12 cpi wide", kNine, "\x1B!\x21Z", kLeft, 0, 360, 360, 270, 210, 0},
      {"master select bold italic", kNine, "\x1B!\x48Z", kLeft, 0, 216, 216, 270, 210,
       kStyleBold | kStyleItalic},
      {"ESC @ resets the font", kNine,
       "\x1B"
       "E\x0E\x1B@Z",
       kLeft, 0, 216, 216, 270, 210, 0},
      {"BS", kNine, "AB\x08Z", kLeft + 216, 0, 216, 216, 270, 210, 0},
      {"default tab", kNine, "\tZ", kLeft + 8 * 216, 0, 216, 216, 270, 210, 0},
      {"set tabs", kNine,
       std::string("\x1B"
                   "D\x03\x05\x00\t\tZ",
                   8),
       kLeft + 5 * 216, 0, 216, 216, 270, 210, 0},
      {"left margin", kNine, "\x1Bl\x05Z", kLeft + 5 * 216, 0, 216, 216, 270, 210, 0},
      {"absolute position", kNine, std::string("\x1B$\x0A\x00Z", 5), kLeft + 360, 0, 216, 216, 270,
       210, 0},
      {"relative position", kNine, std::string("A\x1B\\\x0A\x00Z", 6), kLeft + 216 + 180, 0, 216,
       216, 270, 210, 0},
      {"relative position back", kNine, "A\x1B\\\xF6\xFFZ", kLeft + 216 - 180, 0, 216, 216, 270,
       210, 0},
      {"CR LF", kNine, "A\r\nZ", kLeft, 360, 216, 216, 270, 570, 0},
      {"1/8 inch", kNine,
       "\x1B"
       "0\nZ",
       kLeft, 270, 216, 216, 270, 480, 0},
      {"7/72 inch", kNine,
       "\x1B"
       "1\nZ",
       kLeft, 210, 216, 216, 270, 420, 0},
      {"n/216 inch", kNine,
       "\x1B"
       "3\x1E\nZ",
       kLeft, 300, 216, 216, 270, 510, 0},
      {"n/180 inch", kTwentyFour,
       "\x1B"
       "3\x1E\nZ",
       kLeft, 360, 216, 216, 288, 576, 0},
      {"n/72 inch", kNine,
       "\x1B"
       "A\x0C\nZ",
       kLeft, 360, 216, 216, 270, 570, 0},
      {"n/60 inch", kTwentyFour,
       "\x1B"
       "A\x0C\nZ",
       kLeft, 432, 216, 216, 288, 648, 0},
      {"n/360 inch", kTwentyFour, "\x1B+\x3C\nZ", kLeft, 360, 216, 216, 288, 576, 0},
      {"ESC J feeds without CR", kNine, "A\x1BJ\x64Z", kLeft + 216, 1000, 216, 216, 270, 1210, 0},
      {"ESC J on 24 pins", kTwentyFour, "A\x1BJ\x64Z", kLeft + 216, 1200, 216, 216, 288, 1416, 0},
      {"reverse feed", kNine, "\n\n\x1Bj\x24Z", kLeft, 360, 216, 216, 270, 570, 0},
      {"full line wraps", kNine,
       "\x1BQ\x05"
       "ABCDEZ",
       kLeft, 360, 216, 216, 270, 570, 0},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    std::vector<Page> pages = PrintPages({row.bytes}, row.settings);
    Found z = FindZ(pages);
    ASSERT_EQ(z.page, 0);
    EXPECT_EQ(z.x, row.x);
    EXPECT_EQ(z.run->y, row.y);
    EXPECT_EQ(z.run->advance, row.advance);
    EXPECT_EQ(z.run->cellWidth, row.cell);
    EXPECT_EQ(z.run->height, row.height);
    EXPECT_EQ(z.run->baseline, row.baseline);
    EXPECT_EQ(z.run->style, row.style);
  }
}

TEST(PrintoutInterpreter, CharacterTablesAndSetsFromSettingsAndCommands) {
  auto with_table = [](CharacterTable table) {
    PrintoutSettings settings;
    settings.table = table;
    return settings;
  };
  const struct {
    const char* name;
    PrintoutSettings settings;
    std::string bytes;
    std::u32string text;
  } cases[] = {
      {"437 umlauts", {}, "\x84\x94\x81\x8E\x99\x9A\xE1\xE6\xF1", U"äöüÄÖÜßµ±"},
      {"850", with_table(CharacterTable::kCp850), "\x84\x9B\x9D\xE6", U"äøØµ"},
      {"852", with_table(CharacterTable::kCp852), "\xA5\x88\x9F", U"ąłč"},
      {"858 euro", with_table(CharacterTable::kCp858), "\xD5", U"€"},
      {"1252", with_table(CharacterTable::kCp1252), "\x80\xE4\x81", U"€ä"},
      {"Latin-1", with_table(CharacterTable::kLatin1), "\x80\xE4\xB5", U"äµ"},
      {"Germany", {}, "\x1BR\x02[\\]{|}~@#", U"ÄÖÜäöüß§#"},
      {"unknown set ignored", {}, "\x1BR\x63[", U"["},
      {"italic table", {}, std::string("\x1Bt\x00\xC1\x81", 5), U"A"},
      {"850 assigned", {}, std::string("\x1B(t\x03\x00\x01\x03\x00\x9B", 9), U"ø"},
      {"upper controls",
       {},
       "\x1B"
       "7\x81Z\x1B"
       "6\x81",
       U"Zü"},
      {"MSB set", {}, "\x1B>A", U"┴"},
      {"MSB cleared", {}, "\x1B=\xC1\x1B#\xC1", U"A┴"},
      {"DEL prints nothing", {}, "A\x7F", U"A"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(AllText(PrintPages({row.bytes}, row.settings)), row.text);
  }
  std::vector<Page> italic = PrintPages({std::string("\x1Bt\x00\xC1", 4)});
  ASSERT_EQ(italic[0].texts.size(), 1u);
  EXPECT_EQ(italic[0].texts[0].style, kStyleItalic);
}

TEST(PrintoutInterpreter, BitImagesHaveTheirDensitiesAndDots) {
  const std::string eight = "\x80\x01";  // top dot, bottom dot
  const std::string twenty_four = std::string("\x80\x00\x00\x00\x00\x01", 6);  // rows 0 and 23
  const std::string nine = std::string("\x80\x00\x00\x80", 4);                 // rows 0 and 8
  auto star = [](int mode, const std::string& data) {
    return std::string("\x1B*") + static_cast<char>(mode) + std::string("\x02\x00", 2) + data;
  };
  const struct {
    const char* name;
    const PrintoutSettings& settings;
    std::string bytes;
    int32_t pitch_x, pitch_y, rows;
  } cases[] = {
      {"ESC K", kNine, std::string("\x1BK\x02\x00", 4) + eight, 36, 30, 8},
      {"ESC L", kNine, std::string("\x1BL\x02\x00", 4) + eight, 18, 30, 8},
      {"ESC Y", kNine, std::string("\x1BY\x02\x00", 4) + eight, 18, 30, 8},
      {"ESC Z", kNine, std::string("\x1BZ\x02\x00", 4) + eight, 9, 30, 8},
      {"ESC * 0", kNine, star(0, eight), 36, 30, 8},
      {"ESC * 1", kNine, star(1, eight), 18, 30, 8},
      {"ESC * 2", kNine, star(2, eight), 18, 30, 8},
      {"ESC * 3", kNine, star(3, eight), 9, 30, 8},
      {"ESC * 4 (80 dpi)", kNine, star(4, eight), 27, 30, 8},
      {"ESC * 5 (72 dpi)", kNine, star(5, eight), 30, 30, 8},
      {"ESC * 6 (90 dpi)", kNine, star(6, eight), 24, 30, 8},
      {"ESC * 7 (144 dpi)", kNine, star(7, eight), 15, 30, 8},
      {"8-dot on 24 pins", kTwentyFour, star(0, eight), 36, 36, 8},
      {"ESC * 32", kTwentyFour, star(32, twenty_four), 36, 12, 24},
      {"ESC * 33", kTwentyFour, star(33, twenty_four), 18, 12, 24},
      {"ESC * 38", kTwentyFour, star(38, twenty_four), 24, 12, 24},
      {"ESC * 39", kTwentyFour, star(39, twenty_four), 12, 12, 24},
      {"ESC * 40", kTwentyFour, star(40, twenty_four), 6, 12, 24},
      {"ESC ^ 0", kNine, std::string("\x1B^\x00\x02\x00", 5) + nine, 36, 30, 9},
      {"ESC ^ 1", kNine, std::string("\x1B^\x01\x02\x00", 5) + nine, 18, 30, 9},
      {"ESC ? reassigns K", kNine, std::string("\x1B?K\x01\x1BK\x02\x00", 8) + eight, 18, 30, 8},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    std::vector<Page> pages = PrintPages({row.bytes + "Z"}, row.settings);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].images.size(), 1u);
    const BitImage& image = pages[0].images[0];
    EXPECT_EQ(image.x, kLeft);
    EXPECT_EQ(image.y, 0);
    EXPECT_EQ(image.dotPitchX, row.pitch_x);
    EXPECT_EQ(image.dotPitchY, row.pitch_y);
    EXPECT_EQ(image.rows, row.rows);
    EXPECT_EQ(image.columns, 2);
    EXPECT_EQ(image.stride % 4, 0);
    int dots = 0;
    for (int32_t c = 0; c < image.columns; ++c)
      for (int32_t r = 0; r < image.rows; ++r) dots += image.Dot(c, r);
    EXPECT_EQ(dots, 2);
    EXPECT_TRUE(image.Dot(0, 0));
    EXPECT_TRUE(image.Dot(1, row.rows - 1));
    // The print position moves on by the columns printed.
    EXPECT_EQ(FindZ(pages).x, kLeft + 2 * row.pitch_x);
  }
}

TEST(PrintoutInterpreter, BitImagesOutsideTheModelOrTheMarginAreNotDrawn) {
  // Modes the model has not are skipped with their data; a mode the family
  // does not define is marked.
  std::vector<Page> pages =
      PrintPages({std::string("\x1B*\x27\x02\x00", 5) + std::string(6, '\xFF') + "Z"});
  EXPECT_TRUE(pages[0].images.empty());
  EXPECT_TRUE(pages[0].marks.empty());
  EXPECT_EQ(FindZ(pages).x, kLeft);
  pages =
      PrintPages({std::string("\x1B^\x00\x02\x00", 5) + std::string(4, '\xFF') + "Z"}, kTwentyFour);
  EXPECT_TRUE(pages[0].images.empty());
  EXPECT_EQ(AllText(pages), U"Z");
  pages = PrintPages({std::string("\x1B*\x14\x02\x00Z", 6)});
  ASSERT_EQ(pages[0].marks.size(), 1u);
  EXPECT_EQ(pages[0].marks[0].command, '*');

  // Columns right of the right margin are dropped; the next character then
  // starts a new line.
  pages =
      PrintPages({std::string("\x1B$\xDA\x01\x1BK\x0A\x00", 8) + std::string(10, '\xFF') + "Z"});
  ASSERT_EQ(pages[0].images.size(), 1u);
  EXPECT_EQ(pages[0].images[0].x, kLeft + 474 * 36);
  EXPECT_EQ(pages[0].images[0].columns, 6);
  EXPECT_EQ(FindZ(pages).x, kLeft);
  EXPECT_EQ(FindZ(pages).run->y, 360);
}

TEST(PrintoutInterpreter, AGraphicSpanningRecordsKeepsEachPartsLine) {
  // Four columns over two lines, the second manipulated: two images side by
  // side, each with its line, and the line spans of the page say so.
  test::MemoryPrintout source(
      {{std::string("\x1BK\x04\x00\xFF\xFF", 6), false}, {"\xFF\xFF", true}, {"\r\nZ", false}});
  std::vector<Page> pages = PrintPages(source);
  ASSERT_EQ(pages.size(), 1u);
  const Page& page = pages[0];
  ASSERT_EQ(page.images.size(), 2u);
  EXPECT_EQ(page.images[0].origin.line, 0);
  EXPECT_FALSE(page.images[0].origin.manipulated);
  EXPECT_EQ(page.images[1].origin.line, 1);
  EXPECT_TRUE(page.images[1].origin.manipulated);
  EXPECT_EQ(page.images[1].x, page.images[0].x + 2 * 36);
  EXPECT_EQ(page.images[0].columns, 2);
  EXPECT_EQ(page.images[1].columns, 2);
  ASSERT_EQ(page.lines.size(), 3u);
  EXPECT_TRUE(page.lines[1].origin.manipulated);
  EXPECT_EQ(page.lines[1].anchorX, kLeft + 2 * 36);
  EXPECT_EQ(page.lines[1].top, 0);
  EXPECT_EQ(page.lines[1].bottom, 240);
  EXPECT_EQ(page.lines[2].top, 360);
  EXPECT_EQ(FindZ(pages).run->origin.line, 2);

  // A 24-dot column whose bytes straddle two lines belongs to the line that
  // completes it.
  pages = PrintPages({std::string("\x1B*\x27\x01\x00\xFF\xFF", 7), "\xFF"}, kTwentyFour);
  ASSERT_EQ(pages[0].images.size(), 1u);
  EXPECT_EQ(pages[0].images[0].origin.line, 1);
}

TEST(PrintoutInterpreter, SequencesRunOnAcrossLines) {
  std::vector<Page> pages = PrintPages({"A\x1B", "J", "\x64Z"});
  Found z = FindZ(pages);
  EXPECT_EQ(z.x, kLeft + 216);
  EXPECT_EQ(z.run->y, 1000);
  EXPECT_EQ(z.run->origin.line, 2);
}

TEST(PrintoutInterpreter, UndefinedSequencesAreMarkedDefinedOnesSkipped) {
  const struct {
    const char* name;
    const PrintoutSettings& settings;
    std::string bytes;
    std::vector<uint8_t> marks;
  } cases[] = {
      {"undefined letter", kNine, "\x1ByZ", {'y'}},
      {"control code after ESC still works", kNine, "AB\x1B\rZ", {'\r'}},
      {"ESC ( with its length",
       kNine,
       std::string("\x1B(q\x03\x00"
                   "abcZ",
                   9),
       {}},
      {"downloaded characters, 9 pins",
       kNine,
       std::string("\x1B&\x00\x41\x42", 5) + std::string(24, 'x') + "Z",
       {}},
      {"downloaded characters, 24 pins",
       kTwentyFour,
       std::string("\x1B&\x00\x41\x41\x00\x02\x00", 8) + std::string(6, 'x') + "Z",
       {}},
      {"raster graphics", kNine, std::string("\x1B.\x00\x0A\x0A\x01\x10\x00xxZ", 12), {'.'}},
      {"compressed raster graphics",
       kNine,
       std::string("\x1B.\x01\x0A\x0A\x01\x10\x00\xFFxZ", 12),
       {'.'}},
      {"quality, typeface, proportional", kNine, "\x1Bx\x01\x1Bk\x01\x1Bp\x01Z", {}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    std::vector<Page> pages = PrintPages({row.bytes}, row.settings);
    ASSERT_EQ(pages.size(), 1u);
    std::vector<uint8_t> marks;
    for (const MarginMark& mark : pages[0].marks) marks.push_back(mark.command);
    EXPECT_EQ(marks, row.marks);
    Found z = FindZ(pages);
    EXPECT_EQ(z.x, kLeft);
    EXPECT_EQ(z.run->text.front(), U'Z');
  }
}

TEST(PrintoutInterpreter, PagesBreakAtFormFeedsPageLengthAndMargins) {
  const std::string lf71(71, '\n');
  const struct {
    const char* name;
    std::string bytes;
    size_t pages;
    int z_page;
    int32_t z_y;
    PageEnd first_end;
    int32_t z_page_height;
  } cases[] = {
      {"form feed", "A\fZ", 2, 1, 0, PageEnd::kFormFeed, 25257},
      {"paper runs on past A4", "A" + lf71 + "Z", 2, 1, 71 * 360 - 25257, PageEnd::kOverflow,
       25257},
      {"page length in lines",
       "\x1B"
       "C\x0A"
       "A" +
           std::string(10, '\n') + "Z",
       2, 1, 0, PageEnd::kOverflow, 3600},
      {"page length in inches",
       std::string("\x1B"
                   "C\x00\x02"
                   "A",
                   5) +
           std::string(12, '\n') + "Z",
       2, 1, 0, PageEnd::kOverflow, 4320},
      {"page length sets the top of the page below what was printed",
       "A\r\n\x1B"
       "C\x0A" +
           std::string(10, '\n') + "Z",
       3, 2, 0, PageEnd::kOverflow, 3600},
      {"page length sets the top of the page after bare feeds",
       "\r\n\r\n\x1B"
       "C\x0AZ",
       1, 0, 0, PageEnd::kRecordingEnd, 3600},
      {"page length beyond 127 lines ignored",
       "\x1B"
       "C\x80"
       "A" +
           lf71 + "Z",
       2, 1, 71 * 360 - 25257, PageEnd::kOverflow, 25257},
      {"skip over perforation",
       "\x1B"
       "C\x0A\x1BN\x02"
       "A" +
           std::string(8, '\n') + "Z",
       2, 1, 0, PageEnd::kOverflow, 3600},
      {"vertical tabs",
       std::string("\x1B"
                   "B\x03\x06\x00\x0B\x0BZ",
                   8),
       1, 0, 2160, PageEnd::kRecordingEnd, 25257},
      {"vertical tab past the last",
       std::string("\x1B"
                   "B\x03\x06\x00\x0B\x0B\x0BZ",
                   9),
       2, 1, 0, PageEnd::kFormFeed, 25257},
      {"vertical tab without tabs", "\x0BZ", 1, 0, 360, PageEnd::kRecordingEnd, 25257},
      {"one feed across many short pages",
       "\x1B"
       "C\x01"
       "A\x1B"
       "A\xFF\nZ",
       22, 21, 90, PageEnd::kOverflow, 360},
      {"ESC @ restores the page length",
       "\x1B"
       "C\x0A\x1B@A" +
           std::string(10, '\n') + "Z",
       1, 0, 3600, PageEnd::kRecordingEnd, 25257},
      {"unit, page length and margins in units",
       std::string("\x1B(U\x01\x00\x0A\x1B(C\x02\x00\x68\x01\x1B(c\x04\x00\x48\x00\x20\x01"
                   "A\n\n\n\nZ",
                   28),
       2, 1, 432, PageEnd::kOverflow, 2160},
      {"absolute vertical position", std::string("\x1B(V\x02\x00\xB4\x00Z", 8), 1, 0, 1080,
       PageEnd::kRecordingEnd, 25257},
      {"relative vertical position back", std::string("\n\n\n\x1B(v\x02\x00\x4C\xFFZ", 11), 1, 0, 0,
       PageEnd::kRecordingEnd, 25257},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    std::vector<Page> pages = PrintPages({row.bytes});
    ASSERT_EQ(pages.size(), row.pages);
    Found z = FindZ(pages);
    EXPECT_EQ(z.page, row.z_page);
    ASSERT_NE(z.run, nullptr);
    EXPECT_EQ(z.run->y, row.z_y);
    EXPECT_EQ(pages[0].end, row.first_end);
    EXPECT_EQ(pages.back().end, PageEnd::kRecordingEnd);
    EXPECT_EQ(pages[static_cast<size_t>(z.page)].height, row.z_page_height);
    for (size_t p = 1; p + 1 < pages.size(); ++p) EXPECT_TRUE(pages[p].Empty()) << p;
  }
  // The page ended by a new top of the page is as long as the paper it took.
  EXPECT_EQ(PrintPages({"A\r\n\x1B"
                        "C\x0A"
                        "B"})[0]
                .height,
            360);
  // Paper sizes.
  PrintoutSettings fanfold;
  fanfold.paper = Paper::kFanfold12;
  std::vector<Page> pages = PrintPages({"A"}, fanfold);
  EXPECT_EQ(pages[0].width, 20409);
  EXPECT_EQ(pages[0].height, 25920);
  // A recording that prints nothing has no pages; a form feed ejects one.
  EXPECT_TRUE(PrintPages({"\x1B@\r\n"}).empty());
  EXPECT_EQ(PrintPages({"\f"}).size(), 1u);
}

TEST(PrintoutInterpreter, UnderlineAndMarksSitAtTheirLine) {
  std::vector<Page> pages = PrintPages({"\x1B-1AB\x1B-0C", "\r\n\x1B\x7F"});
  ASSERT_EQ(pages[0].rules.size(), 1u);
  const Rule& rule = pages[0].rules[0];
  EXPECT_EQ(rule.x0, kLeft);
  EXPECT_EQ(rule.x1, kLeft + 2 * 216);
  EXPECT_EQ(rule.y, 255);
  EXPECT_EQ(rule.thickness, 30);
  ASSERT_EQ(pages[0].marks.size(), 1u);
  EXPECT_EQ(pages[0].marks[0].y, 360);
  EXPECT_EQ(pages[0].marks[0].origin.line, 1);
}

TEST(PrintoutInterpreter, EndlessOverprintingStaysWithinThePageBudget) {
  std::string overprint;
  for (int i = 0; i < 250000; ++i) overprint += "A\r";
  std::vector<Page> pages = PrintPages({overprint, "\nZ"});
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0].truncated);
  EXPECT_LT(pages[0].texts.size() * sizeof(TextRun), PageBuilder::kPageBudget);
}

}  // namespace
}  // namespace qb
