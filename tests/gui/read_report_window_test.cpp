// File > Read Report: the report beside a recording, checked against the
// record file as it is now, in a window and on paper; a missing report or
// one that cannot be used says so in a box.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "app/quillbank_doc.h"
#include "app/read_report_window.h"
#include "app/ui_text.h"
#include "document/read_report.h"
#include "format/record_kind.h"
#include "gui_fixture.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace {

using qb::test::RecordFileBuilder;

// The text of the next modal box, which is closed.
void OnNextBox(QString& text) {
  QTimer::singleShot(0, [&text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    text = box->text();
    box->accept();
  });
}

// A path as the window shows it.
QString Shown(const std::string& path) {
  return QDir::toNativeSeparators(QString::fromStdString(path));
}

}  // namespace

class ReadReportWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    record_ = dir_.Write("LOG1.qbd", RecordFileBuilder()
                                         .Head("Balance 3")
                                         .Control(qb::kControlStart)
                                         .Line("Date 2026-12-07 Time 10:00")
                                         .Line("x")
                                         .BreakChecksum()
                                         .End()
                                         .bytes());
    QCOMPARE(qb::WriteReadReport(record_, qb::ReadReportPath(record_)), 0);
    doc_ = std::make_unique<CQuillbankManagerDoc>();
    QVERIFY(doc_->OpenDocument(QString::fromStdString(record_)));
  }
  // The recording is closed before the next test writes it again (on
  // Windows an open file cannot be written).
  void cleanup() { doc_.reset(); }

  void showsTheReportAndWhatBecameOfTheFile() {
    std::unique_ptr<ReadReportDialog> dialog(ReadReportCommand(doc_.get(), nullptr, false));
    QVERIFY(dialog);
    const QString text = dialog->lines().join('\n');
    for (const char* line :
         {"Record file: LOG1.qbd (", "The record file today: the same as when it was read",
          "Card ID: Balance 3", "Card settings: cardsize=4000, baudrate=9600, parameter=7E1",
          "Read by: Quillbank Manager 1.0.3.1, software signature 48531.BD93",
          "Recording sessions: 1", "Manipulated records: 1 (lines 1)",
          "Dates the instrument printed: from 2026-12-07 10:00 to 2026-12-07 10:00",
          "Signature: none"}) {
      QVERIFY2(text.contains(line), qPrintable(QString(line) + "\n" + text));
    }

    // The file changed afterwards; a signature file beside it is named.
    doc_.reset();
    std::string bytes = dir_.Read("LOG1.qbd");
    bytes[bytes.size() - 12] ^= 1;
    dir_.Write("LOG1.qbd", bytes);
    dir_.Write("LOG1.qbd.report.sig", std::string(64, 's'));
    doc_ = std::make_unique<CQuillbankManagerDoc>();
    QVERIFY(doc_->OpenDocument(QString::fromStdString(record_)));
    dialog.reset(ReadReportCommand(doc_.get(), nullptr, false));
    QVERIFY(dialog);
    QVERIFY(
        dialog->lines().join('\n').contains("The record file today: CHANGED since it was read"));
    QVERIFY(dialog->lines().join('\n').contains("Signature: " + Shown(record_ + ".report.sig")));
  }

  void missingOrUnusableReports() {
    QString seen;
    std::remove(qb::ReadReportPath(record_).c_str());
    OnNextBox(seen);
    QVERIFY(!ReadReportCommand(doc_.get(), nullptr, false));
    QCOMPARE(seen, "There is no read report beside\n" + Shown(record_));
    dir_.Write("LOG1.qbd.report.json", "{\"format\": \"something else\"}");
    OnNextBox(seen);
    QVERIFY(!ReadReportCommand(doc_.get(), nullptr, false));
    QVERIFY2(seen.endsWith("cannot be used:\nnot a read report"), qPrintable(seen));
  }

  void printsWithTheHeaderAndFooterOfPrintouts() {
    std::unique_ptr<ReadReportDialog> dialog(ReadReportCommand(doc_.get(), nullptr, false));
    QVERIFY(dialog);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    const QString pdf = QString::fromStdString(dir_.File("report.pdf"));
    printer.setOutputFileName(pdf);
    QStringList many = dialog->lines();
    for (int i = 0; i < 80; ++i) many.append(QStringLiteral("filler %1").arg(i));
    QCOMPARE(PrintReadReport(printer, many, "Balance 3", "LOG1.qbd"), 2);
#ifndef _WIN32  // poppler's programs cannot be started from Windows
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY(text.waitForFinished(60000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* part : {"Quillbank Manager V1.0.3.1", "Balance 3", "File: LOG1.qbd",
                             "Page 1/2", "Page 2/2", "SHA-256: ", "filler 79"})
      QVERIFY2(out.contains(part), part);
#endif
  }

 private:
  qb::test::TempDir dir_;
  std::string record_;
  std::unique_ptr<CQuillbankManagerDoc> doc_;
};

QTEST_MAIN(ReadReportWindowTest)
#include "read_report_window_test.moc"
