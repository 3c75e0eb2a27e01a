#include "app/print_commands.h"
#include "app/ui_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/page_printer.h"
#include "app/paper_printer.h"
#include "app/pdf_file.h"
#include "app/progress_dialog.h"
#include "app/quillbank_doc.h"
#include "base/interval_timer.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "document/record_document.h"

namespace {

// How often the queue is pumped between the progress updates, so that a
// Cancel counts soon.
constexpr int64_t kPumpIntervalMs = 100;

constexpr const char* kProgram = "quillbank-manager";

const char* Text(const qb::Message<>& message) {
  return qb::LoadMessage(message);
}

// A line on standard error, after the program's name.
void Complain(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

// The print dialog; `pdf_name`, when given, is the file it proposes for
// printing into a PDF file (in place of its own choice, print.pdf in the
// home folder). A dialog without such a field (the system's own) keeps its
// choice.
bool AskWithPrintDialog(QPrinter& printer, QWidget* parent, const QString& pdf_name) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (!pdf_name.isEmpty()) {
    if (auto* file_name = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
      file_name->setText(QDir::toNativeSeparators(pdf_name));
  }
  return dialog.exec() == QDialog::Accepted;
}

// The printer's pages as the job's own: all pages until a range is chosen.
void ResetRange(QPrinter& printer) {
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
}

// The job that prints what `kind` names.
std::unique_ptr<PageJob> JobFor(qb::RecordDocument& doc, PrintKind kind) {
  if (kind == PrintKind::kPaper) return std::make_unique<PaperPrinter>(doc);
  return std::make_unique<PagePrinter>(doc);
}

// What the active window of the frame shows.
PrintKind ShownIn(CMainFrame* frame) {
  CChildFrame* child = frame->activeChild();
  return child != nullptr && child->paperMode() ? PrintKind::kPaper : PrintKind::kLines;
}

}  // namespace

QString ProposedPdfName(const QString& record_path) {
  if (record_path.isEmpty()) return QString();
  QFileInfo record(record_path);
  return QDir(record.absolutePath()).filePath(record.completeBaseName() + QStringLiteral(".pdf"));
}

DialogLayoutProgress::DialogLayoutProgress(CProgressDialog* dialog, std::function<bool()> gone)
    : dialog_(dialog), gone_(std::move(gone)), pump_(std::make_unique<qb::IntervalTimer>()) {
  pump_->Start(kPumpIntervalMs);
}

DialogLayoutProgress::~DialogLayoutProgress() = default;

void DialogLayoutProgress::Begin(int last_line) {
  dialog_->SetRange(0, last_line);
  dialog_->ShowProgressBar(true);
  dialog_->ShowPercent(true);
  dialog_->ShowTime(true);
}

void DialogLayoutProgress::Update(int line, int last_line, int page) {
  dialog_->SetTextFormat("%s\n%s %i %s %i \n%s %i\n\n%s", Text(qb::msg::kComputingLayout),
                         Text(qb::msg::kLine), line, Text(qb::msg::kOf), last_line,
                         Text(qb::msg::kPage), page, Text(qb::msg::kPleaseWait));
  dialog_->SetPos(line);
}

bool DialogLayoutProgress::Cancelled() {
  if (pump_->Due()) QCoreApplication::processEvents();
  if (gone_ && gone_()) return true;
  return dialog_->CheckProgressCancel(true);
}

PrintCommands::PrintCommands(QWidget* window, QObject* parent)
    : QObject(parent),
      window_(window),
      printer_(QPrinter::HighResolution),
      print_dialog_([this](QPrinter& printer, QWidget* parent) {
        return AskWithPrintDialog(printer, parent, pdf_name_);
      }) {
  printer_.setPageSize(QPageSize(QPageSize::A4));
}

PrintCommands::~PrintCommands() {
  delete progress_;
}

void PrintCommands::Attach(CMainFrame* frame) {
  frame->SetHandler("filePrint", this,
                    [this, frame](CQuillbankManagerDoc* doc) { Print(doc, ShownIn(frame)); });
  frame->SetHandler("filePrintDirect", this,
                    [this, frame](CQuillbankManagerDoc* doc) { PrintDirect(doc, ShownIn(frame)); });
  frame->SetHandler("filePrintPreview", this, [this, frame](CQuillbankManagerDoc* doc) {
    PrintPreview(doc, ShownIn(frame));
  });
  frame->SetHandler("filePrintSetup", this, [this](CQuillbankManagerDoc*) { PrintSetup(); });
}

bool PrintCommands::Print(CQuillbankManagerDoc* doc, PrintKind kind) {
  if (doc == nullptr || busy_) return false;
  ResetRange(printer_);
  pdf_name_ = ProposedPdfName(QFile::decodeName(doc->core().GetPathName().c_str()));
  if (!print_dialog_(printer_, window_)) return false;
  return RunJob(doc, printer_, false, kind);
}

bool PrintCommands::PrintDirect(CQuillbankManagerDoc* doc, PrintKind kind) {
  if (doc == nullptr) return false;
  ResetRange(printer_);
  return RunJob(doc, printer_, false, kind);
}

QPrintPreviewDialog* PrintCommands::CreatePreview(CQuillbankManagerDoc* doc, PrintKind kind) {
  ResetRange(printer_);
  auto* dialog = new QPrintPreviewDialog(&printer_, window_);
  dialog->setObjectName(QStringLiteral("printPreview"));
  if (auto* widget = dialog->findChild<QPrintPreviewWidget*>())
    widget->setViewMode(QPrintPreviewWidget::SinglePageView);
  QPointer<CQuillbankManagerDoc> guard(doc);
  connect(dialog, &QPrintPreviewDialog::paintRequested, this,
          [this, guard, kind](QPrinter* printer) {
            if (guard) RunJob(guard, *printer, true, kind);
          });
  return dialog;
}

void PrintCommands::PrintPreview(CQuillbankManagerDoc* doc, PrintKind kind) {
  if (doc == nullptr || busy_) return;
  std::unique_ptr<QPrintPreviewDialog> dialog(CreatePreview(doc, kind));
  dialog->exec();
}

void PrintCommands::PrintSetup() {
  QPageSetupDialog dialog(&printer_, window_);
  dialog.exec();
}

bool PrintCommands::RunJob(CQuillbankManagerDoc* doc, QPrinter& printer, bool preview,
                           PrintKind kind) {
  if (doc == nullptr || busy_) return false;
  busy_ = true;
  QPointer<CQuillbankManagerDoc> guard(doc);
  std::unique_ptr<PageJob> job = JobFor(doc->core(), kind);
  job->BeginJob();
  printer.setDocName(doc->title());
  // A PDF has no unprintable border: the page maps onto the whole sheet.
  printer.setFullPage(printer.outputFormat() == QPrinter::PdfFormat);

  delete progress_;
  progress_ = new CProgressDialog(window_);
  progress_->setObjectName(QStringLiteral("layoutProgress"));
  progress_->SetCaption(qb::msg::kAppName);
  progress_->SetTextFormat("%s\n%s", Text(qb::msg::kComputingLayout), Text(qb::msg::kPleaseWait));
  progress_->ShowCancelButton(1, true);
  progress_->Show(true);
  DialogLayoutProgress progress(progress_, [guard] { return guard.isNull(); });
  // Printing into a file goes through a file that takes the name only when
  // the whole PDF is on its disk; a preview never writes one.
  PdfFileJob pdf;
  PdfFileResult outcome;
  if (!preview && PdfFileOfPrinter(printer, pdf)) {
    outcome = PrintPdfFile(*job, pdf, &progress);
  } else {
    outcome.result = job->Print(printer, &progress);
  }
  if (progress_) {
    progress_->Show(false);
    delete progress_;
  }
  busy_ = false;

  if (outcome.error != 0) {
    ShowBox(window_, QMessageBox::Critical,
            UiText(qb::msg::kCannotWriteFile, pdf.path,
                   QString::fromLocal8Bit(std::strerror(outcome.error))));
  } else if (outcome.result == PageJob::Result::kStartFailed) {
    ShowMessageBox(window_, QMessageBox::Warning, qb::msg::kFailedToStartPrint);
  }
  return outcome.result == PageJob::Result::kPrinted;
}

int PrintToPdf(const QString& record_file, const QString& pdf_file, PrintKind kind) {
  const std::string record = record_file.toStdString();
  const std::string pdf = pdf_file.toStdString();
  qb::RecordDocument doc;
  if (!doc.LoadRecordFile(QFile::encodeName(record_file).toStdString())) {
    Complain(qb::FillMessage(qb::msg::kNotPrinted, record.c_str()));
    return 1;
  }
  PdfFileJob pdf_job;
  pdf_job.path = pdf_file;
  pdf_job.layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
  pdf_job.title =
      QString::fromStdString(doc.GetTitle().empty() ? doc.GetFileName() : doc.GetTitle());
  pdf_job.creator = UiText(qb::msg::kAppName) + QStringLiteral(" V") + UiText(qb::msg::kVersion);

  std::unique_ptr<PageJob> job = JobFor(doc, kind);
  job->BeginJob();
  PdfFileResult outcome = PrintPdfFile(*job, pdf_job, nullptr);
  if (outcome.error != 0) {
    Complain(qb::FillMessage(qb::msg::kPdfNotWritten, pdf.c_str(), std::strerror(outcome.error)));
    return 1;
  }
  switch (outcome.result) {
    case PageJob::Result::kPrinted:
      std::printf(
          "%s: %s\n", kProgram,
          qb::FillMessage(qb::msg::kPrintedToPdf, record.c_str(), pdf.c_str(), job->pageCount())
              .c_str());
      return 0;
    case PageJob::Result::kNothing:
      Complain(qb::FillMessage(qb::msg::kNothingToPrint, record.c_str()));
      return 1;
    case PageJob::Result::kStartFailed:
      Complain(pdf + ": " + Text(qb::msg::kFailedToStartPrint));
      return 1;
  }
  return 1;
}

void PrintToPdfUsage() {
  std::fprintf(stderr, "%s\n", Text(qb::msg::kPrintToPdfUsage));
}
