// The printed pages of the paper view: one printer page on each sheet,
// between the header and footer bands that line pages have (page_printer.h),
// in the body's place: at its top, across its middle, scaled down when the
// printer page is larger than the body. The printer page is drawn as on
// screen (paper_painter.h): text as text, bit images as images at their
// resolution, what manipulated lines made in red with its warning. The
// integrity summary follows the last printer page, under it when the body
// has room, else on a sheet of its own.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <memory>

#include "app/page_job.h"
#include "app/paper_painter.h"
#include "printout/document_source.h"
#include "printout/printout_layout.h"
#include "printout/printout_settings.h"

class LayoutProgress;
class QPainter;

namespace qb {
class RecordDocument;
}

class PaperPrinter : public PageJob {
 public:
  using PageJob::Print;

  // The printer read from the settings store at BeginJob; `settings`, when
  // given, instead.
  explicit PaperPrinter(qb::RecordDocument& doc);
  PaperPrinter(qb::RecordDocument& doc, const qb::PrintoutSettings& settings);

  void BeginJob() override;
  void SetPrintDate(const QString& date) { print_date_ = date; }
  const qb::PrintoutSettings& settings() const { return settings_; }
  // The integrity summary of the job (set by BeginJob).
  const QString& summary() const { return summary_; }
  void SetSummary(const QString& summary) { summary_ = summary; }

  // Lays the recording out into pages; false when cancelled (the layout
  // then has no pages).
  bool Layout(LayoutProgress* progress);
  // The sheets of the job: one a printer page, and the summary's own when it
  // has no room under the last.
  int pageCount() const override;

  Result Print(QPagedPaintDevice& device, int from_page, int to_page,
               LayoutProgress* progress) override;

  // Where a printer page of `width` by `height` page units (1/2160 inch)
  // goes in the body (units of 0.1 mm): at its top, centred across, and
  // scaled down to fit when larger.
  static QRectF PlaceInBody(double width, double height, const QRectF& body);

  // Draws sheet n (from 1) of the job, the printer page `page` on it (none
  // for the summary's own sheet), with the painter mapped onto the A4 page
  // (PagePrinter::MapPage).
  void PrintSheet(QPainter& painter, int n, const qb::Page* page);

 private:
  // Where the summary begins under the last printer page, or a negative
  // value when it takes a sheet of its own (the layout done).
  double SummaryTop() const { return summary_top_; }

  qb::RecordDocument& doc_;
  bool fixed_settings_ = false;
  qb::PrintoutSettings settings_;
  qb::DocumentSource source_;
  std::unique_ptr<qb::PrintoutLayout> layout_;
  PaperPainter painter_;
  QFont band_font_;
  QString print_date_;
  QString summary_;
  double summary_top_ = -1;
};
