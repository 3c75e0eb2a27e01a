// Find on the printed page: each print line of a page read as one row of
// characters, the way it reads on paper (its text runs from the left,
// blanks where the print head jumped, a character printed over another
// left out), and the warning of a manipulated record as a row of its own,
// so that Find in the paper view finds what the page shows and can mark
// where.
#pragma once

#include <QRectF>
#include <cstdint>
#include <string>
#include <vector>

#include "printout/page_items.h"

struct PaperRow {
  int32_t top = 0;
  std::u32string text;
  // Per character: the text run (index in the page's texts) and the
  // character in it; run -1 for a blank between runs, -2 for a character
  // of a warning (`index` is then its cell in the warning).
  std::vector<int32_t> run;
  std::vector<int32_t> index;
  QRectF warning;  // the warning's box, for a warning row
  int32_t warningCell = 0;
};

// The rows of a page, from the top.
std::vector<PaperRow> PaperRows(const qb::Page& page);

// A hit: characters [start, start + length) of a row of a page.
struct PaperHit {
  int page = -1;
  int row = 0;
  int start = 0;
  int length = 0;
  bool found() const { return page >= 0; }
};

// The first hit of `text` in the rows at or after row `row`, character
// `from` (case-sensitive); page stays -1 when there is none.
PaperHit FindInRows(const std::vector<PaperRow>& rows, const std::u32string& text, int row,
                    int from);

// The cells of a hit, in page units: one rectangle per run it touches.
std::vector<QRectF> HitBoxes(const qb::Page& page, const PaperRow& row, int start, int length);
