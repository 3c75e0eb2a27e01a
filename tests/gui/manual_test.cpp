// The user manual against the application: every menu path it names
// ("Card > Read") is an entry of that menu that carries out a command.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>

#include "app/commands.h"
#include "app/main_frame.h"
#include "gui_fixture.h"

namespace {

// A menu text as the manual writes it: no mnemonic, no key, no dots.
QString Plain(QString text) {
  text = text.left(text.indexOf(QLatin1Char('\t')));
  text.remove(QLatin1Char('&'));
  if (text.endsWith(QStringLiteral("..."))) text.chop(3);
  return text.trimmed();
}

// The manual's text without its markup, blanks and line breaks made one.
QString ManualText() {
  QFile file(QStringLiteral(QB_SOURCE_DIR "/docs/manual/index.html"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  QString text = QString::fromUtf8(file.readAll());
  text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
  return text.simplified();
}

}  // namespace

class ManualTest : public QObject {
  Q_OBJECT

 private slots:
  void menuPathsExist() {
    qb::test::AppFixture app;
    app.frame->NewDocument();  // the menus of a window with a recording
    // Each menu's entries by their plain text, with the command each gives.
    QMap<QString, QMap<QString, QString>> menus;
    for (QAction* popup : app.frame->menuBar()->actions())
      for (QAction* entry : popup->menu()->actions())
        if (!entry->isSeparator())
          menus[Plain(popup->text())][Plain(entry->text())] = entry->objectName();

    const QString text = ManualText();
    QVERIFY(!text.isEmpty());
    // Words that stand before ">" in the manual without being our menus.
    const QStringList others = {QStringLiteral("With")};  // the file manager's Open With
    static const QRegularExpression kPath(QStringLiteral("(\\w[\\w-]*) > "));
    int paths = 0;
    for (auto match = kPath.globalMatch(text); match.hasNext();) {
      QRegularExpressionMatch found = match.next();
      const QString title = found.captured(1);
      if (others.contains(title)) continue;
      QVERIFY2(menus.contains(title), qPrintable("no menu " + title));
      // The longest entry of that menu the text goes on with.
      const QString rest = text.mid(found.capturedEnd());
      QString entry;
      for (const QString& name : menus[title].keys()) {
        bool whole = rest.size() == name.size() || !rest[name.size()].isLetterOrNumber();
        if (rest.startsWith(name) && whole && name.size() > entry.size()) entry = name;
      }
      QVERIFY2(!entry.isEmpty(), qPrintable("no entry in " + title + " for: " + rest.left(30)));
      const QString command = menus[title][entry];
      QVERIFY2(command::Find(command.toStdString()) != nullptr,
               qPrintable(title + " > " + entry + " gives no command"));
      ++paths;
    }
    QVERIFY(paths > 20);
  }
};

QTEST_MAIN(ManualTest)
#include "manual_test.moc"
