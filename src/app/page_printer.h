// The printed pages of a document: the page mapping of A4 onto the printable
// area, the header (title and version, banner, comment, rule), the footer
// (print date, file name, page of pages, rule) and the body, whose lines are
// drawn by the same one-line routine as on screen, with the page layout's
// breaks. The last page's body ends with the integrity summary, in the
// footer's font; when the body has no room left for it, it takes a page of
// its own. One object serves one print job at a time.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "app/line_renderer.h"
#include "app/page_job.h"
#include "app/page_layout.h"

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace qb {
class RecordDocument;
}

// The date and time of now as the footer shows it ("%d %b %Y %X" in the
// program's time locale).
QString PrintDateNow();
// The comment as the header shows it: blanks removed at both ends, CR and
// LF removed, at most its first 80 characters.
QString HeaderComment(const std::string& comment);

// The header band of a printed page: title and version, the banner, the
// comment (as HeaderComment gives it) on the right, and the rule under them.
void DrawPageHeader(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& comment);
// The footer band: "Printed" and the date, "File:" and the file name, the
// page of pages on the right, and the rule above them.
void DrawPageFooter(QPainter& painter, const QRectF& band, const QFont& font,
                    const QString& print_date, const QString& file_name, int n, int count);
// The font of header and footer (height 40, width 13, bold).
QFont PageBandFont();
// The integrity summary in `body`, its first line `kSummaryGap` below `top`,
// in the band font; and the height it takes there, the gap included (0 for
// none).
void DrawPageSummary(QPainter& painter, const QRectF& body, double top, const QFont& font,
                     const QString& summary);
double PageSummaryHeight(const QRectF& body, const QFont& font, const QString& summary);
inline constexpr double kSummaryGap = 40;

class PagePrinter : public PageJob {
 public:
  using PageJob::Print;

  // `clock_ms` paces the layout's progress (the monotonic clock when empty).
  explicit PagePrinter(qb::RecordDocument& doc, std::function<int64_t()> clock_ms = {});

  // Starts a job: the print date of now, the settings of the printer
  // emulation, the layout stale.
  void BeginJob() override;
  void SetPrintDate(const QString& date) { print_date_ = date; }
  const QString& printDate() const { return print_date_; }
  const LineOptions& options() const { return options_; }

  // Computes the layout unless it is current; false when cancelled.
  bool Layout(LayoutProgress* progress);
  const PageLayout& layout() const { return layout_; }
  // The pages of the job: the layout's, and the page of the integrity
  // summary when it has one of its own.
  int pageCount() const override;
  // The integrity summary of the job (set by BeginJob).
  const QString& summary() const { return summary_; }
  void SetSummary(const QString& summary) { summary_ = summary; }

  // Maps the A4 page (2100 by 2970 units, y downward) onto the drawing
  // rectangle in device units, less 2 units in width and height.
  static void MapPage(QPainter& painter, const QRect& drawing);

  // Draws page n (from 1) with the painter mapped. False when the job ends
  // here: nothing is drawn beyond the last page or without a layout, only
  // header and footer when there are no lines.
  bool PrintPage(QPainter& painter, int n);

  // The whole job: the layout, then the pages up to the last, one sheet
  // each.
  Result Print(QPagedPaintDevice& device, int from_page, int to_page,
               LayoutProgress* progress) override;

  // The fonts of header and footer and of the body's normal and condensed
  // text.
  const QFont& headerFont() const { return header_font_; }
  const LineFonts& bodyFonts() const { return fonts_; }

 private:
  void DrawBody(QPainter& painter, const QRectF& body, int n);
  // The summary's height in the body's width.
  double SummaryHeight(const QRectF& body) const;
  void DrawSummary(QPainter& painter, const QRectF& body, double top);
  // Whether the summary goes onto a page of its own (the layout done).
  bool SummaryPage() const;

  qb::RecordDocument& doc_;
  PageLayout layout_;
  LineOptions options_;
  LineFonts fonts_;
  QFont header_font_;
  QString print_date_;
  QString summary_;
};
