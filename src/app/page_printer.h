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

class PagePrinter {
 public:
  enum class Result {
    kPrinted,      // pages were printed
    kNothing,      // the layout was cancelled, or there was no page to print
    kStartFailed,  // the printer did not start the job
  };

  // `clock_ms` paces the layout's progress (the monotonic clock when empty).
  explicit PagePrinter(qb::RecordDocument& doc, std::function<int64_t()> clock_ms = {});

  // Starts a job: the print date of now, the settings of the printer
  // emulation, the layout stale.
  void BeginJob();
  void SetPrintDate(const QString& date) { print_date_ = date; }
  const QString& printDate() const { return print_date_; }
  const LineOptions& options() const { return options_; }

  // Computes the layout unless it is current; false when cancelled.
  bool Layout(LayoutProgress* progress);
  const PageLayout& layout() const { return layout_; }
  // The pages of the job: the layout's, and the page of the integrity
  // summary when it has one of its own.
  int pageCount() const;
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

  // The whole job on a printer: the layout, then the printer's page range
  // (all pages when it has none) up to the last page, one sheet each.
  Result Print(QPrinter& printer, LayoutProgress* progress);
  // The same on any paged device, pages `from_page` to `to_page` (0: from
  // the first, to the last).
  Result Print(QPagedPaintDevice& device, int from_page, int to_page, LayoutProgress* progress);

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
