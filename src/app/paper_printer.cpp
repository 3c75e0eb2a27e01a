#include "app/paper_printer.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>

#include "app/cards/app_settings.h"
#include "app/integrity_summary.h"
#include "app/page_layout.h"
#include "app/page_printer.h"
#include "base/interval_timer.h"
#include "document/record_document.h"
#include "printout/printout_units.h"

namespace {

// Page units (1/2160 inch) in units of 0.1 mm.
constexpr double kTenthsPerUnit = 254.0 / qb::kUnitsPerInch;
constexpr int64_t kProgressIntervalMs = 500;
const QColor kSheetEdge(190, 190, 190);

}  // namespace

PaperPrinter::PaperPrinter(qb::RecordDocument& doc)
    : doc_(doc), source_(doc), band_font_(PageBandFont()) {}

PaperPrinter::PaperPrinter(qb::RecordDocument& doc, const qb::PrintoutSettings& settings)
    : doc_(doc),
      fixed_settings_(true),
      settings_(settings),
      source_(doc),
      band_font_(PageBandFont()) {}

void PaperPrinter::BeginJob() {
  print_date_ = PrintDateNow();
  if (!fixed_settings_) settings_ = qb::AppSettings().Printout();
  summary_ = IntegritySummary(doc_);
  layout_.reset();
}

int PaperPrinter::pageCount() const {
  if (!layout_ || layout_->PageCount() == 0) return 0;
  return layout_->PageCount() + (!summary_.isEmpty() && summary_top_ < 0 ? 1 : 0);
}

bool PaperPrinter::Layout(LayoutProgress* progress) {
  if (layout_) return true;
  layout_ = std::make_unique<qb::PrintoutLayout>(source_, settings_);
  const int last = doc_.GetLastLineIndex();
  if (progress != nullptr) progress->Begin(std::max(last, 0));
  qb::IntervalTimer timer;
  timer.Start(kProgressIntervalMs);
  const bool done = layout_->Paginate([&](int line) {
    if (progress == nullptr) return true;
    if (timer.Due()) progress->Update(line, last, std::max(layout_->PageCount(), 1));
    return !progress->Cancelled();
  });
  if (!done) {
    layout_.reset();
    return false;
  }
  // The summary under the last printer page, when the body has room left.
  summary_top_ = -1;
  qb::Page final_page;
  const QRectF body = PageRectsFor().body;
  if (!summary_.isEmpty() && layout_->PageCount() > 0 &&
      layout_->LayoutPage(layout_->PageCount() - 1, final_page)) {
    const double bottom = PlaceInBody(final_page.width, final_page.height, body).bottom();
    if (bottom + PageSummaryHeight(body, band_font_, summary_) <= body.bottom())
      summary_top_ = bottom;
  }
  return true;
}

QRectF PaperPrinter::PlaceInBody(double width, double height, const QRectF& body) {
  const double w = width * kTenthsPerUnit;
  const double h = height * kTenthsPerUnit;
  if (w <= 0 || h <= 0) return QRectF(body.topLeft(), QSizeF(0, 0));
  const double scale = std::min({1.0, body.width() / w, body.height() / h});
  return QRectF(body.left() + (body.width() - w * scale) / 2, body.top(), w * scale, h * scale);
}

void PaperPrinter::PrintSheet(QPainter& painter, int n, const qb::Page* sheet) {
  const PageRects rects = PageRectsFor();
  painter.setBackgroundMode(Qt::TransparentMode);
  DrawPageHeader(painter, rects.header, band_font_, HeaderComment(doc_.comment()));
  DrawPageFooter(painter, rects.footer, band_font_, print_date_,
                 QString::fromStdString(doc_.GetFileName()), n, pageCount());
  if (sheet == nullptr) {
    DrawPageSummary(painter, rects.body, rects.body.top() - kSummaryGap, band_font_, summary_);
    return;
  }
  const qb::Page& page = *sheet;
  if (n == layout_->PageCount() && summary_top_ >= 0)
    DrawPageSummary(painter, rects.body, summary_top_, band_font_, summary_);
  const QRectF place = PlaceInBody(page.width, page.height, rects.body);
  if (place.isEmpty()) return;
  painter.save();
  painter.translate(place.topLeft());
  painter.scale(place.width() / page.width, place.height() / page.height);
  painter_.Draw(painter, page, {});
  painter.restore();
  // The printer page's edge, thin and light.
  painter.setPen(QPen(kSheetEdge, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(place);
}

PageJob::Result PaperPrinter::Print(QPagedPaintDevice& device, int from_page, int to_page,
                                    LayoutProgress* progress) {
  if (!Layout(progress)) return Result::kNothing;
  const int count = pageCount();
  const int from = std::max(from_page, 1);
  const int to = to_page > 0 ? std::min(to_page, count) : count;
  if (count < 1 || from > to) return Result::kNothing;

  QPainter painter;
  if (!painter.begin(&device)) return Result::kStartFailed;
  const QRect drawing(0, 0, device.width(), device.height());
  bool first = true;
  bool stopped = false;
  auto sheet = [&](int n, const qb::Page* page) {
    if (!first && !device.newPage()) {
      stopped = true;
      return false;
    }
    first = false;
    painter.save();
    PagePrinter::MapPage(painter, drawing);
    PrintSheet(painter, n, page);
    painter.restore();
    return true;
  };
  const int printer_pages = layout_->PageCount();
  if (from <= printer_pages) {
    layout_->ForEachPage(from - 1, [&](int index, qb::Page& page) {
      return index + 1 <= std::min(to, printer_pages) && sheet(index + 1, &page);
    });
  }
  // The summary's own sheet.
  if (!stopped && to > printer_pages) sheet(printer_pages + 1, nullptr);
  painter.end();
  return Result::kPrinted;
}
