#include "app/page_layout.h"

#include <utility>

#include "base/interval_timer.h"
#include "document/printer_codes.h"
#include "document/record_document.h"

namespace {

constexpr double kMarginLeft = 84;
constexpr double kMarginTop = 29;
constexpr double kMarginRight = 42;
constexpr double kMarginBottom = 29;
constexpr double kHeaderOffset = 29;
constexpr double kBandHeight = 120;
constexpr double kBodyGapTop = 40;
constexpr double kBodyGapBottom = 160;

// Whether the condensed slot is the current font.
bool IsCondensed(const LineFonts& fonts) {
  return &fonts.current() == &fonts.condensed();
}

}  // namespace

PageRects PageRectsFor(double width, double height) {
  PageRects r;
  r.page = QRectF(QPointF(kMarginLeft, kMarginTop),
                  QPointF(width - kMarginRight, height - kMarginBottom));
  double header_top = r.page.top() + kHeaderOffset;
  r.header =
      QRectF(QPointF(r.page.left(), header_top), QPointF(r.page.right(), header_top + kBandHeight));
  r.body = QRectF(QPointF(r.page.left(), r.header.bottom() + kBodyGapTop),
                  QPointF(r.page.right(), r.page.bottom() - kBodyGapBottom));
  r.footer = QRectF(QPointF(r.page.left(), r.page.bottom() - kBandHeight), r.page.bottomRight());
  return r;
}

PageLayout::PageLayout(std::function<int64_t()> clock_ms) : clock_(std::move(clock_ms)) {}

bool PageLayout::Compute(qb::RecordDocument& doc, const LineOptions& options, LineFonts& fonts,
                         const QRectF& body, LayoutProgress* progress) {
  if (valid_) return true;
  fonts.SelectNormal();
  // Entry 0 is unused; page 1 starts at line 0.
  page_starts_.assign(2, 0);
  page_condensed_.assign(2, IsCondensed(fonts));
  int last = doc.GetLastLineIndex();
  last_page_bottom_ = body.top();
  if (last < 0) {
    last_line_ = last;
    return true;
  }
  // Form feeds at the end print nothing and make no page.
  while (last >= 0 && doc.LineHoldsCode(last, qb::kCodeFormFeed)) --last;
  last_line_ = last;

  LayoutProgress silent;
  if (progress == nullptr) progress = &silent;
  qb::IntervalTimer timer = clock_ ? qb::IntervalTimer(clock_) : qb::IntervalTimer();
  timer.Start(kProgressIntervalMs);
  progress->Begin(last);

  int page = 1;
  QRectF rect = body;
  for (int line = 0; line <= last; ++line) {
    if (timer.Due()) progress->Update(line, last, page);
    if (progress->Cancelled()) {
      valid_ = false;
      page_count_ = 0;
      page_starts_.resize(2);
      page_condensed_.resize(2);
      return false;
    }
    bool condensed_before = IsCondensed(fonts);
    double height = RenderLine(nullptr, rect, doc, line, options, fonts);
    // Heights grow downward; a consumed form feed moves the top one unit.
    rect.setTop(rect.top() + (height < 0 ? -height : height));
    bool form_feed = height == -1 && line > 0;
    if (rect.top() > body.bottom() || form_feed) {
      ++page;
      page_starts_.push_back(line);
      page_condensed_.push_back(condensed_before);
      // The line that overflowed is the new page's first: it takes its place
      // there, so that the page ends within the body however many rows it
      // wraps to.
      rect = body;
      if (!form_feed) rect.setTop(body.top() + height);
    }
  }
  page_count_ = page;
  last_page_bottom_ = rect.top();
  page_starts_.push_back(last + 1);
  page_condensed_.push_back(false);
  valid_ = true;
  return true;
}

int PageLayout::PageFirstLine(int n) const {
  if (n < 1 || n + 1 >= static_cast<int>(page_starts_.size())) return 0;
  return page_starts_[static_cast<size_t>(n)];
}

int PageLayout::PageEndLine(int n) const {
  if (n < 1 || n + 1 >= static_cast<int>(page_starts_.size())) return 0;
  return page_starts_[static_cast<size_t>(n) + 1];
}

bool PageLayout::PageStartsCondensed(int n) const {
  if (n < 1 || n >= static_cast<int>(page_condensed_.size())) return false;
  return page_condensed_[static_cast<size_t>(n)];
}
