#include "printout/page_builder.h"

#include <algorithm>
#include <cstring>

namespace qb {

void PageBuilder::Begin(int32_t width, int32_t height, bool keep_items) {
  keep_items_ = keep_items;
  page_.Clear();
  page_.width = width;
  page_.height = height;
  content_ = false;
  used_ = 0;
  line_printed_ = false;
  image_open_ = false;
  image_kept_ = false;
}

bool PageBuilder::Take(size_t bytes) {
  if (used_ + bytes > kPageBudget) {
    page_.truncated = true;
    return false;
  }
  used_ += bytes;
  return true;
}

void PageBuilder::Extend(int32_t y0, int32_t y1) {
  if (page_.lines.empty()) return;
  LineSpan& span = page_.lines.back();
  if (!line_printed_) {
    span.top = y0;
    span.bottom = y1;
    line_printed_ = true;
    return;
  }
  span.top = std::min(span.top, y0);
  span.bottom = std::max(span.bottom, y1);
}

void PageBuilder::BeginLine(const ItemOrigin& origin, int32_t x, int32_t y, int32_t height) {
  if (!keep_items_ || !Take(sizeof(LineSpan))) return;
  page_.lines.push_back({origin, x, y, y, y + height});
  line_printed_ = false;
}

void PageBuilder::AddGlyph(const ItemOrigin& origin, char32_t character, const GlyphBox& box,
                           uint16_t style) {
  content_ = true;
  if (!keep_items_) return;
  if (!page_.texts.empty()) {
    TextRun& run = page_.texts.back();
    if (run.origin.line == origin.line && run.y == box.y && run.lineTop == box.lineTop &&
        run.advance == box.advance && run.cellWidth == box.cellWidth && run.height == box.height &&
        run.baseline == box.baseline && run.style == style && run.x + run.Width() == box.x) {
      if (!Take(sizeof(char32_t))) return;
      run.text.push_back(character);
      Extend(box.y, box.y + box.height);
      return;
    }
  }
  if (!Take(sizeof(TextRun) + sizeof(char32_t))) return;
  TextRun run;
  run.origin = origin;
  run.x = box.x;
  run.y = box.y;
  run.lineTop = box.lineTop;
  run.advance = box.advance;
  run.cellWidth = box.cellWidth;
  run.height = box.height;
  run.baseline = box.baseline;
  run.style = style;
  run.text.push_back(character);
  page_.texts.push_back(std::move(run));
  Extend(box.y, box.y + box.height);
}

void PageBuilder::AddUnderline(const ItemOrigin& origin, int32_t x0, int32_t x1, int32_t y,
                               int32_t thickness) {
  content_ = true;
  if (!keep_items_) return;
  if (!page_.rules.empty()) {
    Rule& rule = page_.rules.back();
    if (rule.origin.line == origin.line && rule.y == y && rule.thickness == thickness &&
        rule.x1 == x0) {
      rule.x1 = x1;
      return;
    }
  }
  if (!Take(sizeof(Rule))) return;
  page_.rules.push_back({origin, x0, x1, y, thickness});
  Extend(y - thickness / 2, y + thickness - thickness / 2);
}

void PageBuilder::AddMark(const ItemOrigin& origin, int32_t y, uint8_t command) {
  content_ = true;
  if (!keep_items_ || !Take(sizeof(MarginMark))) return;
  page_.marks.push_back({origin, y, command});
}

void PageBuilder::OpenImage(const ItemOrigin& origin, int32_t x, int32_t y,
                            const ImageGeometry& geometry, int32_t max_columns) {
  image_open_ = true;
  image_kept_ = false;
  image_filled_ = 0;
  if (!keep_items_ || max_columns <= 0) return;
  const int32_t stride = ((max_columns + 7) / 8 + 3) / 4 * 4;
  const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(geometry.rows);
  if (!Take(sizeof(BitImage) + bytes)) return;
  BitImage image;
  image.origin = origin;
  image.x = x;
  image.y = y;
  image.dotPitchX = geometry.dotPitchX;
  image.dotPitchY = geometry.dotPitchY;
  image.dotSize = geometry.dotSize;
  image.columns = max_columns;
  image.rows = geometry.rows;
  image.stride = stride;
  image.bits.assign(bytes, 0);
  page_.images.push_back(std::move(image));
  image_kept_ = true;
}

void PageBuilder::AddImageColumn(uint32_t dots) {
  if (!image_open_) return;
  if (!image_kept_) {
    content_ = content_ || dots != 0;
    ++image_filled_;
    return;
  }
  BitImage& image = page_.images.back();
  if (image_filled_ >= image.columns) return;
  const int32_t column = image_filled_++;
  if (dots == 0) return;
  content_ = true;
  const uint8_t bit = static_cast<uint8_t>(0x80u >> (column % 8));
  for (int32_t row = 0; row < image.rows; ++row) {
    if ((dots >> row) & 1u) {
      image.bits[static_cast<size_t>(row) * static_cast<size_t>(image.stride) +
                 static_cast<size_t>(column / 8)] |= bit;
    }
  }
}

void PageBuilder::CloseImage() {
  if (!image_open_) return;
  image_open_ = false;
  if (!image_kept_) return;
  image_kept_ = false;
  BitImage& image = page_.images.back();
  bool any = false;
  for (uint8_t byte : image.bits) any = any || byte != 0;
  if (image_filled_ == 0 || !any) {
    // Blank columns print nothing: no item for them.
    used_ -= sizeof(BitImage) + image.bits.size();
    page_.images.pop_back();
    return;
  }
  // Keep only the columns that came, in rows of the stride they need.
  const int32_t stride = ((image_filled_ + 7) / 8 + 3) / 4 * 4;
  if (stride < image.stride) {
    for (int32_t row = 1; row < image.rows; ++row) {
      std::memmove(image.bits.data() + static_cast<size_t>(row) * static_cast<size_t>(stride),
                   image.bits.data() + static_cast<size_t>(row) * static_cast<size_t>(image.stride),
                   static_cast<size_t>(stride));
    }
    used_ -= image.bits.size();
    image.bits.resize(static_cast<size_t>(stride) * static_cast<size_t>(image.rows));
    image.bits.shrink_to_fit();
    used_ += image.bits.size();
    image.stride = stride;
  }
  image.columns = image_filled_;
  Extend(image.y, image.y + image.Height());
}

}  // namespace qb
