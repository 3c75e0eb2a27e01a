#include "app/page_printer.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "app/cards/app_settings.h"
#include "document/record_document.h"

namespace {

// Body fonts: normal width 24, condensed width 13, both of height 40.
constexpr double kNormalWidth = 24;
constexpr double kCondensedWidth = 13;
constexpr QFont::Weight kBodyWeight = QFont::Medium;  // 500

}  // namespace

PagePrinter::PagePrinter(qb::RecordDocument& doc, std::function<int64_t()> clock_ms)
    : doc_(doc),
      layout_(std::move(clock_ms)),
      fonts_(kNormalWidth, kCondensedWidth, kBodyWeight),
      header_font_(BandFont()) {}

void PagePrinter::BeginJob() {
  print_date_ = PrintDateNow();
  qb::AppSettings settings;
  options_.scan_printer_esc = settings.ScanPrinterEsc() != 0;
  options_.show_unknown_printer_esc = settings.ShowUnknownPrinterEsc() != 0;
  options_.target = LineTarget::kPrinter;
  layout_.Invalidate();
}

bool PagePrinter::Layout(LayoutProgress* progress) {
  fonts_.Choose(options_.scan_printer_esc);
  return layout_.Compute(doc_, options_, fonts_, PageRectsFor().body, progress);
}

void PagePrinter::MapPage(QPainter& painter, const QRect& drawing) {
  painter.setViewport(drawing.left(), drawing.top(), drawing.width() - 2, drawing.height() - 2);
  painter.setWindow(0, 0, static_cast<int>(kPageWidth), static_cast<int>(kPageHeight));
}

bool PagePrinter::PrintPage(QPainter& painter, int n) {
  int count = layout_.pageCount();
  if (count == -1 || n > count) return false;
  PageRects rects = PageRectsFor();
  painter.setBackgroundMode(Qt::TransparentMode);
  DrawPageHeader(painter, rects.header, header_font_, doc_.comment());
  DrawPageFooter(painter, rects.footer, header_font_, print_date_, doc_.GetFileName(), n,
                 layout_.pageCount());
  if (doc_.GetLastLineIndex() < 0 || count == 0) return false;
  DrawBody(painter, rects.body, n);
  return true;
}

void PagePrinter::DrawBody(QPainter& painter, const QRectF& body, int n) {
  // The font in force where the page starts, as the layout found it.
  fonts_.Choose(options_.scan_printer_esc);
  if (layout_.PageStartsCondensed(n)) fonts_.SelectCondensed();
  QRectF rect = body;
  int end = layout_.PageEndLine(n);
  for (int line = layout_.PageFirstLine(n); line < end; ++line) {
    double height = RenderLine(&painter, rect, doc_, line, options_, fonts_);
    rect.setTop(rect.top() + (height < 0 ? -height : height));
  }
}

PagePrinter::Result PagePrinter::Print(QPagedPaintDevice& device, int from_page, int to_page,
                                       LayoutProgress* progress) {
  if (!Layout(progress)) return Result::kNothing;
  int count = layout_.pageCount();
  int from = std::max(from_page, 1);
  int to = to_page > 0 ? std::min(to_page, count) : count;
  if (count < 1 || from > to) return Result::kNothing;

  QPainter painter;
  if (!painter.begin(&device)) return Result::kStartFailed;
  QRect drawing(0, 0, device.width(), device.height());
  for (int n = from; n <= to; ++n) {
    if (n > from && !device.newPage()) break;
    painter.save();
    MapPage(painter, drawing);
    bool more = PrintPage(painter, n);
    painter.restore();
    if (!more) break;
  }
  painter.end();
  return Result::kPrinted;
}
