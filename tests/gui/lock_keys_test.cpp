// The CAP, NUM and SCRL panes of the main frame's status bar: greyed where
// the lock keys cannot be read (the offscreen platform), else showing each
// key's state as the reader tells it.
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "app/lock_key_indicators.h"
#include "app/lock_keys.h"
#include "app/main_frame.h"
#include "base/messages.h"

namespace {

struct Pane {
  int id;
  const char* text;
};
const Pane kPanes[] = {{qb::msg::kIndicatorCaps.id, "CAP"},
                       {qb::msg::kIndicatorNum.id, "NUM"},
                       {qb::msg::kIndicatorScroll.id, "SCRL"}};

QLabel* PaneOf(CMainFrame& frame, int id) {
  return frame.statusBar()->findChild<QLabel*>(QStringLiteral("indicator%1").arg(id));
}

}  // namespace

class LockKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { LockKeyIndicators::SetReader({}); }

  void greyedWhereTheKeysCannotBeRead() {
#ifdef _WIN32
    QSKIP("Windows tells the key state under every platform plugin");
#endif
    LockKeys keys = ReadPlatformLockKeys();
    QVERIFY(!keys.caps && !keys.num && !keys.scroll);
    CMainFrame frame;
    for (const Pane& pane : kPanes) {
      QLabel* label = PaneOf(frame, pane.id);
      QVERIFY(label != nullptr);
      QCOMPARE(label->text(), QString::fromLatin1(pane.text));
      QVERIFY(!label->isEnabled());
    }
  }

  void panesFollowTheKeys() {
    LockKeys keys;
    keys.caps = true;
    keys.num = false;
    LockKeyIndicators::SetReader([&keys] { return keys; });
    CMainFrame frame;
    QLabel* caps = PaneOf(frame, qb::msg::kIndicatorCaps.id);
    QLabel* num = PaneOf(frame, qb::msg::kIndicatorNum.id);
    QLabel* scroll = PaneOf(frame, qb::msg::kIndicatorScroll.id);
    // On: the text; off: an empty pane as wide as the text; unreadable: greyed.
    QVERIFY(caps->isEnabled() && num->isEnabled() && !scroll->isEnabled());
    QCOMPARE(caps->text(), QStringLiteral("CAP"));
    QCOMPARE(num->text(), QString());
    QVERIFY(num->minimumWidth() >= num->fontMetrics().horizontalAdvance(QStringLiteral("NUM")));
    QCOMPARE(scroll->text(), QStringLiteral("SCRL"));

    // A key pressed later shows within the refresh interval.
    keys.caps = false;
    keys.num = true;
    keys.scroll = true;
    QTRY_COMPARE(caps->text(), QString());
    QCOMPARE(num->text(), QStringLiteral("NUM"));
    QVERIFY(scroll->isEnabled());
    QCOMPARE(scroll->text(), QStringLiteral("SCRL"));
  }
};

QTEST_MAIN(LockKeysTest)
#include "lock_keys_test.moc"
