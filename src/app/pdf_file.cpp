#include "app/pdf_file.h"

#include <QFile>
#include <QIODevice>
#include <QPdfWriter>
#include <QPrinter>
#include <cerrno>

#include "platform/safe_output_file.h"

namespace {

// The PDF writer's output: every write goes to the file, and the first
// write that fails is kept with its reason (the writer itself does not look
// at what its writes return).
class CheckedFileDevice : public QIODevice {
 public:
  explicit CheckedFileDevice(qb::SafeOutputFile& file) : file_(file) {}
  bool isSequential() const override { return true; }
  int error() const { return error_; }
  qint64 written() const { return written_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (error_ != 0) return -1;
    if (size > 0 && !file_.Write(data, static_cast<size_t>(size))) {
      error_ = errno != 0 ? errno : EIO;
      return -1;
    }
    written_ += size;
    return size;
  }

 private:
  qb::SafeOutputFile& file_;
  int error_ = 0;
  qint64 written_ = 0;
};

}  // namespace

PdfFileResult PrintPdfFile(PageJob& job, const PdfFileJob& pdf, LayoutProgress* progress) {
  PdfFileResult outcome;
  qb::SafeOutputFile file;
  // A file the user may not write is not replaced.
  int error = file.Open(QFile::encodeName(pdf.path).toStdString());
  if (error != 0) {
    outcome.result = PageJob::Result::kStartFailed;
    outcome.error = error;
    return outcome;
  }
  CheckedFileDevice device(file);
  device.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&device);
    writer.setResolution(pdf.resolution);
    QPageLayout layout = pdf.layout;
    layout.setMode(QPageLayout::FullPageMode);
    writer.setPageLayout(layout);
    writer.setTitle(pdf.title);
    writer.setCreator(pdf.creator);
    outcome.result = job.Print(writer, pdf.from_page, pdf.to_page, progress);
  }  // the writer has written its last bytes
  device.close();
  if (outcome.result != PageJob::Result::kPrinted) {
    file.Discard();
    return outcome;
  }
  error = device.error();
  if (error == 0 && device.written() == 0) error = EIO;
  if (error != 0) {
    file.Discard();
  } else {
    error = file.Commit();
  }
  if (error != 0) {
    outcome.result = PageJob::Result::kStartFailed;
    outcome.error = error;
  }
  return outcome;
}

bool PdfFileOfPrinter(const QPrinter& printer, PdfFileJob& pdf) {
  if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty())
    return false;
  pdf.path = printer.outputFileName();
  pdf.layout = printer.pageLayout();
  pdf.resolution = printer.resolution();
  pdf.title = printer.docName();
  pdf.creator = printer.creator();
  pdf.from_page = printer.fromPage();
  pdf.to_page = printer.toPage();
  return true;
}
