// The print commands of the application: Print (Ctrl+P, with the print
// dialog), print direct (the default printer, no dialog; also `/p FILE`),
// Print Preview (Ctrl+V) and Print Setup, on one printer object that keeps
// the user's choices for the session. Each job shows the page layout's
// progress in a progress dialog with Cancel. A window in its paper view
// prints the printer's pages, one on each sheet (paper_printer.h); one
// showing its lines prints them laid out on A4 (page_printer.h). Also the
// headless `--print-to-pdf OUT [--paper] FILE` of the command line.
#pragma once

#include <QObject>
#include <QPointer>
#include <QPrinter>
#include <QString>
#include <functional>
#include <memory>

#include "app/page_layout.h"
#include "app/progress_dialog.h"

class CMainFrame;
class CQuillbankManagerDoc;
class QPrintPreviewDialog;
class QWidget;

namespace qb {
class IntervalTimer;
class RecordDocument;
}  // namespace qb

// What a job prints: the document's lines on A4 pages, or the printer's
// pages of the paper view.
enum class PrintKind { kLines, kPaper };

// The PDF file proposed for printing a record file into one: its name with
// ".pdf" for its extension, in its folder ("/data/LOG1.qbd" gives
// "/data/LOG1.pdf"). Empty for a document without a file.
QString ProposedPdfName(const QString& record_path);

// The page layout's progress in a progress dialog: the bar, percentage and
// times, the "Computing page layout." texts, and its Cancel. Between the
// updates the event queue is pumped every 100 ms, so that a Cancel counts
// at once.
class DialogLayoutProgress : public LayoutProgress {
 public:
  // `gone` tells when the document went away meanwhile: the pass then ends
  // as if cancelled.
  explicit DialogLayoutProgress(CProgressDialog* dialog, std::function<bool()> gone = {});
  ~DialogLayoutProgress() override;
  void Begin(int last_line) override;
  void Update(int line, int last_line, int page) override;
  bool Cancelled() override;

 private:
  CProgressDialog* dialog_;
  std::function<bool()> gone_;
  std::unique_ptr<qb::IntervalTimer> pump_;
};

class PrintCommands : public QObject {
  Q_OBJECT

 public:
  // `window` owns the dialogs and message boxes (may be null).
  explicit PrintCommands(QWidget* window, QObject* parent = nullptr);
  ~PrintCommands() override;

  QPrinter& printer() { return printer_; }

  // Asks for the printer and the pages; true when accepted. Replaceable for
  // tests (by default the print dialog, which proposes the document's
  // ProposedPdfName for printing into a PDF file).
  void SetPrintDialog(std::function<bool(QPrinter&, QWidget*)> dialog) {
    print_dialog_ = std::move(dialog);
  }

  // Prints through the print dialog; false when not printed.
  bool Print(CQuillbankManagerDoc* doc, PrintKind kind = PrintKind::kLines);
  // Prints on the printer as it is set, without a dialog.
  bool PrintDirect(CQuillbankManagerDoc* doc, PrintKind kind = PrintKind::kLines);
  // The preview window on the document, not yet shown: one page at a time,
  // as many pages as the layout gives. The caller owns it.
  QPrintPreviewDialog* CreatePreview(CQuillbankManagerDoc* doc, PrintKind kind = PrintKind::kLines);
  // Shows the preview until the user closes it.
  void PrintPreview(CQuillbankManagerDoc* doc, PrintKind kind = PrintKind::kLines);
  // The page setup of the printer (paper, orientation).
  void PrintSetup();

  // One job on the printer with the progress dialog: layout, then pages.
  // Shows "Could not start print job." when the printer does not start;
  // false then, when nothing was printed, and while another job runs. A
  // printer set to print into a PDF file (unless for the preview) writes it
  // through a file that takes the name only when complete; a file that
  // cannot be made or written shows the system's reason and keeps nothing.
  bool RunJob(CQuillbankManagerDoc* doc, QPrinter& printer, bool preview = false,
              PrintKind kind = PrintKind::kLines);

  // The progress dialog of the job under way, or null.
  CProgressDialog* progressDialog() const { return progress_; }

  // Carries out the frame's print commands from now on: Print, print
  // direct, Print Preview and Print Setup, each of what the active window
  // shows.
  void Attach(CMainFrame* frame);

 private:
  QWidget* window_;
  QPrinter printer_;
  std::function<bool(QPrinter&, QWidget*)> print_dialog_;
  QString pdf_name_;  // the PDF file the print dialog proposes
  QPointer<CProgressDialog> progress_;
  bool busy_ = false;
};

// Prints the record file to a PDF file with no window and no display (the
// application object must exist), its paper pages with the printer of the
// settings store for kPaper. Error texts go to standard error. Returns the
// exit status: 0 when the PDF was written.
int PrintToPdf(const QString& record_file, const QString& pdf_file,
               PrintKind kind = PrintKind::kLines);
// How to call it, on standard error.
void PrintToPdfUsage();
