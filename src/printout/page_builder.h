// Puts what the printer prints onto the page being printed: characters
// joined into runs, underlines, bit-image columns, margin marks and where
// each line begins. It keeps a page within a fixed memory budget whatever
// the input does (endless overprinting): past it, items are left out and the
// page says so. Without items wanted (pagination) it only notes whether
// anything was printed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "printout/page_items.h"

namespace qb {

// One character's cell.
struct GlyphBox {
  int32_t x = 0;
  int32_t y = 0;
  int32_t lineTop = 0;
  int32_t advance = 0;
  int32_t cellWidth = 0;
  int32_t height = 0;
  int32_t baseline = 0;
};

// The geometry of a bit image's columns.
struct ImageGeometry {
  int32_t dotPitchX = 0;
  int32_t dotPitchY = 0;
  int32_t dotSize = 0;
  int32_t rows = 0;
};

class PageBuilder {
 public:
  // The memory a page's items may take.
  static constexpr size_t kPageBudget = size_t{16} << 20;

  // Starts an empty page of this size; `keep_items`: whether it holds its
  // items or only notes whether anything was printed.
  void Begin(int32_t width, int32_t height, bool keep_items);
  Page& page() { return page_; }
  // Whether anything was printed on the page.
  bool HasContent() const { return content_; }

  // A line begins here (or goes on from an earlier page); `height` is the
  // extent noted for it until it prints something.
  void BeginLine(const ItemOrigin& origin, int32_t x, int32_t y, int32_t height);

  void AddGlyph(const ItemOrigin& origin, char32_t character, const GlyphBox& box, uint16_t style);
  // Underlines from x0 to x1, joined to the underline before when they meet.
  void AddUnderline(const ItemOrigin& origin, int32_t x0, int32_t x1, int32_t y, int32_t thickness);
  void AddMark(const ItemOrigin& origin, int32_t y, uint8_t command);

  // A bit image from (x, y), at most `max_columns` wide; columns follow
  // through AddImageColumn until CloseImage.
  void OpenImage(const ItemOrigin& origin, int32_t x, int32_t y, const ImageGeometry& geometry,
                 int32_t max_columns);
  // The next column: bit r set is a dot in row r (row 0 on top).
  void AddImageColumn(uint32_t dots);
  void CloseImage();

 private:
  bool keep_items_ = true;
  Page page_;
  bool content_ = false;
  size_t used_ = 0;
  bool line_printed_ = false;  // the last line span has items
  bool image_open_ = false;
  bool image_kept_ = false;
  int32_t image_filled_ = 0;

  // Counts `bytes` against the budget; false (and the page truncated) when
  // they do not fit.
  bool Take(size_t bytes);
  // Widens the last line span to y0..y1.
  void Extend(int32_t y0, int32_t y1);
};

}  // namespace qb
