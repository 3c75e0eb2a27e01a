// A print job's pages: what Print, Print Preview and the PDF output drive,
// whether the pages are the document's lines laid out on A4 (PagePrinter)
// or the printer's own pages (PaperPrinter). One object serves one job at a
// time.
#pragma once

class LayoutProgress;
class QPagedPaintDevice;
class QPrinter;

class PageJob {
 public:
  enum class Result {
    kPrinted,      // pages were printed
    kNothing,      // the layout was cancelled, or there was no page to print
    kStartFailed,  // the printer did not start the job
  };

  virtual ~PageJob() = default;

  // Starts a job: the print date of now, the settings in force, the layout
  // stale.
  virtual void BeginJob() = 0;
  // Pages of the last completed layout.
  virtual int pageCount() const = 0;

  // The layout, then pages `from_page` to `to_page` (0: from the first, to
  // the last) on the device, one sheet each.
  virtual Result Print(QPagedPaintDevice& device, int from_page, int to_page,
                       LayoutProgress* progress) = 0;
  // The same on a printer, with its page range (all pages when it has none).
  Result Print(QPrinter& printer, LayoutProgress* progress);
};
