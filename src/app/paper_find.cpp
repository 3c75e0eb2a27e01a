#include "app/paper_find.h"

#include <QString>
#include <algorithm>
#include <cmath>

#include "app/paper_painter.h"
#include "base/messages.h"

namespace {

// Blanks put in for a jump of the print head, at most: a jump across the
// page reads as a wide gap, not as a line of blanks.
constexpr int32_t kMaxBlanks = 40;

}  // namespace

std::vector<PaperRow> PaperRows(const qb::Page& page) {
  std::vector<int32_t> order(page.texts.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
  std::stable_sort(order.begin(), order.end(), [&page](int32_t a, int32_t b) {
    const qb::TextRun& ra = page.texts[static_cast<size_t>(a)];
    const qb::TextRun& rb = page.texts[static_cast<size_t>(b)];
    return ra.lineTop != rb.lineTop ? ra.lineTop < rb.lineTop : ra.x < rb.x;
  });

  std::vector<PaperRow> rows;
  int32_t cursor = 0;
  for (int32_t k : order) {
    const qb::TextRun& run = page.texts[static_cast<size_t>(k)];
    if (rows.empty() || rows.back().top != run.lineTop) {
      rows.emplace_back();
      rows.back().top = run.lineTop;
      cursor = INT32_MIN;
    }
    PaperRow& row = rows.back();
    const int32_t advance = std::max(run.advance, 1);
    for (size_t i = 0; i < run.text.size(); ++i) {
      const int32_t x = run.x + static_cast<int32_t>(i) * advance;
      if (cursor != INT32_MIN && x + advance / 2 < cursor) continue;  // printed over
      if (cursor != INT32_MIN && x > cursor) {
        const int32_t blanks = std::min((x - cursor + advance / 2) / advance, kMaxBlanks);
        for (int32_t b = 0; b < blanks; ++b) {
          row.text.push_back(U' ');
          row.run.push_back(-1);
          row.index.push_back(0);
        }
      }
      row.text.push_back(run.text[i]);
      row.run.push_back(k);
      row.index.push_back(static_cast<int32_t>(i));
      cursor = x + advance;
    }
  }

  const std::u32string warning =
      QString::fromUtf8(qb::LoadMessage(qb::msg::kManipulated)).toStdU32String();
  for (const WarningPlace& place : WarningPlaces(page)) {
    PaperRow row;
    row.top = static_cast<int32_t>(place.box.top());
    row.text = warning;
    row.run.assign(warning.size(), -2);
    for (size_t i = 0; i < warning.size(); ++i) row.index.push_back(static_cast<int32_t>(i));
    row.warning = place.box;
    row.warningCell = place.cellWidth;
    rows.push_back(std::move(row));
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const PaperRow& a, const PaperRow& b) { return a.top < b.top; });
  return rows;
}

PaperHit FindInRows(const std::vector<PaperRow>& rows, const std::u32string& text, int row,
                    int from) {
  PaperHit hit;
  if (text.empty()) return hit;
  for (size_t r = static_cast<size_t>(std::max(row, 0)); r < rows.size(); ++r) {
    const size_t start = static_cast<int>(r) == row ? static_cast<size_t>(std::max(from, 0)) : 0;
    if (start > rows[r].text.size()) continue;
    const size_t at = rows[r].text.find(text, start);
    if (at == std::u32string::npos) continue;
    hit.page = 0;
    hit.row = static_cast<int>(r);
    hit.start = static_cast<int>(at);
    hit.length = static_cast<int>(text.size());
    return hit;
  }
  return hit;
}

std::vector<QRectF> HitBoxes(const qb::Page& page, const PaperRow& row, int start, int length) {
  std::vector<QRectF> boxes;
  const int end = std::min(start + length, static_cast<int>(row.text.size()));
  for (int i = std::max(start, 0); i < end; ++i) {
    const int32_t k = row.run[static_cast<size_t>(i)];
    QRectF cell;
    if (k == -2) {
      cell = QRectF(row.warning.left() + row.index[static_cast<size_t>(i)] * row.warningCell,
                    row.warning.top(), row.warningCell, row.warning.height());
    } else if (k >= 0) {
      const qb::TextRun& run = page.texts[static_cast<size_t>(k)];
      cell = QRectF(run.x + row.index[static_cast<size_t>(i)] * run.advance, run.y, run.advance,
                    run.height);
    } else {
      continue;  // a blank between runs: the boxes beside it show the hit
    }
    if (!boxes.empty() && boxes.back().top() == cell.top() &&
        boxes.back().height() == cell.height() && std::abs(boxes.back().right() - cell.left()) < 1)
      boxes.back().setRight(cell.right());
    else
      boxes.push_back(cell);
  }
  return boxes;
}
