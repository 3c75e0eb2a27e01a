#include "app/progress_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/gui_job_host.h"
#include "base/messages.h"

namespace {

// A dialog on a clock the test moves by hand.
struct Fixture {
  int64_t now = 1000;
  CProgressDialog dialog{[this] { return now; }, nullptr};

  QLabel* Label(const char* name) { return dialog.findChild<QLabel*>(name); }
  QProgressBar* Bar() { return dialog.findChild<QProgressBar*>("progressBar"); }
  QPushButton* Cancel() { return dialog.findChild<QPushButton*>("cancel"); }
};

// What the next modal message box showed; the box is then closed with Enter
// (NoButton) or with a click on `button`.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool no_is_default = false;
};
void OnNextBox(SeenBox& seen, QMessageBox::StandardButton button) {
  QTimer::singleShot(0, [&seen, button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->windowTitle(), box->text(), box->icon(),
            box->defaultButton() == box->button(QMessageBox::No)};
    if (button == QMessageBox::NoButton) {
      QTest::keyClick(box, Qt::Key_Return);
    } else {
      box->button(button)->click();
    }
  });
}

}  // namespace

class ProgressDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithOnlyIconAndMessage() {
    Fixture f;
    f.dialog.Show(true);
    QVERIFY(f.dialog.isVisible());
    QVERIFY(f.Label("message")->isVisible());
    QVERIFY(!f.Bar()->isVisible());
    QVERIFY(!f.Label("percent")->isVisible());
    QVERIFY(!f.Label("time")->isVisible());
    QVERIFY(!f.Cancel()->isVisible());
    QCOMPARE(f.Cancel()->text(), QString("A&bbruch"));
    QCOMPARE(f.dialog.windowTitle(), QString("Message"));
    QVERIFY(!f.dialog.isModal());
  }

  void PartsShowOnRequest() {
    Fixture f;
    f.dialog.Show(true);
    f.dialog.ShowProgressBar(true);
    f.dialog.ShowPercent(true);
    f.dialog.ShowTime(true);
    f.dialog.ShowCancelButton(2, true);
    QVERIFY(f.Bar()->isVisible());
    QVERIFY(f.Label("percent")->isVisible());
    QVERIFY(f.Label("time")->isVisible());
    QVERIFY(!f.Cancel()->isVisible());
    f.dialog.ShowCancelButton(1, true);
    QVERIFY(f.Cancel()->isVisible());
    f.dialog.Show(false);
    QVERIFY(!f.dialog.isVisible());
  }

  void TextsFollowThePosition() {
    Fixture f;
    f.dialog.SetText(std::string("Reading"));
    f.dialog.SetRange(0, 100);
    QCOMPARE(f.Label("message")->text(), QString("Reading"));

    // At the low end only the bar moves: percentage and time keep their texts.
    const QString percent = f.Label("percent")->text();
    const QString time = f.Label("time")->text();
    f.now += 40;
    f.dialog.SetPos(0);
    QCOMPARE(f.Bar()->value(), 0);
    QCOMPARE(f.Label("percent")->text(), percent);
    QCOMPARE(f.Label("time")->text(), time);

    f.now += 35;  // 75 s after SetRange
    f.dialog.SetPos(25);
    QCOMPARE(f.Bar()->value(), 25);
    QCOMPARE(f.Label("percent")->text(), QString("25 %"));
    QCOMPARE(f.Label("time")->text(), QString("01' 15\"  (03' 45\")"));

    // Beyond the range the bar stays full.
    f.dialog.SetPos(250);
    QCOMPARE(f.Bar()->value(), 100);
    QCOMPARE(f.Label("percent")->text(), QString("100 %"));
  }

  void EmptyRangeNeverShowsFigures() {
    Fixture f;
    f.dialog.SetRange(0, 0);
    const QString percent = f.Label("percent")->text();
    f.now += 10;
    f.dialog.SetPos(5);
    QCOMPARE(f.Label("percent")->text(), percent);
  }

  void TextIsCutAndTakenFromTheCatalogue() {
    Fixture f;
    f.dialog.SetText(std::string(5000, 'x'));
    QCOMPARE(f.Label("message")->text().size(), 2048);
    f.dialog.SetText(qb::msg::kProgressCaption);
    QCOMPARE(f.Label("message")->text(), QString("Message"));
    f.dialog.SetTextFormat("%d of %s", 3, "7");
    QCOMPARE(f.Label("message")->text(), QString("3 of 7"));
    f.dialog.SetCaption(qb::msg::kAppName);
    QCOMPARE(f.dialog.windowTitle(), QString("Quillbank Manager"));
  }

  void CancelCountsOnceAndKeepsTheDialogOpen() {
    Fixture f;
    f.dialog.Show(true);
    f.dialog.ShowCancelButton(1, true);
    QVERIFY(!f.dialog.CheckProgressCancel(true));
    QTest::mouseClick(f.Cancel(), Qt::LeftButton);
    QTest::mouseClick(f.Cancel(), Qt::LeftButton);
    QVERIFY(f.dialog.isVisible());
    QVERIFY(f.dialog.CheckProgressCancel(true));
    QVERIFY(!f.dialog.CheckProgressCancel(true));
    QVERIFY(f.dialog.CheckProgressCancel(false));

    QTest::keyClick(&f.dialog, Qt::Key_Escape);
    QVERIFY(f.dialog.isVisible());
    QVERIFY(f.dialog.CheckProgressCancel(true));
  }

  void ResetHidesBarAndCancel() {
    Fixture f;
    f.dialog.Show(true);
    f.dialog.SetText(std::string("Busy"));
    f.dialog.SetRange(10, 20);
    f.dialog.ShowProgressBar(true);
    f.dialog.ShowCancelButton(1, true);
    f.dialog.SetPos(15);
    QTest::mouseClick(f.Cancel(), Qt::LeftButton);
    f.dialog.Reset();
    QVERIFY(!f.Bar()->isVisible());
    QVERIFY(!f.Cancel()->isVisible());
    QCOMPARE(f.Bar()->value(), 10);
    QCOMPARE(f.Label("message")->text(), QString());
    QVERIFY(!f.dialog.CheckProgressCancel(true));
  }

  void HostDrivesItsOwnDialogDuringLongWork() {
    Fixture shared;
    GuiJobHost host(&shared.dialog, nullptr);
    int key = 0;
    QVERIFY(!host.PollKey(key));
    QCOMPARE(host.Dialog(), &shared.dialog);

    host.BeginProgress("Loading", qb::kProgressBar | qb::kProgressCancel);
    CProgressDialog* own = host.Dialog();
    QVERIFY(own != &shared.dialog);
    QVERIFY(own->isVisible());
    QCOMPARE(own->windowTitle(), QString("Loading"));
    auto* bar = own->findChild<QProgressBar*>("progressBar");
    auto* cancel = own->findChild<QPushButton*>("cancel");
    QVERIFY(bar->isVisible());
    QVERIFY(cancel->isVisible());
    QVERIFY(!own->findChild<QLabel*>("percent")->isVisible());

    host.ShowStatus("Line 1");
    host.SetProgressRange(0, 50);
    host.SetProgressPos(20);
    QCOMPARE(own->findChild<QLabel*>("message")->text(), QString("Line 1"));
    QCOMPARE(bar->value(), 20);
    QVERIFY(!host.CheckProgressCancel());
    QTest::keyClick(own, Qt::Key_Escape);
    QVERIFY(host.CheckProgressCancel());
    QVERIFY(!host.CheckProgressCancel());

    host.EndProgress();
    QCOMPARE(host.Dialog(), &shared.dialog);
    host.ShowStatus("Please wait");
    QCOMPARE(shared.Label("message")->text(), QString("Please wait"));
  }

  void HostAsksWithNoAsDefault() {
    GuiJobHost host(nullptr, nullptr);
    SeenBox seen;
    OnNextBox(seen, QMessageBox::NoButton);  // Enter takes the default
    QVERIFY(!host.AskYesNo("Delete?"));
    QCOMPARE(seen.text, QString("Delete?"));
    QCOMPARE(seen.title, QString("Quillbank Manager"));
    QVERIFY(seen.no_is_default);

    OnNextBox(seen, QMessageBox::Yes);
    QVERIFY(host.AskYesNo("Delete?"));

    OnNextBox(seen, QMessageBox::Ok);
    host.ShowErrorBox("No card");
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.text, QString("No card"));
  }
};

QTEST_MAIN(ProgressDialogTest)
#include "progress_dialog_test.moc"
