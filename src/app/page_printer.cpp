#include "app/page_printer.h"
#include "app/ui_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>

#include "app/ansi_text.h"
#include "app/cards/app_settings.h"
#include "app/integrity_summary.h"
#include "base/messages.h"
#include "document/record_document.h"
#include "platform/posix_names.h"

namespace {

// Body fonts: normal width 24, condensed width 13; header and footer: width
// 13, bold. All of height 40.
constexpr double kNormalWidth = 24;
constexpr double kCondensedWidth = 13;
constexpr double kHeaderHeight = 40;
constexpr double kHeaderWidth = 13;
constexpr QFont::Weight kBodyWeight = QFont::Medium;  // 500
constexpr double kPenWidth = 3;
constexpr double kRuleGap = 2;
constexpr int kCommentLength = 80;
constexpr int kSummaryFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QPen PrintingPen() {
  return QPen(QBrush(Qt::black), kPenWidth, Qt::SolidLine);
}

}  // namespace

QFont PageBandFont() {
  return MakeLineFont(kHeaderHeight, kHeaderWidth, QFont::Bold);
}

void DrawPageHeader(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& comment) {
  painter.setFont(font);
  painter.setPen(PrintingPen());
  QRectF used;
  QString title = UiText(qb::msg::kAppName) + QStringLiteral(" V") + UiText(qb::msg::kVersion);
  painter.drawText(band, Qt::AlignLeft | Qt::AlignTop, title, &used);
  double h1 = used.height();
  QRectF below(QPointF(band.left(), band.top() + h1), band.bottomRight());
  painter.drawText(below, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   UiText(qb::msg::kBanner), &used);
  double offset = h1 + used.height();

  // The comment on the right, below title and banner; the rule goes under
  // the lowest text of the header.
  if (!comment.isEmpty()) {
    QRectF rest(QPointF(band.left(), band.top() + offset), band.bottomRight());
    painter.drawText(rest, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, comment, &used);
    offset = std::max(offset, used.bottom() - band.top());
  }
  double y = band.top() + offset + kRuleGap;
  painter.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
}

void DrawPageFooter(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& print_date, const QString& file_name, int n, int count) {
  painter.setFont(font);
  painter.setPen(PrintingPen());
  QString left = UiText(qb::msg::kPrinted) + QLatin1Char(' ') + print_date + QLatin1Char('\n') +
                 UiText(qb::msg::kFile) + QStringLiteral(": ") + file_name;
  painter.drawText(band, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, left);
  QString page = QStringLiteral("%1 %2/%3").arg(UiText(qb::msg::kPage)).arg(n).arg(count);
  painter.drawText(band, Qt::AlignRight | Qt::AlignTop, page);
  double y = band.top() - kRuleGap;
  painter.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
}

QString PrintDateNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  size_t n = std::strftime(text, sizeof text, "%d %b %Y %X", &local);
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(n));
}

QString HeaderComment(const std::string& comment) {
  size_t begin = comment.find_first_not_of(' ');
  size_t end = comment.find_last_not_of(' ');
  std::string trimmed =
      begin == std::string::npos ? std::string() : comment.substr(begin, end - begin + 1);
  std::erase_if(trimmed, [](char c) { return c == '\r' || c == '\n'; });
  if (trimmed.size() > kCommentLength) trimmed.resize(kCommentLength);
  return AnsiText(trimmed);
}

PagePrinter::PagePrinter(qb::RecordDocument& doc, std::function<int64_t()> clock_ms)
    : doc_(doc),
      layout_(std::move(clock_ms)),
      fonts_(kNormalWidth, kCondensedWidth, kBodyWeight),
      header_font_(PageBandFont()) {}

void PagePrinter::BeginJob() {
  print_date_ = PrintDateNow();
  qb::AppSettings settings;
  options_.scan_printer_esc = settings.ScanPrinterEsc() != 0;
  options_.show_unknown_printer_esc = settings.ShowUnknownPrinterEsc() != 0;
  options_.target = LineTarget::kPrinter;
  summary_ = IntegritySummary(doc_);
  layout_.Invalidate();
}

double PageSummaryHeight(const QRectF& body, const QFont& font, const QString& summary) {
  if (summary.isEmpty()) return 0;
  QRectF bounds(body.left(), 0, body.width(), kPageHeight);
  return kSummaryGap + QFontMetricsF(font).boundingRect(bounds, kSummaryFlags, summary).height();
}

void DrawPageSummary(QPainter& painter, const QRectF& body, double top, const QFont& font,
                     const QString& summary) {
  if (summary.isEmpty()) return;
  painter.setFont(font);
  painter.setPen(PrintingPen());
  QRectF rect(QPointF(body.left(), top + kSummaryGap), body.bottomRight());
  painter.drawText(rect, kSummaryFlags, summary);
}

double PagePrinter::SummaryHeight(const QRectF& body) const {
  return PageSummaryHeight(body, header_font_, summary_);
}

bool PagePrinter::SummaryPage() const {
  if (summary_.isEmpty() || layout_.pageCount() < 1) return false;
  const QRectF body = PageRectsFor().body;
  return layout_.lastPageBottom() + SummaryHeight(body) > body.bottom();
}

int PagePrinter::pageCount() const {
  return layout_.pageCount() + (SummaryPage() ? 1 : 0);
}

void PagePrinter::DrawSummary(QPainter& painter, const QRectF& body, double top) {
  DrawPageSummary(painter, body, top, header_font_, summary_);
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
  int count = pageCount();
  if (count == -1 || n > count) return false;
  PageRects rects = PageRectsFor();
  painter.setBackgroundMode(Qt::TransparentMode);
  DrawPageHeader(painter, rects.header, header_font_, HeaderComment(doc_.comment()));
  DrawPageFooter(painter, rects.footer, header_font_, print_date_,
                 QString::fromStdString(doc_.GetFileName()), n, count);
  if (doc_.GetLastLineIndex() < 0 || count == 0) return false;
  if (n > layout_.pageCount()) {
    // The summary's own page.
    DrawSummary(painter, rects.body, rects.body.top() - kSummaryGap);
    return true;
  }
  DrawBody(painter, rects.body, n);
  if (n == layout_.pageCount() && !SummaryPage())
    DrawSummary(painter, rects.body, layout_.lastPageBottom());
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
  int count = pageCount();
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
