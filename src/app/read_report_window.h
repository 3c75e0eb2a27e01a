// File > Read Report: the read report beside the active recording's record
// file, checked against the file as it is on disk now, shown in a window
// and printed on A4 pages with the header and footer of the recordings'
// printouts.
#pragma once

#include <QDialog>
#include <QStringList>

class CQuillbankManagerDoc;
class QPagedPaintDevice;

namespace qb {
struct ReadReport;
}

// The report's lines as the window and the printout show them; `state`
// says what became of the record file, `signature` whether it is signed.
QStringList ReadReportLines(const qb::ReadReport& report, const QString& state,
                            const QString& signature);

// Prints the lines onto the device's A4 pages; `comment` and `file_name`
// go into the header and footer. The number of pages printed, 0 when the
// device did not start.
int PrintReadReport(QPagedPaintDevice& device, const QStringList& lines, const QString& comment,
                    const QString& file_name);

class ReadReportDialog : public QDialog {
  Q_OBJECT

 public:
  ReadReportDialog(const QStringList& lines, const QString& comment, const QString& file_name,
                   QWidget* parent = nullptr);
  const QStringList& lines() const { return lines_; }

 public slots:
  // The print dialog, then the report onto the chosen printer.
  void Print();

 private:
  QStringList lines_;
  QString comment_;
  QString file_name_;
};

// Shows the report of the document (or says there is none, or why it cannot
// be used). With `show` false the dialog is made but not run (tests).
ReadReportDialog* ReadReportCommand(CQuillbankManagerDoc* doc, QWidget* parent, bool show = true);
