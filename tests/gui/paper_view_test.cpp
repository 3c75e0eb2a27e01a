// The paper view: switching a window between its lines and its pages (the
// command, its tick, the setting, the line kept both ways), how a page is
// drawn (dots, text, what a manipulated record made in red with its bar and
// warning), zoom and navigation, Find on the printed text, the Paper
// printout dialog, and printing the printer's pages (PDF text and images,
// placing on the sheet, Print in paper mode, the headless
// --print-to-pdf --paper).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/page_layout.h"
#include "app/paper_find.h"
#include "app/paper_painter.h"
#include "app/paper_printer.h"
#include "app/paper_settings_dialog.h"
#include "app/paper_view.h"
#include "app/pdf_file.h"
#include "app/print_commands.h"
#include "app/search_dialog.h"
#include "app/text_view.h"
#include "base/messages.h"
#include "document/record_document.h"
#include "gui_fixture.h"
#include "printout/printout_units.h"
#include "support/printout_pages.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace {

using qb::InchSteps;

// A bit-image strip of `columns` columns at 60 dots per inch, each column
// `dots` (no column may be ETX, which ends a recorded frame).
std::string Strip(int columns, char dots) {
  return "\x1BK" + std::string(1, static_cast<char>(columns)) + std::string(1, '\0') +
         std::string(static_cast<size_t>(columns), dots);
}

// "Müller" and "Wägeprotokoll" as a code page 437 printer gets them.
const std::string kMueller437 = "M\x81ller";
const std::string kProtocol437 = "W\x84geprotokoll";

// A line of a record file: its bytes, and whether it fails its check.
struct Line {
  Line(std::string text, bool broken = false) : bytes(std::move(text)), manipulated(broken) {}
  Line(const char* text) : bytes(text) {}
  std::string bytes;
  bool manipulated = false;
};

// A record file of the lines.
struct File {
  explicit File(const std::vector<Line>& lines) {
    qb::test::RecordFileBuilder builder;
    builder.Head("Paper");
    for (const Line& line : lines) {
      builder.Line(line.bytes);
      if (line.manipulated) builder.BreakChecksum();
    }
    path = dir.Write("paper.qbd", builder.End().bytes());
  }
  qb::test::TempDir dir;
  std::string path;
};

// A loaded document and a paper view on it, shown and laid out.
struct Paper {
  explicit Paper(const std::vector<Line>& lines) : file(lines) {
    if (!doc.LoadRecordFile(file.path)) qFatal("test document did not load");
    view = std::make_unique<CPaperView>(&doc, nullptr);
    view->resize(800, 600);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()) || !view->Paginate()) qFatal("no pages");
  }
  File file;
  qb::RecordDocument doc;
  std::unique_ptr<CPaperView> view;
};

std::vector<Line> NumberedLines(int count) {
  std::vector<Line> lines;
  for (int i = 0; i < count; ++i) lines.emplace_back("line " + std::to_string(i) + "\r\n");
  return lines;
}

// What the next modal box showed, closing it.
void OnNextBox(QString& text) {
  QTimer::singleShot(0, [&text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->accept();
    }
  });
}

// Runs `act` on the next modal dialog of type T.
template <class T>
void OnNextDialog(std::function<void(T&)> act) {
  QTimer::singleShot(0, [act] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) act(*dialog);
  });
}

// A page drawn at `scale` pixels per page unit, its top-left part.
QImage Draw(const qb::Page& page, double scale, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::gray);
  QPainter painter(&image);
  painter.scale(scale, scale);
  PaperPainter().Draw(painter, page, {});
  return image;
}

bool IsBlack(QRgb p) {
  return qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80;
}
bool IsRed(QRgb p) {
  return qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90;
}
int Count(const QImage& image, const QRect& area, bool (*match)(QRgb)) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += match(image.pixel(x, y)) ? 1 : 0;
  return n;
}

#ifdef _WIN32
#define NEEDS_POPPLER() QSKIP("PDF text comes from poppler's Linux programs")
#else
#define NEEDS_POPPLER()
#endif

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0)
    qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
  return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const std::string& pdf) {
  static const QRegularExpression kPages(QStringLiteral("Pages:\\s+(\\d+)"));
  return kPages.match(Run("pdfinfo", {QString::fromStdString(pdf)})).captured(1).toInt();
}

}  // namespace

class PaperViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { qb::test::ClearSettings(); }

  void switchingKeepsTheLineBothWays() {
    qb::test::AppFixture app;
    File file(NumberedLines(200));
    CChildFrame* child = app.frame->OpenDocumentFile(QString::fromStdString(file.path));
    QVERIFY(child);
    auto* lines = qobject_cast<CQuillbankManagerView*>(child->activeView());
    QAction* paper = app.frame->command("viewPaper");
    QVERIFY(!child->paperMode() && !paper->isChecked());
    QVERIFY(!app.frame->command("viewZoomIn")->isEnabled());
    QVERIFY(app.frame->command("windowSplit")->isEnabled());

    lines->VScroll(CQuillbankManagerView::kThumbPosition, 150);
    paper->trigger();
    QVERIFY(child->paperMode() && paper->isChecked());
    QVERIFY(app.frame->command("viewZoomIn")->isEnabled());
    QVERIFY(!app.frame->command("windowSplit")->isEnabled());
    QCOMPARE(qb::AppSettings().PaperView(), 1);
    CPaperView* view = child->paperView();
    QCOMPARE(child->activeView(), view);
    // 70 lines of 1/6 inch to an A4 page: line 150 is on the third.
    QCOMPARE(view->pageCount(), 3);
    QCOMPARE(view->topPage(), 2);
    QCOMPARE(view->CurrentLine(), 150);

    // The frame's line steps move the paper by a line of print each.
    for (int i = 0; i < 12; ++i) app.frame->command("navLineDown")->trigger();
    QCOMPARE(view->CurrentLine(), 162);
    paper->trigger();
    QVERIFY(!child->paperMode() && !paper->isChecked());
    QCOMPARE(lines->topLine(), 162);
    QCOMPARE(qb::AppSettings().PaperView(), 0);

    // New windows open as the last one was switched.
    paper->trigger();
    CChildFrame* second = app.frame->NewWindow();
    QVERIFY(second->paperMode());
    QVERIFY(paper->isChecked());
  }

  void pagesShowDotsTextAndManipulatedRecords() {
    // A strip of four columns (dots, none, dots, none), a manipulated line
    // and a valid one, on 1/6 inch lines.
    const char strip_bytes[] = "\x1BK\x04\x00\xFF\x00\xFF\x00\r\n";
    qb::test::MemoryPrintout source(
        {{std::string(strip_bytes, sizeof strip_bytes - 1)}, {"Probe 4\r\n", true}, {"Valid\r\n"}});
    std::vector<qb::Page> pages = qb::test::PrintPages(source);
    QCOMPARE(pages.size(), size_t{1});
    const double scale = 0.1;  // 216 pixels an inch
    QImage image = Draw(pages[0], scale, 1200, 140);

    const qb::BitImage& strip = pages[0].images[0];
    auto column = [&](int c) {
      return QRect(static_cast<int>((strip.x + c * strip.dotPitchX) * scale) + 1,
                   static_cast<int>(strip.y * scale) + 1,
                   static_cast<int>(strip.dotPitchX * scale) - 2,
                   static_cast<int>(strip.Height() * scale) - 2);
    };
    QCOMPARE(Count(image, column(0), IsBlack), column(0).width() * column(0).height());
    QCOMPARE(Count(image, column(1), IsBlack), 0);
    QCOMPARE(Count(image, column(2), IsBlack), column(2).width() * column(2).height());

    // The manipulated line: red text, the red bar left of it and its
    // warning on its right; the valid line below has no red.
    const int line = static_cast<int>(InchSteps(1, 6) * scale);
    const QRect probe(0, line, 1200, line - 2);
    const QRect valid(0, 2 * line + 1, 1200, line - 2);
    QVERIFY(Count(image, QRect(0, line, 30, line - 2), IsRed) > 20);    // the bar
    QVERIFY(Count(image, QRect(30, line, 160, line - 2), IsRed) > 50);  // the text
    std::vector<WarningPlace> warnings = WarningPlaces(pages[0]);
    QCOMPARE(warnings.size(), size_t{1});
    const QRectF box = warnings[0].box;
    QVERIFY(box.left() > pages[0].texts[0].x + pages[0].texts[0].Width());
    QVERIFY(Count(image, QRectF(box.topLeft() * scale, box.size() * scale).toRect(), IsRed) > 100);
    QVERIFY(Count(image, probe, IsBlack) < 10);
    QCOMPARE(Count(image, valid, IsRed), 0);
    QVERIFY(Count(image, valid, IsBlack) > 20);
  }

  void rowsReadAsThePageReads() {
    // National characters after the printer's table, runs of several styles
    // as one word, blanks for a tab, and the warning as a row of its own.
    std::vector<qb::Page> pages =
        qb::test::PrintPages({"Pr\x81"
                              "fer: J\x81rgen " +
                                  kMueller437 + "\r\n",
                              "Re\x1B"
                              "Esu\x1B"
                              "Flt\tok\r\n"});
    std::vector<PaperRow> rows = PaperRows(pages[0]);
    QCOMPARE(rows.size(), size_t{2});
    QCOMPARE(QString::fromStdU32String(rows[0].text), QStringLiteral("Prüfer: Jürgen Müller"));
    QCOMPARE(QString::fromStdU32String(rows[1].text), QStringLiteral("Result  ok"));
    PaperHit hit = FindInRows(rows, U"Result", 0, 0);
    QVERIFY(hit.found());
    QCOMPARE(hit.row, 1);
    // One box across the three runs of the word.
    std::vector<QRectF> boxes = HitBoxes(pages[0], rows[1], hit.start, hit.length);
    QCOMPARE(boxes.size(), size_t{1});
    QCOMPARE(boxes[0].width(), 6.0 * InchSteps(1, 10));
    QVERIFY(!FindInRows(rows, U"Result", 1, 1).found());
  }

  void findShowsTheHitOnItsPage() {
    Paper p({{"Pr\x81"
              "fer: " +
                  kMueller437 + "\r\n\f",
              false},
             {"second " + kMueller437 + "\r\n", false},
             {"tampered\r\n", true}});
    QCOMPARE(p.view->pageCount(), 2);
    // Typed as the dialog takes it; found as the page shows it.
    p.doc.SetFindText("M\xFCller");
    p.view->FindAgain();
    QCOMPARE(p.view->hit().page, 0);
    QCOMPARE(p.view->hit().start, 8);
    p.view->FindAgain();
    QCOMPARE(p.view->hit().page, 1);
    QCOMPARE(p.view->topPage(), 1);
    QString seen;
    OnNextBox(seen);
    p.view->FindAgain();
    QCOMPARE(seen, QStringLiteral("Cannot find the string 'Müller'"));
    QVERIFY(!p.view->hit().found());
    p.view->FindAgain();
    QCOMPARE(p.view->hit().page, 0);
    // The warning beside a manipulated record is found too.
    p.doc.SetFindText("manipulated");
    OnNextDialog<CSearchDialog>([](CSearchDialog& dialog) { dialog.accept(); });
    p.view->Find();
    QCOMPARE(p.view->hit().page, 1);
  }

  void manipulatedRecordsOneAfterAnother() {
    std::vector<Line> lines = NumberedLines(200);
    lines[40].manipulated = true;
    lines[150].manipulated = true;
    Paper p(lines);
    p.view->NextManipulated();
    QCOMPARE(p.view->CurrentLine(), 40);
    p.view->NextManipulated();
    QCOMPARE(p.view->CurrentLine(), 150);
    QCOMPARE(p.view->topPage(), 2);
    p.view->NextManipulated();  // none after it: it stays
    QCOMPARE(p.view->CurrentLine(), 150);
    p.view->PreviousManipulated();
    QCOMPARE(p.view->CurrentLine(), 40);
  }

  void zoomAndSteps() {
    Paper p(NumberedLines(300));
    CPaperView& view = *p.view;
    QVERIFY(view.fitsWidth());
    const double fit = view.Scale();
    view.ZoomIn();
    QVERIFY(!view.fitsWidth());
    QVERIFY(view.Scale() > fit);
    view.ZoomOut();
    view.ZoomOut();
    QVERIFY(view.Scale() < fit);
    view.FitWidth();
    QCOMPARE(view.Scale(), fit);
    view.End();
    QCOMPARE(view.topPage(), view.pageCount() - 1);
    QCOMPARE(view.CurrentLine() / 70, 4);
    view.PageStart();
    QCOMPARE(view.topPage(), 0);
    QCOMPARE(view.CurrentLine(), 0);
    view.PageDown();
    QVERIFY(view.CurrentLine() > 10);
    view.PageUp();
    QCOMPARE(view.CurrentLine(), 0);
    // Zoomed in, the page is wider than the window: across and back.
    view.ZoomIn();
    view.ZoomIn();
    view.LineEnd();
    QVERIFY(view.hScrollPos() > 0);
    view.LineHome();
    QCOMPARE(view.hScrollPos(), 0);
  }

  void paperDialogSetsThePrinter() {
    qb::test::AppFixture app;
    File file({kProtocol437 + "\r\n"});
    CChildFrame* child = app.frame->OpenDocumentFile(QString::fromStdString(file.path));
    app.frame->command("viewPaper")->trigger();
    CPaperView* view = child->paperView();
    QCOMPARE(view->settings().table, qb::CharacterTable::kCp437);

    // Cancel changes nothing.
    OnNextDialog<CPaperSettingsDialog>([](CPaperSettingsDialog& dialog) {
      dialog.findChild<QComboBox*>("characterTable")->setCurrentIndex(1);
      dialog.reject();
    });
    app.frame->command("optionsPaper")->trigger();
    QCOMPARE(qb::AppSettings().PrintoutTable(), std::string("437"));

    OnNextDialog<CPaperSettingsDialog>([](CPaperSettingsDialog& dialog) {
      auto* printer = dialog.findChild<QComboBox*>("printer");
      printer->setCurrentIndex(printer->findData(QStringLiteral("24-pin")));
      auto* table = dialog.findChild<QComboBox*>("characterTable");
      table->setCurrentIndex(table->findData(QStringLiteral("850")));
      auto* paper = dialog.findChild<QComboBox*>("paper");
      paper->setCurrentIndex(paper->findData(QStringLiteral("fanfold12")));
      dialog.findChild<QDoubleSpinBox*>("leftMargin")->setValue(12.5);
      dialog.accept();
    });
    app.frame->command("optionsPaper")->trigger();
    const qb::PrintoutSettings stored = qb::AppSettings().Printout();
    QCOMPARE(stored.model, qb::PrinterModel::kTwentyFourPin);
    QCOMPARE(stored.table, qb::CharacterTable::kCp850);
    QCOMPARE(stored.paper, qb::Paper::kFanfold12);
    QCOMPARE(stored.leftMargin, 125);
    // The window shown as paper is laid out again with it.
    QCOMPARE(view->settings().table, qb::CharacterTable::kCp850);
    QVERIFY(view->paginated());
    QCOMPARE(view->PageAt(0)->width, qb::SizeOfPaper(qb::Paper::kFanfold12).width);
  }

  void printerPagesSitInTheBody() {
    const QRectF body = PageRectsFor().body;
    const qb::PaperSize a4 = qb::SizeOfPaper(qb::Paper::kA4);
    struct Case {
      const char* name;
      double width, height;  // page units
      double scale;          // expected
    } cases[] = {
        {"A4 is scaled to the body's height", static_cast<double>(a4.width),
         static_cast<double>(a4.height), body.height() / (a4.height * 254.0 / 2160)},
        {"an 8 inch page of 5 inch lines keeps its size", 5.0 * InchSteps(1, 1),
         8.0 * InchSteps(1, 1), 1.0},
        {"a wide page is scaled to the body's width", 14.0 * InchSteps(1, 1), 6.0 * InchSteps(1, 1),
         body.width() / (InchSteps(14, 1) * 254.0 / 2160)},
    };
    for (const Case& c : cases) {
      const QRectF place = PaperPrinter::PlaceInBody(c.width, c.height, body);
      QVERIFY2(qAbs(place.width() / (c.width * 254.0 / 2160) - c.scale) < 1e-9, c.name);
      QVERIFY2(qAbs(place.height() / (c.height * 254.0 / 2160) - c.scale) < 1e-9, c.name);
      QVERIFY2(place.top() == body.top(), c.name);
      QVERIFY2(qAbs(place.center().x() - body.center().x()) < 1e-9, c.name);
      QVERIFY2(body.contains(place.adjusted(0.001, 0.001, -0.001, -0.001)), c.name);
    }
  }

  void summaryFollowsTheLastPrinterPage() {
    struct Case {
      const char* name;
      std::vector<Line> lines;
      int sheets;
    } cases[] = {
        // An A4 page fills the body: the summary takes a sheet of its own.
        {"A4 pages", {"one\r\n\f", "two\r\n"}, 3},
        // An 8 inch page leaves room under it.
        {"8 inch pages",
         {std::string("\x1B"
                      "C\x00\x08",
                      4) +
              "one\r\n\f",
          "two\r\n"},
         2},
    };
    for (const Case& c : cases) {
      File file(c.lines);
      qb::RecordDocument doc;
      QVERIFY(doc.LoadRecordFile(file.path));
      PaperPrinter job(doc);
      job.BeginJob();
      QVERIFY(!job.summary().isEmpty());
      QVERIFY(job.Layout(nullptr));
      QVERIFY2(job.pageCount() == c.sheets, c.name);
    }
  }

  void pdfHoldsTextAndImagesAtTheirResolution() {
    NEEDS_POPPLER();
    // A strip of 100 columns that two records print, 60 and 40 columns.
    const std::string strip = Strip(100, '\x7E');
    File file({kProtocol437 + "\r\n", strip.substr(0, 64), strip.substr(64) + "\r\n", "\f",
               "second page\r\n"});
    qb::RecordDocument doc;
    QVERIFY(doc.LoadRecordFile(file.path));
    PaperPrinter job(doc);
    job.BeginJob();
    PdfFileJob pdf;
    pdf.path = QString::fromStdString(file.dir.File("paper.pdf"));
    pdf.layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    QVERIFY(PrintPdfFile(job, pdf, nullptr).result == PageJob::Result::kPrinted);
    const std::string out = file.dir.File("paper.pdf");
    // Two printer pages, each filling the body, and the integrity summary on
    // a sheet of its own.
    QCOMPARE(PdfPages(out), 3);
    const QString first =
        Run("pdftotext", {"-f", "1", "-l", "1", QString::fromStdString(out), "-"});
    QVERIFY2(first.contains(QStringLiteral("Wägeprotokoll")), qPrintable(first));
    QVERIFY(first.contains(QStringLiteral("Quillbank Manager V")));
    QVERIFY(first.contains(QStringLiteral("Page 1/3")));
    const QString last = Run("pdftotext", {"-f", "3", "-l", "3", QString::fromStdString(out), "-"});
    QVERIFY2(last.contains(QStringLiteral("SHA-256 of the record file")), qPrintable(last));
    // The strip is one image of 100 by 8 dots, not smoothed (with the mask
    // that keeps its ground transparent), though two records printed it.
    QStringList images;
    for (const QString& line : Run("pdfimages", {"-list", QString::fromStdString(out)}).split('\n'))
      if (line.simplified().split(' ').value(2) == QLatin1String("image")) images.append(line);
    QCOMPARE(images.size(), 1);
    const QStringList fields = images[0].simplified().split(' ');
    QCOMPARE(fields.value(3), QStringLiteral("100"));
    QCOMPARE(fields.value(4), QStringLiteral("8"));
    QCOMPARE(fields.value(9), QStringLiteral("no"));  // no interpolation
  }

  void printInPaperModePrintsThePrinterPages() {
    NEEDS_POPPLER();
    qb::test::AppFixture app;
    PrintCommands print(app.frame.get());
    print.Attach(app.frame.get());
    const std::string pdf = app.dir.File("out.pdf");
    print.SetPrintDialog([&pdf](QPrinter& printer, QWidget*) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    });
    // Two printer pages of two short lines: one line page, the summary under
    // its lines; two sheets of printer pages and the summary's own.
    File file({"one\r\n\f", "two\r\n"});
    app.frame->OpenDocumentFile(QString::fromStdString(file.path));
    app.frame->command("filePrint")->trigger();
    QCOMPARE(PdfPages(pdf), 1);
    app.frame->command("viewPaper")->trigger();
    app.frame->command("filePrint")->trigger();
    QCOMPARE(PdfPages(pdf), 3);
  }

  void printToPdfFromTheCommandLine() {
#if defined(_WIN32) || !defined(QB_MANAGER_BINARY)
    QSKIP("runs the Linux program");
#else
    File file({kProtocol437 + "\r\n\f", "two\r\n"});
    const QString pdf = QString::fromStdString(file.dir.File("cli.pdf"));
    QProcess process;
    process.start(QStringLiteral(QB_MANAGER_BINARY),
                  {"--print-to-pdf", pdf, "--paper", QString::fromStdString(file.path)});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).contains("(pages: 3)"));
    QVERIFY(Run("pdftotext", {pdf, "-"}).contains(QStringLiteral("Wägeprotokoll")));
    // --paper belongs to --print-to-pdf.
    process.start(QStringLiteral(QB_MANAGER_BINARY),
                  {"--paper", QString::fromStdString(file.path)});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
#endif
  }
};

QTEST_MAIN(PaperViewTest)
#include "paper_view_test.moc"
