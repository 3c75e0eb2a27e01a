// Printing a document into a PDF file that takes its name only when it is
// complete and on its disk: the pages go to a new file beside the name, and
// every write is checked, so a full disk, a full device or a folder that
// cannot be written fails with the system's reason instead of leaving a
// cut or empty PDF under the name. A device or FIFO is written through.
#pragma once

#include <QPageLayout>
#include <QString>

#include "app/page_job.h"

class LayoutProgress;

class QPrinter;

struct PdfFileJob {
  QString path;
  QPageLayout layout;     // paper and orientation; pages are drawn on the whole sheet
  int resolution = 1200;  // dots per inch, as a high-resolution printer's
  QString title;
  QString creator;
  int from_page = 0;  // 0: from the first page
  int to_page = 0;    // 0: to the last page
};

struct PdfFileResult {
  PageJob::Result result = PageJob::Result::kNothing;
  // The system's error number when the file could not be made or written
  // (the result is then kStartFailed); 0 otherwise.
  int error = 0;
};

// Prints the job's pages into the file. Nothing takes the name unless the
// result is kPrinted.
PdfFileResult PrintPdfFile(PageJob& job, const PdfFileJob& pdf, LayoutProgress* progress);

// The PDF file a printer is set to print into, with its paper, resolution
// and page range; false when it prints on paper.
bool PdfFileOfPrinter(const QPrinter& printer, PdfFileJob& pdf);
