// Printing: the page bands and fonts, the layout pass (breaks, trailing form
// feeds, progress, Cancel), the pages as PDF output (checked with pdfinfo and
// pdftotext), the preview, the print commands of the main frame and the
// headless --print-to-pdf of the program.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/page_layout.h"
#include "app/page_printer.h"
#include "app/print_commands.h"
#include "app/progress_dialog.h"
#include "app/quillbank_doc.h"
#include "document/record_document.h"
#include "format/sha256.h"
#include "gui_fixture.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace {

const std::string kFormFeed = "\x0c";
const std::string kCondensedOn = "\x1b\x0f";
const std::string kReset = "\x1b@";
const std::string kTen = "MMMMMMMMMM";

// A loaded document of the lines, with the comment given.
struct Doc {
  qb::test::TempDir dir;
  qb::RecordDocument doc;
  std::string path;
  explicit Doc(const std::vector<std::string>& lines, const std::string& comment = "Test") {
    path = dir.Write("doc.qbd", qb::test::RecordFileWithLines(lines, comment));
    if (!doc.LoadRecordFile(path)) qFatal("test document did not load");
  }
  std::string Pdf() const { return dir.File("doc.pdf"); }
};

std::vector<std::string> Repeat(const std::string& line, int n) {
  return std::vector<std::string>(static_cast<size_t>(n), line);
}
std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Runs a program; its standard output, or a failure.
QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0)
    qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
  return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const std::string& pdf) {
#ifdef _WIN32
  // poppler's programs cannot be started from Windows: the page objects of
  // Qt's PDF, counted.
  QFile file(QString::fromStdString(pdf));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  static const QRegularExpression kPage(QStringLiteral("/Type\\s*/Page(?!s)"));
  return static_cast<int>(QString::fromLatin1(file.readAll()).count(kPage));
#else
  QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
  return pages.match(Run("pdfinfo", {QString::fromStdString(pdf)})).captured(1).toInt();
#endif
}

// A test that reads the text of a PDF through poppler's Linux programs is
// skipped on Windows; the Windows PDFs are compared with the Linux ones end
// to end there.
#ifdef _WIN32
#define NEEDS_PDF_TEXT() QSKIP("PDF text comes from poppler's Linux programs")
#else
#define NEEDS_PDF_TEXT()
#endif

// The text of one page (from 1), in its layout.
QString PdfPageText(const std::string& pdf, int page) {
  QString n = QString::number(page);
  return Run("pdftotext",
             {"-layout", "-f", n, "-l", n, QString::fromStdString(pdf), QStringLiteral("-")});
}

// The widths in points of the words on a page that read `word`.
QList<double> PdfWordWidths(const std::string& pdf, int page, const QString& word) {
  QString n = QString::number(page);
  QString html = Run("pdftotext",
                     {"-bbox", "-f", n, "-l", n, QString::fromStdString(pdf), QStringLiteral("-")});
  QRegularExpression re(
      QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" "
                     "yMax=\"[0-9.]+\">([^<]*)</word>"));
  QList<double> widths;
  for (auto it = re.globalMatch(html); it.hasNext();) {
    auto m = it.next();
    if (m.captured(3) == word) widths.append(m.captured(2).toDouble() - m.captured(1).toDouble());
  }
  return widths;
}

// 0.1 mm in points.
constexpr double kPointsPerUnit = 72.0 / 254.0;

PagePrinter::Result PrintPdf(qb::RecordDocument& doc, const std::string& pdf,
                             LayoutProgress* progress = nullptr, int from = 0, int to = 0) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setFullPage(true);
  printer.setFromTo(from, to);
  PagePrinter job(doc);
  job.BeginJob();
  return job.Print(printer, progress);
}

// The layout of the document with the settings in force.
struct Laid {
  explicit Laid(qb::RecordDocument& doc, LayoutProgress* progress = nullptr,
                std::function<int64_t()> clock = {})
      : job(doc, std::move(clock)) {
    job.BeginJob();
    completed = job.Layout(progress);
  }
  std::vector<int32_t> Starts() const { return job.layout().pageStarts(); }
  PagePrinter job;
  bool completed = false;
};

