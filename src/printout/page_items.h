// A printout page as the printer put it on paper: text runs, bit images,
// rules (underlines) and margin marks at their positions, each tied to the
// line (data record) whose bytes made it. Positions are in units of 1/2160
// inch (printout_units.h) from the sheet's top-left corner, y downwards; the
// printer's first column lies the settings' left margin from the left edge.
//
// Drawing: a text run is fixed-pitch text, one character every `advance`
// units, each in a cell `cellWidth` wide and `height` high from `y`, on the
// baseline `baseline`; a monospace font sized to the cell height and
// stretched to the cell width draws it, and a PDF keeps it as text. A bit
// image is a 1-bit raster of dots, one pixel per dot, placed on the
// rectangle x, y, columns * dotPitchX, rows * dotPitchY; a PDF carries it as
// one image at that resolution, a screen may draw round dots of `dotSize`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// The line whose bytes made an item. A manipulated line (its record fails
// its check) was interpreted all the same; everything it made is marked.
struct ItemOrigin {
  int line = -1;
  bool manipulated = false;
};

// Text style bits.
constexpr uint16_t kStyleBold = 1;          // emphasized
constexpr uint16_t kStyleDoubleStrike = 2;  // each dot struck twice: a little heavier
constexpr uint16_t kStyleItalic = 4;

struct TextRun {
  ItemOrigin origin;
  int32_t x = 0;          // left edge of the first character's cell
  int32_t y = 0;          // top of the cells
  int32_t lineTop = 0;    // the print line's top: y, but for subscripts (which sit lower)
  int32_t advance = 0;    // from one character to the next (cell width plus gap)
  int32_t cellWidth = 0;  // width of one character (double width included)
  int32_t height = 0;     // height of the cells (double height, super- and subscript included)
  int32_t baseline = 0;   // y of the baseline
  uint16_t style = 0;
  std::u32string text;  // the characters after the character table

  int32_t Width() const { return static_cast<int32_t>(text.size()) * advance; }
};

struct BitImage {
  ItemOrigin origin;
  int32_t x = 0;  // left edge of the first dot column
  int32_t y = 0;  // top edge of the first dot row
  int32_t dotPitchX = 0;
  int32_t dotPitchY = 0;
  int32_t dotSize = 0;  // diameter of one printed dot
  int32_t columns = 0;
  int32_t rows = 0;  // 8, 9 or 24
  // Row-major, one bit per dot, the leftmost dot in a byte's highest bit;
  // each row takes `stride` bytes (a multiple of 4).
  int32_t stride = 0;
  std::vector<uint8_t> bits;

  bool Dot(int32_t column, int32_t row) const {
    return (bits[static_cast<size_t>(row) * static_cast<size_t>(stride) +
                 static_cast<size_t>(column / 8)] >>
            (7 - column % 8)) &
           1;
  }
  int32_t Width() const { return columns * dotPitchX; }
  int32_t Height() const { return rows * dotPitchY; }
};

// A horizontal line: the underline of text.
struct Rule {
  ItemOrigin origin;
  int32_t x0 = 0;
  int32_t x1 = 0;
  int32_t y = 0;  // centre of the line
  int32_t thickness = 0;
};

// An escape sequence the printer family does not define, noted in the left
// margin at the height where it came: ESC and the byte after it.
struct MarginMark {
  ItemOrigin origin;
  int32_t y = 0;
  uint8_t command = 0;
};

// Where a line is on the page: the print position where its first byte was
// read (or where the page begins, for a line that began on an earlier one)
// and the vertical extent of what it printed here (the anchor's line height
// when nothing).
struct LineSpan {
  ItemOrigin origin;
  int32_t anchorX = 0;
  int32_t anchorY = 0;
  int32_t top = 0;
  int32_t bottom = 0;
};

// How a page ended.
enum class PageEnd : uint8_t {
  kFormFeed,     // FF (or a vertical tab past the last stop)
  kOverflow,     // the paper ran on past the page's end (or skipped its perforation)
  kRecordingEnd  // the recording ended on it
};

struct Page {
  PageEnd end = PageEnd::kRecordingEnd;
  int32_t width = 0;
  // The page length in force when the page ended (the paper it took when a
  // new page length set the top of the page below what was printed).
  int32_t height = 0;
  std::vector<TextRun> texts;
  std::vector<BitImage> images;
  std::vector<Rule> rules;
  std::vector<MarginMark> marks;
  std::vector<LineSpan> lines;  // in line order
  // The page held more than a page may keep (overprinting without end):
  // what came after the limit is left out.
  bool truncated = false;

  void Clear() {
    end = PageEnd::kRecordingEnd;
    texts.clear();
    images.clear();
    rules.clear();
    marks.clear();
    lines.clear();
    truncated = false;
  }
  bool Empty() const { return texts.empty() && images.empty() && rules.empty() && marks.empty(); }
};

}  // namespace qb
