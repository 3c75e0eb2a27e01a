// The page layout of a printed document: the bands of an A4 page and the
// pass that breaks the document's lines into pages (on overflow of the body
// and on form-feed lines), measuring each line with the same one-line rule
// the screen uses, with progress and Cancel.
//
// Geometry is in 0.1 mm units with y growing downward, origin at the top-left
// of the page as mapped onto the printable area (see line_renderer.h).
#pragma once

#include <QRectF>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/line_renderer.h"

namespace qb {
class RecordDocument;
}

// The A4 page in logical units.
inline constexpr double kPageWidth = 2100;
inline constexpr double kPageHeight = 2970;

// The page rectangle (within the margins) and its three bands.
struct PageRects {
  QRectF page;
  QRectF header;
  QRectF body;
  QRectF footer;
};

// The rectangles of a page of the given size (the window of the page
// mapping): margins left 84, top 29, right 42, bottom 29; header 29 below the
// page's top, 120 high; body from 40 below the header to 160 above the
// page's bottom; footer the last 120 of the page.
PageRects PageRectsFor(double width = kPageWidth, double height = kPageHeight);

// What the layout shows while it runs and where it learns of a Cancel.
class LayoutProgress {
 public:
  virtual ~LayoutProgress() = default;
  // The pass starts over lines 0 to `last_line`.
  virtual void Begin(int last_line) { (void)last_line; }
  // Every 500 ms: the line reached and the page it is on.
  virtual void Update(int line, int last_line, int page) {
    (void)line;
    (void)last_line;
    (void)page;
  }
  // Asked after every line; true ends the pass.
  virtual bool Cancelled() { return false; }
};

class PageLayout {
 public:
  static constexpr int64_t kProgressIntervalMs = 500;

  // The clock in milliseconds that paces the progress (the monotonic clock
  // when empty).
  explicit PageLayout(std::function<int64_t()> clock_ms = {});

  // Lays the document out unless the layout is valid already. Trailing lines
  // whose leading codes hold a form feed are left out. A page breaks before
  // a line whose bottom would pass the body's bottom (the line then counts
  // on the new page) and before a consumed form-feed line (other than line
  // 0). `fonts` must have
  // been chosen; the pass switches them as the lines do. Returns false when
  // the user cancelled: the layout then has 0 pages and stays stale. A
  // document without lines leaves the page count as it was.
  bool Compute(qb::RecordDocument& doc, const LineOptions& options, LineFonts& fonts,
               const QRectF& body, LayoutProgress* progress = nullptr);

  bool valid() const { return valid_; }
  void Invalidate() { valid_ = false; }

  // Pages of the last completed layout; -1 until one completes, 0 after a
  // cancel.
  int pageCount() const { return page_count_; }
  // The last line laid out (the document's last line without the trailing
  // form-feed lines); -1 when none.
  int lastLine() const { return last_line_; }
  // Entry k (from 1) is the first line of page k; entry pageCount + 1 is one
  // past the last line laid out. Entry 0 is unused.
  const std::vector<int32_t>& pageStarts() const { return page_starts_; }
  // The first line of page n and one past its last line.
  int PageFirstLine(int n) const;
  int PageEndLine(int n) const;
  // Whether the condensed font is current where page n starts, as the pass
  // found it.
  bool PageStartsCondensed(int n) const;
  // Where the last page's last line ends.
  double lastPageBottom() const { return last_page_bottom_; }

 private:
  std::function<int64_t()> clock_;
  bool valid_ = false;
  int page_count_ = -1;
  int last_line_ = -1;
  double last_page_bottom_ = 0;
  std::vector<int32_t> page_starts_;
  std::vector<bool> page_condensed_;
};
