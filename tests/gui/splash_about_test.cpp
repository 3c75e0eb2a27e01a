#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/about_dialog.h"
#include "app/app_pictures.h"
#include "app/splash_window.h"

namespace {

// A window that counts the presses it receives and the times it is painted.
class Target : public QWidget {
 public:
  int presses = 0;
  int paints = 0;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    ++presses;
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    ++presses;
    event->accept();
  }
  void paintEvent(QPaintEvent*) override { ++paints; }
};

}  // namespace

class SplashAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CSplashWindow::SetEnabled(true);
    CSplashWindow::SetCloseDelay(10000);
  }
  void cleanup() {
    CSplashWindow::CloseCurrent();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CSplashWindow::SetEnabled(false);
  }

  void aboutTextHasSixLinesEndingInTheSignature() {
    CAboutDialog dialog;
    auto* text = dialog.findChild<QLabel*>("aboutText");
    QVERIFY(text != nullptr);
    const QStringList lines = text->text().split('\n');
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QString("Quillbank Manager"));
    QVERIFY(lines[1].isEmpty());
    QCOMPARE(lines[2], QString("Version 1.0.3.1"));
    QVERIFY(lines[3].isEmpty());
    QVERIFY(text->text().endsWith("Software signature:\n48531.BD93"));
    QCOMPARE(dialog.windowTitle(), QString("Quillbank Manager"));
    auto* banner = dialog.findChild<QLabel*>("bannerText");
    QVERIFY(banner != nullptr);
    QVERIFY(!banner->text().isEmpty());
    QVERIFY(dialog.findChild<QLabel*>("aboutIcon")->pixmap().width() > 0);
    QVERIFY(dialog.findChild<QLabel*>("aboutPicture")->pixmap().width() > 0);
    QVERIFY(dialog.findChild<QFrame*>("etchedLine") != nullptr);
  }

  void aboutClosesWithOk() {
    CAboutDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* ok = dialog.findChild<QPushButton*>("ok");
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QString("OK"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
  }

  void picturesHaveTheirSizes() {
    QCOMPARE(SplashPicture().size(), QSize(629, 472));
    const QList<QSize> sizes = AppIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
  }

  void splashShowsOnlyWhenEnabledAndOnce() {
    CSplashWindow::SetEnabled(false);
    CSplashWindow::ShowSplash(nullptr);
    QVERIFY(CSplashWindow::Current() == nullptr);

    CSplashWindow::SetEnabled(true);
    CSplashWindow::ShowSplash(nullptr);
    CSplashWindow* first = CSplashWindow::Current();
    QVERIFY(first != nullptr);
    QVERIFY(first->isVisible());
    QCOMPARE(first->size(), QSize(629, 472));
    CSplashWindow::ShowSplash(nullptr);
    QCOMPARE(CSplashWindow::Current(), first);
  }

  void clickOnAnotherWindowClosesSplashAndStillActs() {
    Target main_window;
    main_window.resize(300, 200);
    main_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main_window));

    CSplashWindow::ShowSplash(&main_window);
    QPointer<CSplashWindow> splash = CSplashWindow::Current();
    QVERIFY(splash != nullptr);
    const int paints_before = main_window.paints;

    QTest::mouseClick(&main_window, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(main_window.presses, 1);
    QVERIFY(CSplashWindow::Current() == nullptr);
    QVERIFY(main_window.paints > paints_before);
    QTRY_VERIFY(splash.isNull());
  }

  void keyPressClosesSplashAndStillActs() {
    Target main_window;
    main_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main_window));
    CSplashWindow::ShowSplash(&main_window);
    QVERIFY(CSplashWindow::Current() != nullptr);
    QTest::keyClick(&main_window, Qt::Key_Space);
    QCOMPARE(main_window.presses, 1);
    QVERIFY(CSplashWindow::Current() == nullptr);
  }

  void clickOnTheSplashItselfClosesIt() {
    CSplashWindow::ShowSplash(nullptr);
    QPointer<CSplashWindow> splash = CSplashWindow::Current();
    QVERIFY(splash != nullptr);
    QTest::mouseClick(splash.data(), Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(CSplashWindow::Current() == nullptr);
    QTRY_VERIFY(splash.isNull());
  }

  void mouseMoveLeavesSplashUp() {
    CSplashWindow::ShowSplash(nullptr);
    CSplashWindow* splash = CSplashWindow::Current();
    QVERIFY(splash != nullptr);
    QTest::mouseMove(splash, QPoint(20, 20));
    QCoreApplication::processEvents();
    QCOMPARE(CSplashWindow::Current(), splash);
  }

  void timerClosesSplash() {
    CSplashWindow::SetCloseDelay(50);
    CSplashWindow::ShowSplash(nullptr);
    QPointer<CSplashWindow> splash = CSplashWindow::Current();
    QVERIFY(splash != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(CSplashWindow::Current() == nullptr, 2000);
    QTRY_VERIFY(splash.isNull());
  }

  void closedSplashLetsANewOneShow() {
    CSplashWindow::ShowSplash(nullptr);
    CSplashWindow::CloseCurrent();
    QVERIFY(CSplashWindow::Current() == nullptr);
    CSplashWindow::ShowSplash(nullptr);
    QVERIFY(CSplashWindow::Current() != nullptr);
  }
};

QTEST_MAIN(SplashAboutTest)
#include "splash_about_test.moc"
