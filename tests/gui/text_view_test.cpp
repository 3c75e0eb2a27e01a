#include "app/text_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/cards/app_settings.h"
#include "app/line_renderer.h"
#include "app/printer_emulation_dialog.h"
#include "app/recording_marks.h"
#include "app/search_dialog.h"
#include "document/record_document.h"
#include "format/option_text.h"
#include "format/record_kind.h"
#include "gui_fixture.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace {

using qb::test::RecordFileBuilder;

const std::string kFormFeed = "\x0c";
const std::string kCondensedOn = "\x1b\x0f";
const std::string kReset = "\x1b@";
const std::string kEmphasised =
    "\x1b"
    "E";

// A loaded document of the file's bytes.
struct Doc {
  qb::test::TempDir dir;
  qb::RecordDocument doc;
  struct Bytes {
    std::string bytes;
  };
  explicit Doc(const Bytes& file) {
    bool loaded = doc.LoadRecordFile(dir.Write("doc.qbd", file.bytes));
    if (!loaded) qFatal("test document did not load");
    (void)doc.facts();  // complete before the first paint, as its marks need them
  }
  explicit Doc(const std::vector<std::string>& lines)
      : Doc(Bytes{qb::test::RecordFileWithLines(lines)}) {}
};

// A view of the document, 600 × 400 pixels.
struct View {
  explicit View(qb::RecordDocument& doc) : view(&doc, nullptr) { view.resize(600, 400); }
  QImage Image() { return view.viewport()->grab().toImage(); }
  CQuillbankManagerView view;
};

QImage Render(const std::vector<std::string>& lines, int top = 0) {
  Doc doc(lines);
  View view(doc.doc);
  view.view.VScroll(CQuillbankManagerView::kThumbPosition, top);
  return view.Image();
}

// Saves the picture to $QB_SCREENSHOT_DIR when that is set.
void Shot(const QImage& image, const char* name) {
  QByteArray folder = qgetenv("QB_SCREENSHOT_DIR");
  if (!folder.isEmpty()) image.save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

// Pixels that are not white.
bool IsInk(QRgb p) {
  return qRed(p) < 200 || qGreen(p) < 200 || qBlue(p) < 200;
}

// The columns and rows holding ink: left, right, top, bottom (right < 0 when
// there is none).
QRect InkBounds(const QImage& image) {
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!IsInk(image.pixel(x, y))) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

int CountPixels(const QImage& image, const std::function<bool(QRgb)>& match) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += match(image.pixel(x, y)) ? 1 : 0;
  }
  return n;
}

bool IsRedText(QRgb p) {
  return qRed(p) > 200 && qGreen(p) < 100 && qBlue(p) < 100;
}
bool IsLightRed(QRgb p) {
  return qRed(p) == 255 && qGreen(p) == 128 && qBlue(p) == 128;
}

// What the next modal box showed, closing it with its default button.
struct SeenBox {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
};
void OnNextBox(SeenBox& seen) {
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->text(), box->icon(), box->textFormat()};
    box->accept();
  });
}

// Runs `act` on the next modal search dialog.
void OnNextSearchDialog(std::function<void(CSearchDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<CSearchDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr) act(*dialog);
  });
}

}  // namespace

class TextViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { qb::test::UsePrinterCodeSettings(); }

  void fontsAreLiberationMonoOfTheDesignWidths() {
    LineFonts fonts;
    QCOMPARE(QFontInfo(fonts.wide()).family(), QStringLiteral("Liberation Mono"));
    QFontMetricsF wide(fonts.wide());
    QFontMetricsF narrow(fonts.narrow());
    QVERIFY(qAbs(wide.horizontalAdvance(QStringLiteral("MMMMMMMMMM")) - 300) < 6);
    QVERIFY(qAbs(narrow.horizontalAdvance(QStringLiteral("MMMMMMMMMM")) - 200) < 6);
    QVERIFY(qAbs(wide.height() - 40) < 1.5);
    fonts.Choose(false);
    QCOMPARE(fonts.current().stretch(), fonts.narrow().stretch());
    QCOMPARE(FromYUp(0, -100, 50, -300), QRectF(0, 100, 50, 200));
  }

  void verticalSteps() {
    Doc doc(std::vector<std::string>(50, "line"));
    View v(doc.doc);
    v.Image();
    int per_page = v.view.linesPerPage();
    QVERIFY(per_page > 3);
    v.view.VScroll(CQuillbankManagerView::kThumbPosition, per_page);
    v.view.PageUp();
    QCOMPARE(v.view.topLine(), 0);
    v.view.VScroll(CQuillbankManagerView::kThumbPosition, per_page + 1);
    v.view.PageUp();
    QCOMPARE(v.view.topLine(), 1);
    v.view.PageDown();
    QCOMPARE(v.view.topLine(), per_page + 1);
    v.view.LineUp();
    QCOMPARE(v.view.topLine(), per_page);
    QTest::keyClick(&v.view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(v.view.topLine(), 49);
    v.view.LineDown();
    v.view.PageDown();
    QCOMPARE(v.view.topLine(), 49);
    QTest::keyClick(&v.view, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(v.view.topLine(), 0);
    v.view.LineUp();
    QCOMPARE(v.view.topLine(), 0);
    v.view.VScroll(CQuillbankManagerView::kThumbTrack, 99);
    QCOMPARE(v.view.topLine(), 49);
    QCOMPARE(v.view.verticalScrollBar()->value(), 49);
    v.view.verticalScrollBar()->setValue(7);
    QCOMPARE(v.view.topLine(), 7);
  }

  void lineStepsPassConsumedLinesWhilePageStepsStopOnThem() {
    Doc doc({"a", kFormFeed, "b", kCondensedOn, kFormFeed});
    View v(doc.doc);
    QCOMPARE(v.view.linesPerPage(), 1);
    v.view.LineDown();
    QCOMPARE(v.view.topLine(), 2);
    v.view.LineUp();
    QCOMPARE(v.view.topLine(), 0);
    QTest::keyClick(&v.view, Qt::Key_PageDown);
    QCOMPARE(v.view.topLine(), 1);
    // Consumed lines at the end: a line-down step goes as far as it can.
    v.view.VScroll(CQuillbankManagerView::kThumbPosition, 2);
    v.view.LineDown();
    QCOMPARE(v.view.topLine(), 4);
    // Without escape scanning the condensed-on line is a line of its own.
    qb::AppSettings().SetScanPrinterEsc(0);
    v.view.VScroll(CQuillbankManagerView::kThumbPosition, 2);
    v.view.LineDown();
    QCOMPARE(v.view.topLine(), 3);
  }

  void scrollBarArrowsStepAsTheLineKeys() {
    Doc doc({"a", kFormFeed, "b", kCondensedOn, kReset, "c"});
    View v(doc.doc);
    QScrollBar* bar = v.view.verticalScrollBar();
    const struct {
      QAbstractSlider::SliderAction action;
      int expected;
    } steps[] = {
        {QAbstractSlider::SliderSingleStepAdd, 2}, {QAbstractSlider::SliderSingleStepAdd, 5},
        {QAbstractSlider::SliderSingleStepAdd, 5}, {QAbstractSlider::SliderSingleStepSub, 2},
        {QAbstractSlider::SliderSingleStepSub, 0},
    };
    for (const auto& step : steps) {
      bar->triggerAction(step.action);
      QCOMPARE(v.view.topLine(), step.expected);
      QCOMPARE(bar->value(), step.expected);
    }
    // A click on the lower arrow of the shown bar takes the same step.
    v.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v.view));
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
    QCOMPARE(v.view.topLine(), 2);
  }

  void emptyDocumentKeepsTopLineZero() {
    Doc doc(Doc::Bytes{RecordFileBuilder().Head().End().bytes()});
    View v(doc.doc);
    QCOMPARE(v.view.lastLine(), -1);
    for (auto step : {&CQuillbankManagerView::LineDown, &CQuillbankManagerView::PageDown,
                      &CQuillbankManagerView::End, &CQuillbankManagerView::LineUp,
                      &CQuillbankManagerView::PageUp, &CQuillbankManagerView::LineEnd}) {
      (v.view.*step)();
      QCOMPARE(v.view.topLine(), 0);
    }
    QCOMPARE(InkBounds(v.Image()).right(), -1);
  }

  void horizontalSteps() {
    Doc doc({"0123456789", "x"});
    View v(doc.doc);
    QTest::keyClick(&v.view, Qt::Key_End);
    QCOMPARE(v.view.hScrollPos(), 200);
    QTest::keyClick(&v.view, Qt::Key_Left);
    QCOMPARE(v.view.hScrollPos(), 180);
    QTest::keyClick(&v.view, Qt::Key_Right);
    QTest::keyClick(&v.view, Qt::Key_Right);
    QCOMPARE(v.view.hScrollPos(), 220);
    QTest::keyClick(&v.view, Qt::Key_Home);
    QCOMPARE(v.view.hScrollPos(), 0);

    const struct {
      int from;
      CQuillbankManagerView::ScrollCode code;
      int expected;
    } table[] = {
        {20, CQuillbankManagerView::kLineUp, 0},
        {15, CQuillbankManagerView::kLineUp, 0},
        {4990, CQuillbankManagerView::kLineDown, 5000},
        {250, CQuillbankManagerView::kPageUp, 0},
        {251, CQuillbankManagerView::kPageUp, 1},
        {4800, CQuillbankManagerView::kPageDown, 5000},
        {100, CQuillbankManagerView::kBottom, 5000},
        {100, CQuillbankManagerView::kTop, 0},
    };
    for (const auto& row : table) {
      v.view.HScroll(CQuillbankManagerView::kThumbPosition, row.from);
      v.view.HScroll(row.code);
      QCOMPARE(v.view.hScrollPos(), row.expected);
    }
    v.view.HScroll(CQuillbankManagerView::kThumbPosition, 9000);
    QCOMPARE(v.view.hScrollPos(), 5000);

    // Ctrl+Home goes to the top and to the left; Ctrl+Page Up leaves the column.
    v.view.VScroll(CQuillbankManagerView::kBottom);
    v.view.HScroll(CQuillbankManagerView::kThumbPosition, 100);
    QTest::keyClick(&v.view, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(v.view.hScrollPos(), 100);
    v.view.VScroll(CQuillbankManagerView::kBottom);
    QTest::keyClick(&v.view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(v.view.topLine(), 0);
    QCOMPARE(v.view.hScrollPos(), 0);
  }

  void scrolledRightMovesTheTextLeft() {
    Doc doc(std::vector<std::string>{"0123456789"});
    View v(doc.doc);
    int left = InkBounds(v.Image()).right();
    v.view.HScroll(CQuillbankManagerView::kThumbPosition, 100);
    int scrolled = InkBounds(v.Image()).right();
    // 10 mm at the screen's resolution
    int shift = qRound(v.view.viewport()->logicalDpiX() / 2.54);
    QVERIFY2(qAbs(left - scrolled - shift) <= 2, qPrintable(QString::number(left - scrolled)));
  }

  void colours() {
    QImage mixed = Render({"abc\x07"});
    QVERIFY(CountPixels(mixed, IsRedText) > 20);
    QCOMPARE(CountPixels(Render({"abc"}), IsRedText), 0);

    Doc manipulated(
        Doc::Bytes{RecordFileBuilder().Head().Line("abc").BreakChecksum().End().bytes()});
    View v(manipulated.doc);
    QVERIFY(!manipulated.doc.IsLineValid(0));
    QVERIFY(CountPixels(v.Image(), IsRedText) > 20);

    QCOMPARE(CountPixels(Render({kEmphasised}), IsLightRed), 0);
    qb::AppSettings().SetShowUnknownPrinterEsc(1);
    QImage marked = Render({kEmphasised});
    QVERIFY(CountPixels(marked, IsLightRed) > 100);
    QCOMPARE(CountPixels(marked, IsRedText), 0);
  }

  void hiddenCodesOnlyLinesTakeNoSpace() {
    QImage plain = Render({"A", "B"});
    QCOMPARE(Render({"A", kEmphasised, "B"}), plain);
    QCOMPARE(Render({"A", kReset, "B"}), plain);
    // Without escape scanning the reset line is unhandled: hidden, or shown.
    qb::AppSettings settings;
    settings.SetScanPrinterEsc(0);
    QImage narrow = Render({"A", "B"});
    QCOMPARE(Render({"A", kReset, "B"}), narrow);
    settings.SetShowUnknownPrinterEsc(1);
    QVERIFY(InkBounds(Render({"A", kReset, "B"})).height() > InkBounds(narrow).height() + 5);
  }

  void condensedTextIsNarrower() {
    const std::string text = "MMMMMMMMMMMMMMMMMMMM";
    int normal = InkBounds(Render({text})).width();
    int condensed = InkBounds(Render({kCondensedOn, text})).width();
    QVERIFY2(qAbs(condensed * 3 - normal * 2) < normal / 10,
             qPrintable(QString("%1 %2").arg(normal).arg(condensed)));
    // ESC @ switches back; the switch before the top line still counts.
    QCOMPARE(InkBounds(Render({kCondensedOn, kReset, text})).width(), normal);
    QCOMPARE(InkBounds(Render({kReset + kCondensedOn, text})).width(), condensed);
    QCOMPARE(InkBounds(Render({kCondensedOn + kReset, text})).width(), condensed);
    QCOMPARE(InkBounds(Render({kCondensedOn, "x", text}, 2)).width(), condensed);
    // Without escape scanning every line is narrow.
    qb::AppSettings().SetScanPrinterEsc(0);
    QCOMPARE(InkBounds(Render({text})).width(), condensed);
  }

  void formFeedDrawsARuleAndTrailingBlanksGo() {
    QImage image = Render({"A", kFormFeed, "B"});
    int rule_rows = 0;
    for (int y = 0; y < image.height(); ++y) {
      int dark = 0;
      for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
      rule_rows += dark > image.width() * 9 / 10 ? 1 : 0;
    }
    QVERIFY(rule_rows >= 1);
    QCOMPARE(Render({"A   "}), Render({"A"}));
  }

  void longLinesWrap() {
    QImage one = Render({"word"});
    QImage wrapped = Render({std::string(40, 'w') + " " + std::string(300, 'w') + " end"});
    QVERIFY(InkBounds(wrapped).height() > 2 * InkBounds(one).height());
  }

  void findScrollsTheHitToTheTop() {
    Doc doc({"x", "ABC", "abc", "y", "z", "xabc", "w"});
    View v(doc.doc);
    doc.doc.SetFindText("abc");
    v.view.HScroll(CQuillbankManagerView::kThumbPosition, 60);
    v.view.FindAgain();
    QCOMPARE(v.view.topLine(), 2);
    QCOMPARE(v.view.hScrollPos(), 60);
    QTest::keyClick(&v.view, Qt::Key_F3);
    QCOMPARE(v.view.topLine(), 5);
    SeenBox seen;
    OnNextBox(seen);
    v.view.FindAgain();
    QCOMPARE(seen.text, QStringLiteral("Cannot find the string 'abc'"));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(v.view.topLine(), 5);
    v.view.FindAgain();
    QCOMPARE(v.view.topLine(), 2);

    // A search text is shown as typed, never read as markup.
    doc.doc.SetFindText("<b>%s%n");
    OnNextBox(seen);
    v.view.FindAgain();
    QCOMPARE(seen.text, QStringLiteral("Cannot find the string '<b>%s%n'"));
    QCOMPARE(seen.format, Qt::PlainText);
  }

  void findAsksForTheText() {
    Doc doc({"one", "two", "three", "two"});
    View v(doc.doc);
    bool enabled_empty = true;
    OnNextSearchDialog([&](CSearchDialog& dialog) {
      auto* search = dialog.findChild<QPushButton*>("search");
      enabled_empty = search->isEnabled();
      QTest::keyClicks(dialog.findChild<QLineEdit*>("searchText"), "two");
      search->click();
    });
    v.view.FindAgain();  // no text yet
    QVERIFY(!enabled_empty);
    QCOMPARE(v.view.topLine(), 1);
    QCOMPARE(doc.doc.findText(), std::string("two"));
    v.view.FindAgain();
    QCOMPARE(v.view.topLine(), 3);

    // Confirming the same text starts from the first line again.
    QString shown;
    OnNextSearchDialog([&](CSearchDialog& dialog) {
      shown = dialog.text();
      dialog.findChild<QPushButton*>("search")->click();
    });
    QTest::keyClick(&v.view, Qt::Key_F3, Qt::ControlModifier);
    QCOMPARE(shown, QStringLiteral("two"));
    QCOMPARE(v.view.topLine(), 1);

    OnNextSearchDialog([](CSearchDialog& dialog) {
      dialog.findChild<QLineEdit*>("searchText")->setText("three");
      dialog.findChild<QPushButton*>("cancel")->click();
    });
    v.view.Find();
    QCOMPARE(v.view.topLine(), 1);
    QCOMPARE(doc.doc.findText(), std::string("two"));
  }

  void highBytesShowAsTheWindowsCharacterSet() {
    // The view draws 0x80 to 0x9F as the characters that set puts there.
    QImage shown = Render({"5\x80 \x93q\x94\x96"});
    QImage expected(shown.size(), shown.format());
    expected.fill(Qt::white);
    {
      QPainter painter(&expected);
      double scale = QWidget().logicalDpiX() / 254.0;
      painter.scale(scale, scale);
      LineFonts fonts;
      painter.setFont(fonts.wide());
      painter.drawText(QRectF(0, 0, 5000, 1000), Qt::AlignLeft | Qt::AlignTop,
                       QString::fromUtf16(u"5\u20AC \u201Cq\u201D\u2013"));
    }
    QCOMPARE(InkBounds(shown), InkBounds(expected));
    QCOMPARE(shown, expected);
  }

  void findTypedTextInTheWindowsCharacterSet() {
    Doc doc({"5 EUR", "price 5\x80", "say \x93hi\x94", "end"});
    View v(doc.doc);
    // Types the text into the search dialog character by character and
    // searches; the text of the box that followed, if any.
    auto find = [&v](const char16_t* typed, QString* shown = nullptr) {
      QString box_text;
      QTimer answer;
      QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<CSearchDialog*>(modal)) {
          if (shown != nullptr) *shown = dialog->text();
          auto* edit = dialog->findChild<QLineEdit*>("searchText");
          edit->clear();
          for (QChar c : QString::fromUtf16(typed)) edit->insert(QString(c));
          dialog->findChild<QPushButton*>("search")->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
          box_text = box->text();
          box->accept();
        }
      });
      answer.start(10);
      v.view.Find();
      return box_text;
    };
    // A character that no line can hold is not taken.
    QCOMPARE(find(u"5\u03A9\u20AC"), QString());
    QCOMPARE(doc.doc.findText(), std::string("5\x80"));
    QCOMPARE(v.view.topLine(), 1);
    QString shown;
    QCOMPARE(find(u"\u201Chi\u201D", &shown), QString());
    QCOMPARE(shown, QString::fromUtf16(u"5\u20AC"));
    QCOMPARE(v.view.topLine(), 2);
    QCOMPARE(find(u"5\u20AC\u20AC"), QString::fromUtf16(u"Cannot find the string '5\u20AC\u20AC'"));
  }

  void searchButtonFollowsTheText() {
    CSearchDialog dialog(QStringLiteral("x"), nullptr);
    auto* search = dialog.findChild<QPushButton*>("search");
    auto* edit = dialog.findChild<QLineEdit*>("searchText");
    QVERIFY(search->isEnabled());
    edit->clear();
    QVERIFY(!search->isEnabled());
    QTest::keyClick(edit, Qt::Key_A);
    QVERIFY(search->isEnabled());
  }

  // Sessions, and the warnings about the recording, between the lines: in
  // their order, numbered, shown only when switched on, and drawn in grey
  // or in the warning colour without moving anything when switched off.
  void recordingMarks() {
    qb::ReadFacts full;
    full.cardFull = true;
    const std::string wrapped = RecordFileBuilder()
                                    .Head()
                                    .Line("a")  // the rest of an overwritten session
                                    .Control(qb::kControlStart)
                                    .Line("b")
                                    .AddNumbered(20, qb::kKindData, qb::test::Framed("c"))
                                    .Control(qb::kControlStart)
                                    .Control(qb::kControlStart)
                                    .Line("d")
                                    .End()
                                    .bytes();
    Doc doc(Doc::Bytes{wrapped});
    auto texts = [&](int line, bool sessions, bool warnings) {
      QStringList all;
      for (const RecordingMark& mark :
           RecordingMarks(doc.doc.facts(), sessions, warnings).Before(line))
        all.append((mark.warning ? "!" : "") + mark.text);
      return all;
    };
    QCOMPARE(texts(0, true, true),
             QStringList{"!Older printouts were overwritten on the card before this read"});
    QCOMPARE(texts(1, true, true), QStringList{"Recording session 1"});
    QCOMPARE(texts(2, true, true), QStringList{"!14 records are missing here"});
    QCOMPARE(texts(3, true, true), (QStringList{"Recording session 2", "Recording session 3"}));
    QCOMPARE(texts(3, false, true), QStringList());
    QCOMPARE(texts(0, true, false), QStringList());
    QCOMPARE(texts(4, true, true), QStringList());

    const std::string plain = qb::test::RecordFileWithLines({"a", "b", "c", "d"});
    auto grey = [](QRgb p) { return qRed(p) == 128 && qGreen(p) == 128 && qBlue(p) == 128; };
    QImage marked = [&] {
      View v(doc.doc);
      return v.Image();
    }();
    QVERIFY(CountPixels(marked, IsRedText) > 100);
    QVERIFY(CountPixels(marked, grey) > 100);
    Shot(marked, "recording_marks");
    qb::AppSettings settings;
    settings.SetShowSessions(0);
    settings.SetShowRecordingWarnings(0);
    {
      View v(doc.doc);
      Doc unmarked(Doc::Bytes{plain});
      View w(unmarked.doc);
      QCOMPARE(v.Image(), w.Image());
    }
    // A full card says so after its last line.
    settings.SetShowRecordingWarnings(1);
    Doc card(Doc::Bytes{RecordFileBuilder()
                            .Start()
                            .Option(qb::test::OptionText() + qb::ReadFactsText(full))
                            .Comment("c")
                            .Line("a")
                            .End()
                            .bytes()});
    View v(card.doc);
    QImage image = v.Image();
    QVERIFY(CountPixels(image, IsRedText) > 100);
    QVERIFY(InkBounds(image).bottom() > InkBounds(Render({"a"})).bottom() + 10);
  }

  void printerEmulationDialogWritesOnOkOnly() {
    Doc doc(std::vector<std::string>{"A"});
    View v(doc.doc);
    qb::AppSettings settings;
    for (bool ok : {false, true}) {
      bool scan_shown = false, show_shown = true, convert_hidden = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = QApplication::activeModalWidget();
        auto* scan = dialog->findChild<QCheckBox*>("scanPrinterEsc");
        auto* show = dialog->findChild<QCheckBox*>("showUnknownPrinterEsc");
        auto* convert = dialog->findChild<QCheckBox*>("asciiToAnsi");
        scan_shown = scan->isChecked();
        show_shown = show->isChecked();
        convert_hidden = convert->isHidden() && !convert->isEnabled();
        scan->setChecked(false);
        show->setChecked(true);
        dialog->findChild<QCheckBox*>("showSessions")->setChecked(false);
        dialog->findChild<QPushButton*>(ok ? "ok" : "cancel")->click();
      });
      v.view.PrinterEmulation();
      QVERIFY(scan_shown && !show_shown && convert_hidden);
      QCOMPARE(settings.ScanPrinterEsc(), ok ? 0 : 1);
      QCOMPARE(settings.ShowUnknownPrinterEsc(), ok ? 1 : 0);
      QCOMPARE(settings.ShowSessions(), ok ? 0 : 1);
      QCOMPARE(settings.ShowRecordingWarnings(), 1);
    }
  }
};

QTEST_MAIN(TextViewTest)
#include "text_view_test.moc"