// Cancels at a given line, and records the updates.
class FakeProgress : public LayoutProgress {
 public:
  int cancel_at = -1;
  int begun_with = -2;
  int asked = 0;
  std::vector<std::pair<int, int>> updates;  // line, page
  void Begin(int last) override { begun_with = last; }
  void Update(int line, int, int page) override { updates.emplace_back(line, page); }
  bool Cancelled() override { return asked++ == cancel_at; }
};

bool IsRed(QRgb p) {
  return qRed(p) > 200 && qGreen(p) < 100 && qBlue(p) < 100;
}
bool IsLightRed(QRgb p) {
  return qRed(p) == 255 && qGreen(p) == 128 && qBlue(p) == 128;
}
int Count(const QImage& image, bool (*match)(QRgb)) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += match(image.pixel(x, y)) ? 1 : 0;
  return n;
}

// Page n drawn onto an A4 picture of 0.5 mm pixels.
QImage PageImage(PagePrinter& job, int n) {
  QImage image(420, 594, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  PagePrinter::MapPage(painter, image.rect());
  job.PrintPage(painter, n);
  return image;
}

}  // namespace

class PrintTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { qb::test::UsePrinterCodeSettings(); }

  void pageBands() {
    PageRects r = PageRectsFor();
    QCOMPARE(r.page, QRectF(QPointF(84, 29), QPointF(2058, 2941)));
    QCOMPARE(r.header, QRectF(QPointF(84, 58), QPointF(2058, 178)));
    QCOMPARE(r.body, QRectF(QPointF(84, 218), QPointF(2058, 2781)));
    QCOMPARE(r.footer, QRectF(QPointF(84, 2821), QPointF(2058, 2941)));
  }

  void printingFonts() {
    Doc d({"a"});
    PagePrinter job(d.doc);
    QFontInfo header(job.headerFont());
    QCOMPARE(header.family(), QStringLiteral("Liberation Mono"));
    QVERIFY(header.bold());
    QFontMetricsF head(job.headerFont());
    QFontMetricsF normal(job.bodyFonts().wide());
    QFontMetricsF condensed(job.bodyFonts().narrow());
    QVERIFY(qAbs(head.horizontalAdvance(QString::fromStdString(kTen)) - 130) < 4);
    QVERIFY(qAbs(normal.horizontalAdvance(QString::fromStdString(kTen)) - 240) < 4);
    QVERIFY(qAbs(condensed.horizontalAdvance(QString::fromStdString(kTen)) - 130) < 4);
    QVERIFY(qAbs(normal.height() - 40) < 1.5);
    QCOMPARE(QFontInfo(job.bodyFonts().wide()).family(), QStringLiteral("Liberation Mono"));
  }

  void layoutBreaks() {
    // Lines of one row per body: how many fit below each other.
    Doc probe({"x"});
    PagePrinter measure(probe.doc);
    double row = QFontMetricsF(measure.bodyFonts().wide()).height();
    const int k = static_cast<int>(PageRectsFor().body.height() / row);
    QVERIFY(k > 55 && k < 70);
    // Two rows in the normal font (24 units a character, 1974 wide).
    const std::string wrapped = std::string(60, 'w') + " " + std::string(60, 'w');

    const struct {
      const char* name;
      std::vector<std::string> lines;
      std::vector<int32_t> starts;  // entries 1.. and one past the last line
    } table[] = {
        {"one line", {"a"}, {0, 1}},
        {"form feed starts a page", {"a", kFormFeed, "b"}, {0, 1, 3}},
        {"form feed on line 0 does not", {kFormFeed, "a", "b"}, {0, 3}},
        {"printable text before FF holds no FF", {"a", "b" + kFormFeed, "c"}, {0, 3}},
        {"trailing form feeds drop", {"a", kFormFeed, "b", kFormFeed, kFormFeed}, {0, 1, 3}},
        {"only form feeds", {kFormFeed, kFormFeed}, {0, 0}},
        {"overflow", Repeat("x", 3 * k + 1), {0, k, 2 * k, 3 * k, 3 * k + 1}},
        // A line of two rows that starts a page counts there.
        {"wrapped line starts a page",
         Join({Repeat("x", k - 1), {wrapped}, Repeat("x", k - 2), {"y", "z"}}),
         {0, k - 1, 2 * k - 2, 2 * k}},
        {"hidden lines take no space",
         Join({Repeat("x", k - 1),
               Repeat("\x1b"
                      "E",
                      5),
               {"y", "z"}}),
         {0, k + 5, k + 6}},
    };
    for (const auto& row_case : table) {
      Doc d(row_case.lines);
      Laid laid(d.doc);
      QVERIFY2(laid.completed, row_case.name);
      std::vector<int32_t> expected = {0};
      expected.insert(expected.end(), row_case.starts.begin(), row_case.starts.end());
      if (laid.Starts() != expected) {
        QString got;
        for (int32_t s : laid.Starts()) got += QString::number(s) + " ";
        QFAIL(qPrintable(QString("%1: %2").arg(row_case.name, got)));
      }
      QCOMPARE(laid.job.pageCount(), static_cast<int>(row_case.starts.size()) - 1);
    }
  }

  void emptyDocumentPrintsNothing() {
    qb::test::TempDir dir;
    qb::RecordDocument doc;
    QVERIFY(
        doc.LoadRecordFile(dir.Write("e.qbd", qb::test::RecordFileBuilder().Head().End().bytes())));
    Laid laid(doc);
    QVERIFY(laid.completed);
    QCOMPARE(laid.job.pageCount(), -1);
    QVERIFY(PrintPdf(doc, dir.File("e.pdf")) == PagePrinter::Result::kNothing);
    QVERIFY(!QFile::exists(QString::fromStdString(dir.File("e.pdf"))));
  }

  void withoutEscapeScanningAllBodyTextIsCondensed() {
    NEEDS_PDF_TEXT();
    // 100 characters: two rows in the normal font, one condensed.
    std::string wide_line = std::string(90, 'w') + " " + kTen;
    Doc d(Join({Repeat(wide_line, 100), {kTen}}));
    Laid normal(d.doc);
    qb::AppSettings().SetScanPrinterEsc(0);
    Laid condensed(d.doc);
    QVERIFY(condensed.job.pageCount() < normal.job.pageCount());

    QVERIFY(PrintPdf(d.doc, d.Pdf()) == PagePrinter::Result::kPrinted);
    QList<double> widths = PdfWordWidths(d.Pdf(), 1, QString::fromStdString(kTen));
    QVERIFY(!widths.isEmpty());
    for (double w : widths)
      QVERIFY2(qAbs(w - 130 * kPointsPerUnit) < 2, qPrintable(QString::number(w)));
  }

  void condensedModeCarriesAcrossPages() {
    NEEDS_PDF_TEXT();
    // ESC SI at the start holds for the whole printout, also where a page
    // starts more than 100 lines after it; ESC @ ends it.
    Doc d(Join({{kCondensedOn}, Repeat(kTen, 150), {kFormFeed, kTen, kReset, kTen}}));
    QVERIFY(PrintPdf(d.doc, d.Pdf()) == PagePrinter::Result::kPrinted);
    QCOMPARE(PdfPages(d.Pdf()), 4);
    for (int page : {1, 2, 3}) {
      QList<double> widths = PdfWordWidths(d.Pdf(), page, QString::fromStdString(kTen));
      QVERIFY(!widths.isEmpty());
      QVERIFY2(qAbs(widths.first() - 130 * kPointsPerUnit) < 2, qPrintable(QString::number(page)));
    }
    QList<double> last = PdfWordWidths(d.Pdf(), 4, QString::fromStdString(kTen));
    QCOMPARE(last.size(), 2);
    QVERIFY(qAbs(last[0] - 130 * kPointsPerUnit) < 2);
    QVERIFY(qAbs(last[1] - 240 * kPointsPerUnit) < 2);
  }

  void progressEvery500msAndCancel() {
    Doc d(Repeat("x", 40));
    // The clock advances 100 ms each time it is read.
    int64_t now = 0;
    FakeProgress progress;
    Laid laid(d.doc, &progress, [&now] { return now += 100; });
    QVERIFY(laid.completed);
    QCOMPARE(progress.begun_with, 39);
    QVERIFY(progress.updates.size() >= 5);
    QCOMPARE(progress.updates.front().second, 1);
    QVERIFY(progress.updates.front().first > 0);

    FakeProgress cancelling;
    cancelling.cancel_at = 5;
    Laid cancelled(d.doc, &cancelling);
    QVERIFY(!cancelled.completed);
    QCOMPARE(cancelled.job.pageCount(), 0);
    QVERIFY(!cancelled.job.layout().valid());
    // Nothing printed, not even an empty page.
    FakeProgress again;
    again.cancel_at = 0;
    QVERIFY(PrintPdf(d.doc, d.Pdf(), &again) == PagePrinter::Result::kNothing);
    QVERIFY(!QFile::exists(QString::fromStdString(d.Pdf())));
  }

  void progressDialogTexts() {
    CProgressDialog dialog(nullptr);
    DialogLayoutProgress progress(&dialog);
    progress.Begin(20);
    progress.Update(5, 20, 1);
    QCOMPARE(dialog.findChild<QLabel*>("message")->text(),
             QStringLiteral("Computing page layout.\nLine 5 of 20 \nPage 1\n\nPlease wait . . ."));
    QVERIFY(dialog.findChild<QWidget*>("progressBar")->isVisibleTo(&dialog));
    QVERIFY(!progress.Cancelled());
    dialog.reject();  // the user's Cancel
    QVERIFY(progress.Cancelled());
    bool gone = true;
    DialogLayoutProgress closed(&dialog, [&gone] { return gone; });
    QVERIFY(closed.Cancelled());
  }

  // The last page ends with the integrity summary in the footer's font, on a
  // page of its own when the last page is full.
  void integritySummaryEndsTheLastPage() {
    NEEDS_PDF_TEXT();
    Doc d({"a", "b", "c"});
    QVERIFY(PrintPdf(d.doc, d.Pdf()) == PagePrinter::Result::kPrinted);
    QCOMPARE(PdfPages(d.Pdf()), 1);
    const std::string bytes = d.dir.Read("doc.qbd");
    const QString sha = QString::fromStdString(qb::Sha256HexOf(bytes.data(), bytes.size()));
    QString text = PdfPageText(d.Pdf(), 1).simplified();
    QVERIFY2(text.contains("Integrity: 6 records checked, 0 manipulated, 0 recording sessions, "
                           "older printouts overwritten: unknown."),
             qPrintable(text));
    QVERIFY(text.contains("SHA-256 of the record file doc.qbd: " + sha));
    QVERIFY(text.indexOf("Integrity:") > text.indexOf(" c "));

    // As many lines as fill one page: the summary takes a second page.
    int fill = 1;
    for (int n = 40; n < 200; ++n) {
      Doc probe(Repeat("x", n));
      Laid laid(probe.doc);
      if (laid.job.layout().pageCount() > 1) break;
      fill = n;
    }
    Doc full(Repeat("x", fill));
    Laid laid(full.doc);
    QCOMPARE(laid.job.layout().pageCount(), 1);
    QCOMPARE(laid.job.pageCount(), 2);
    QVERIFY(PrintPdf(full.doc, full.Pdf()) == PagePrinter::Result::kPrinted);
    QCOMPARE(PdfPages(full.Pdf()), 2);
    QVERIFY(!PdfPageText(full.Pdf(), 1).contains("Integrity:"));
    QVERIFY(PdfPageText(full.Pdf(), 1).contains("Page 1/2"));
    QString last = PdfPageText(full.Pdf(), 2);
    QVERIFY(last.contains("Integrity:") && last.contains("Page 2/2"));
  }

  void pagesOfThePdf() {
    NEEDS_PDF_TEXT();
    std::string comment = "  " + std::string(70, 'c') + "\r\n" + std::string(30, 'd') + "  ";
    Doc d({"p1", kFormFeed, "p2", kFormFeed, "p3", kFormFeed, "p4", kFormFeed, "p5", kFormFeed,
           kFormFeed},
          comment);
    QVERIFY(PrintPdf(d.doc, d.Pdf()) == PagePrinter::Result::kPrinted);
    QCOMPARE(PdfPages(d.Pdf()), 5);
    QString page2 = PdfPageText(d.Pdf(), 2);
    QVERIFY2(page2.contains(QStringLiteral("Page 2/5")), qPrintable(page2));
    QVERIFY(page2.contains(QStringLiteral("p2")));
    QVERIFY(!page2.contains(QStringLiteral("p1")) && !page2.contains(QStringLiteral("p3")));
    QVERIFY(page2.contains(QStringLiteral("Quillbank Manager V1.0.3.1")));
    QVERIFY(page2.contains(QStringLiteral("Card manager for the Quillbank printer data recorder")));
    QVERIFY(page2.contains(QRegularExpression(
        QStringLiteral("Printed \\d\\d [A-Z][a-z][a-z] \\d{4} \\d\\d:\\d\\d:\\d\\d"))));
    QVERIFY(page2.contains(QStringLiteral("File: doc.qbd")));
    // The comment on one line, its first 80 characters without CR and LF.
    QString expected = QString(70, 'c') + QString(10, 'd');
    QVERIFY(page2.contains(expected + QLatin1Char('\n')));
    QVERIFY(!page2.contains(expected + QLatin1Char('d')));
    QVERIFY(PdfPageText(d.Pdf(), 5).contains(QStringLiteral("Page 5/5")));

    // A page range ends at the last page.
    QFile::remove(QString::fromStdString(d.Pdf()));
    QVERIFY(PrintPdf(d.doc, d.Pdf(), nullptr, 4, 9) == PagePrinter::Result::kPrinted);
    QCOMPARE(PdfPages(d.Pdf()), 2);
    QVERIFY(PdfPageText(d.Pdf(), 1).contains(QStringLiteral("Page 4/5")));
  }

  void highBytesPrintAsTheWindowsCharacterSet() {
    NEEDS_PDF_TEXT();
    Doc d({"price 5\x80 \x93ok\x94 \x85"}, "\x96tag\x96");
    QVERIFY(PrintPdf(d.doc, d.Pdf()) == PagePrinter::Result::kPrinted);
    QString page = PdfPageText(d.Pdf(), 1);
    QVERIFY2(page.contains(QString::fromUtf16(u"price 5\u20AC \u201Cok\u201D \u2026")),
             qPrintable(page));
    QVERIFY2(page.contains(QString::fromUtf16(u"\u2013tag\u2013")), qPrintable(page));
  }

  void headerRuleUnderAllHeaderText() {
    Doc d({"a"}, "Comment on the right");
    Laid laid(d.doc);
    QImage page = PageImage(laid.job, 1);
    // Rows of the header band and the gap below it (0.5 mm a row).
    PageRects r = PageRectsFor();
    int rule = -1, ink_below = 0;
    for (int y = static_cast<int>(r.header.top() / 5); y < r.body.top() / 5 - 1; ++y) {
      int dark = 0;
      for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 160 ? 1 : 0;
      if (rule < 0 && dark > page.width() * 8 / 10) rule = y;
      if (rule >= 0 && y > rule + 1) ink_below += dark;
    }
    QVERIFY(rule > 0);
    // The comment is in the right half above the rule, nothing below it.
    QCOMPARE(ink_below, 0);
    int comment_ink = 0;
    for (int y = rule - 10; y < rule; ++y)
      for (int x = page.width() / 2; x < page.width(); ++x)
        comment_ink += qGray(page.pixel(x, y)) < 160 ? 1 : 0;
    QVERIFY(comment_ink > 20);
  }

  void headerCommentCut() {
    QCOMPARE(HeaderComment("  ab\r\ncd  "), QStringLiteral("abcd"));
    QCOMPARE(HeaderComment(std::string(100, 'x')), QString(80, 'x'));
    QCOMPARE(HeaderComment("   "), QString());
  }

  void bodyColoursAndNoFormFeedRule() {
    qb::AppSettings().SetShowUnknownPrinterEsc(1);
    Doc d({"abc\x07", "plain",
           "\x1b"
           "E",
           "x", kFormFeed, "y"});
    Laid laid(d.doc);
    QCOMPARE(laid.job.pageCount(), 2);
    QImage page1 = PageImage(laid.job, 1);
    QVERIFY(Count(page1, IsRed) > 10);
    QVERIFY(Count(page1, IsLightRed) > 50);
    // Page 2 holds the form feed and "y": no rule across the body.
    QImage page2 = PageImage(laid.job, 2);
    QCOMPARE(Count(page2, IsRed), 0);
    PageRects r = PageRectsFor();
    for (int y = static_cast<int>(r.body.top() / 5) + 1; y < r.body.bottom() / 5 - 1; ++y) {
      int dark = 0;
      for (int x = 0; x < page2.width(); ++x) dark += qGray(page2.pixel(x, y)) < 128 ? 1 : 0;
      QVERIFY2(dark < page2.width() / 2, qPrintable(QString::number(y)));
    }
    // Beyond the last page nothing is drawn.
    QImage page3 = PageImage(laid.job, 3);
    QCOMPARE(Count(page3, [](QRgb p) { return qGray(p) < 128; }), 0);
  }

  void previewShowsOnePageAndStopsAtTheLast() {
    qb::test::TempDir dir;
    std::string path = dir.Write(
        "p.qbd", qb::test::RecordFileWithLines({"a", kFormFeed, "b", kFormFeed, "c", kFormFeed}));
    auto doc = std::make_unique<CQuillbankManagerDoc>();
    QVERIFY(doc->OpenDocument(QString::fromStdString(path)));
    PrintCommands commands(nullptr);
    std::unique_ptr<QPrintPreviewDialog> preview(commands.CreatePreview(doc.get()));
    preview->show();
    auto* widget = preview->findChild<QPrintPreviewWidget*>();
    QVERIFY(widget != nullptr);
    QTRY_COMPARE(widget->pageCount(), 3);
    QCOMPARE(widget->viewMode(), QPrintPreviewWidget::SinglePageView);
    QCOMPARE(widget->currentPage(), 1);
    for (int step = 0; step < 5; ++step) widget->setCurrentPage(widget->currentPage() + 1);
    QCOMPARE(widget->currentPage(), 3);
    QCOMPARE(widget->pageCount(), 3);
    preview->close();
  }

  void printCommandsOfTheMainFrame() {
    qb::test::TempDir dir;
    std::string path = dir.Write("m.qbd", qb::test::RecordFileWithLines({"a", kFormFeed, "b"}));
    CMainFrame frame;
    PrintCommands commands(&frame);
    commands.Attach(&frame);
    QVERIFY(frame.OpenDocumentFile(QString::fromStdString(path)) != nullptr);
    QString pdf = QString::fromStdString(dir.File("m.pdf"));

    int asked = 0;
    bool accept = false;
    commands.SetPrintDialog([&](QPrinter& printer, QWidget* parent) {
      ++asked;
      if (parent != &frame) return false;
      printer.setOutputFileName(pdf);
      return accept;
    });
    frame.command("filePrint")->trigger();  // declined
    QCOMPARE(asked, 1);
    QVERIFY(!QFile::exists(pdf));
    accept = true;
    frame.command("filePrint")->trigger();
    QCOMPARE(asked, 2);
    QCOMPARE(PdfPages(pdf.toStdString()), 2);
    QVERIFY(commands.progressDialog() == nullptr);

    QFile::remove(pdf);
    frame.command("filePrintDirect")->trigger();  // no dialog, same printer
    QCOMPARE(asked, 2);
    QCOMPARE(PdfPages(pdf.toStdString()), 2);

    // A PDF file that cannot be made or written says why, and nothing takes
    // its name.
    std::string plain = dir.Write("plain", "x");
#ifdef _WIN32
    constexpr int kFileAsFolder = ENOENT;  // Windows finds no such path
#else
    constexpr int kFileAsFolder = ENOTDIR;
#endif
    std::vector<std::pair<std::string, int>> failures = {{dir.File("no/such/dir/x.pdf"), ENOENT},
                                                         {plain + "/x.pdf", kFileAsFolder}};
#ifndef _WIN32
    failures.emplace_back("/dev/full", ENOSPC);
    if (::geteuid() != 0) {
      QVERIFY(QDir().mkpath(QString::fromStdString(dir.File("locked"))));
      QVERIFY(::chmod(dir.File("locked").c_str(), 0555) == 0);
      failures.emplace_back(dir.File("locked/x.pdf"), EACCES);
    }
#endif
    for (const auto& [target, error] : failures) {
      commands.printer().setOutputFileName(QString::fromStdString(target));
      QString seen;
      QTimer poll;
      connect(&poll, &QTimer::timeout, [&seen, &poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          seen = box->text();
          box->accept();
          poll.stop();
        }
      });
      poll.start(10);
      QVERIFY(!commands.PrintDirect(frame.activeDocument()));
      QCOMPARE(seen,
               QStringLiteral("ERROR!\nCannot write file\n%1\n\n(%2)")
                   .arg(QString::fromStdString(target), QString::fromLocal8Bit(strerror(error))));
    }
    QCOMPARE(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"m.pdf", "m.qbd", "plain"}));
  }

  void printToPdfProposesTheRecordingsName() {
    // The print dialog proposes NAME.pdf in the recording's folder for
    // printing into a PDF file, whatever the current folder.
    qb::test::TempDir dir;
    std::string path = dir.Write("LOG 7.v2.qbd", qb::test::RecordFileWithLines({"a"}));
    QCOMPARE(ProposedPdfName("/data/LOG1.qbd"), QFileInfo("/data/LOG1.pdf").absoluteFilePath());
    QCOMPARE(ProposedPdfName(""), QString());
#ifdef _WIN32
    QSKIP("Windows' print dialog is the system's: its file name cannot be read here");
#endif
    CMainFrame frame;
    PrintCommands commands(&frame);
    commands.Attach(&frame);
    QVERIFY(frame.OpenDocumentFile(QString::fromStdString(path)) != nullptr);
    QString proposed;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&proposed, &poll] {
      if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
        // As the user chooses printing into a file (the list's last entry).
        if (auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers")))
          printers->setCurrentIndex(printers->count() - 1);
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
          proposed = name->text();
        dialog->reject();
        poll.stop();
      }
    });
    poll.start(10);
    frame.command("filePrint")->trigger();
    QCOMPARE(proposed, QString::fromStdString(dir.File("LOG 7.v2.pdf")));
  }

  void printSetupShowsThePageSetup() {
#ifdef _WIN32
    QSKIP("Windows' page setup is the system's dialog, for a system printer only");
#endif
    CMainFrame frame;
    PrintCommands commands(&frame);
    commands.Attach(&frame);
    bool seen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&seen, &poll] {
      if (auto* dialog = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget())) {
        seen = true;
        dialog->reject();
        poll.stop();
      }
    });
    poll.start(10);
    frame.command("filePrintSetup")->trigger();  // also without a document
    QVERIFY(seen);
  }

  void commandLine() {
    CommandLine line = ParseCommandLine({"/p", "a.qbd"});
    QVERIFY(line.print);
    QCOMPARE(line.files, QStringList{"a.qbd"});
    line = ParseCommandLine({"--print-to-pdf", "out.pdf", "a.qbd"});
    QCOMPARE(line.print_to_pdf, QStringLiteral("out.pdf"));
    QCOMPARE(line.files, QStringList{"a.qbd"});
    QVERIFY(!line.bad_print_to_pdf);
    QVERIFY(ParseCommandLine({"--print-to-pdf"}).bad_print_to_pdf);
  }

  void printToPdfWithoutADisplay() {
    NEEDS_PDF_TEXT();
    Doc d({"first", kFormFeed, "second"}, "Headless");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    QString pdf = QString::fromStdString(d.Pdf());
    program.start(QStringLiteral(QB_MANAGER_BINARY),
                  {"--print-to-pdf", pdf, QString::fromStdString(d.path)});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(PdfPages(d.Pdf()), 2);
    QVERIFY(PdfPageText(d.Pdf(), 2).contains(QStringLiteral("second")));
    QVERIFY(PdfPageText(d.Pdf(), 2).contains(QStringLiteral("Headless")));

    // A PDF that cannot be written whole fails with the system's reason.
    QString record = QString::fromStdString(d.path);
    QString below_file = QString::fromStdString(d.dir.Write("plain", "x") + "/x.pdf");
    const struct {
      QStringList arguments;
      int status;
      QString reason;  // empty: any
    } failures[] = {
        {{"--print-to-pdf", pdf}, 2, {}},
        {{"--print-to-pdf"}, 2, {}},
        {{"--print-to-pdf", pdf, QString::fromStdString(d.dir.File("missing.qbd"))}, 1, {}},
        {{"--print-to-pdf", "/dev/full", record}, 1, QString::fromLocal8Bit(strerror(ENOSPC))},
        {{"--print-to-pdf", below_file, record}, 1, QString::fromLocal8Bit(strerror(ENOTDIR))},
    };
    for (const auto& failure : failures) {
      program.start(QStringLiteral(QB_MANAGER_BINARY), failure.arguments);
      QVERIFY(program.waitForFinished(60000));
      QCOMPARE(program.exitCode(), failure.status);
      QString err = QString::fromLocal8Bit(program.readAllStandardError());
      QVERIFY(!err.isEmpty());
      QVERIFY2(err.contains(failure.reason), qPrintable(err));
      QVERIFY(program.readAllStandardOutput().isEmpty());
    }
  }
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"
