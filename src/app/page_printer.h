// The printed pages of a document: the page mapping of A4 onto the printable
// area, the header (title and version, banner, comment, rule), the footer
// (print date, file name, page of pages, rule) and the body, whose lines are
// drawn by the same one-line routine as on screen, with the page layout's
// breaks. One object serves one print job at a time.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "app/line_renderer.h"
#include "app/page_bands.h"
#include "app/page_job.h"
#include "app/page_layout.h"

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace qb {
class RecordDocument;
}

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
  int pageCount() const override { return layout_.pageCount(); }

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

  qb::RecordDocument& doc_;
  PageLayout layout_;
  LineOptions options_;
  LineFonts fonts_;
  QFont header_font_;
  QString print_date_;
};
