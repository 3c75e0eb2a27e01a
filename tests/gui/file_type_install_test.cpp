// The record file type of an installed program: start-up leaves it to the
// installation when that provides it, and the files the installation puts in
// place describe the same type and program as the start-up registration does.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>
#include <QXmlStreamReader>

#include "app/application.h"
#include "app/file_type_registration.h"
#include "support/temp_dir.h"

namespace {

QString ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool Touch(const QString& path) {
  QFile file(path);
  return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly);
}

// type, comment and glob pattern of each type in a shared-mime-info package.
QStringList MimeTypes(const QString& xml) {
  QStringList types;
  QXmlStreamReader reader(xml);
  if (!reader.readNextStartElement() || reader.name() != QLatin1String("mime-info")) return {};
  while (reader.readNextStartElement()) {
    QString type = reader.attributes().value("type").toString();
    QString comment, glob;
    while (reader.readNextStartElement()) {
      if (reader.name() == QLatin1String("comment"))
        comment = reader.readElementText();
      else {
        if (reader.name() == QLatin1String("glob"))
          glob = reader.attributes().value("pattern").toString();
        reader.skipCurrentElement();
      }
    }
    types.append(type + '|' + comment + '|' + glob);
  }
  return reader.hasError() ? QStringList{reader.errorString()} : types;
}

QMap<QString, QString> DesktopEntry(const QString& text) {
  QMap<QString, QString> entry;
  bool inside = false;
  for (const QString& line : text.split('\n')) {
    if (line.startsWith('[')) inside = line == QLatin1String("[Desktop Entry]");
    qsizetype equals = line.indexOf('=');
    if (inside && equals > 0) entry.insert(line.left(equals), line.mid(equals + 1));
  }
  return entry;
}

}  // namespace

class FileTypeInstallTest : public QObject {
  Q_OBJECT

 private slots:
  void installedFileType_data() {
    QTest::addColumn<bool>("mime_package");
    QTest::addColumn<bool>("desktop_entry");
    QTest::addColumn<QString>("searched");  // the data folder listed beside the user's
    QTest::addColumn<QString>("program_dir");
    QTest::addColumn<bool>("installed");
    QTest::newRow("installed") << true << true << "usr/share"
                               << "usr/bin" << true;
    QTest::newRow("searched through a link") << true << true << "link"
                                             << "usr/bin" << true;
    QTest::newRow("searched with a trailing slash") << true << true << "usr/share/"
                                                    << "usr/bin" << true;
    QTest::newRow("mime package only") << true << false << "usr/share"
                                       << "usr/bin" << false;
    QTest::newRow("desktop entry only") << false << true << "usr/share"
                                        << "usr/bin" << false;
    QTest::newRow("share folder not searched") << true << true << "other/share"
                                               << "usr/bin" << false;
    QTest::newRow("program from another folder") << true << true << "usr/share"
                                                 << "build/bin" << false;
    QTest::newRow("program folder missing") << true << true << "usr/share"
                                            << "gone/bin" << false;
  }
  void installedFileType() {
    QFETCH(bool, mime_package);
    QFETCH(bool, desktop_entry);
    QFETCH(QString, searched);
    QFETCH(QString, program_dir);
    QFETCH(bool, installed);
    qb::test::TempDir dir;
    QString root = QString::fromStdString(dir.path()) + '/';
    for (const char* folder : {"usr/bin", "usr/share", "other/share", "build/bin", "home/data"})
      QVERIFY(QDir().mkpath(root + folder));
    // A fully installed other prefix must not count for this program.
    QVERIFY(Touch(root + "other/share/mime/packages/quillbank-manager.xml"));
    QVERIFY(Touch(root + "other/share/applications/quillbank-manager.desktop"));
    if (mime_package) QVERIFY(Touch(root + "usr/share/mime/packages/quillbank-manager.xml"));
    if (desktop_entry) QVERIFY(Touch(root + "usr/share/applications/quillbank-manager.desktop"));
    QVERIFY(QFile::link(root + "usr/share", root + "link"));

    QStringList data_dirs = {root + "home/data", root + searched};
    QCOMPARE(FileTypeInstalled(root + program_dir, data_dirs), installed);
  }

  // A double-click on a record file must find the installed program under
  // the type the program registers and recognises.
  void packagedFilesMatchTheProgram() {
    QString packaged_xml = QFINDTESTDATA("../../packaging/quillbank-manager.xml");
    QString packaged_desktop = QFINDTESTDATA("../../packaging/quillbank-manager.desktop");
    QVERIFY(!packaged_xml.isEmpty() && !packaged_desktop.isEmpty());

    qb::test::TempDir dir;
    QString home = QString::fromStdString(dir.path());
    QVERIFY(RegisterFileType("/usr/bin/quillbank-manager", home, "application/octet-stream"));
    QStringList registered = MimeTypes(ReadAll(home + "/mime/packages/quillbank-manager.xml"));
    QCOMPARE(registered.size(), 1);
    QCOMPARE(MimeTypes(ReadAll(packaged_xml)), registered);
    QVERIFY2(registered.first().startsWith(QLatin1String(kRecordMimeType) + '|'),
             qPrintable(registered.first()));

    auto ours = DesktopEntry(ReadAll(home + "/applications/quillbank-manager.desktop"));
    auto packaged = DesktopEntry(ReadAll(packaged_desktop));
    for (const char* key : {"Type", "Name", "MimeType", "Terminal"})
      QCOMPARE(packaged.value(key), ours.value(key));
    // The installed program is found on the PATH and opens the file it is given.
    QCOMPARE(packaged.value("Exec"), QString("quillbank-manager %f"));
    QCOMPARE(packaged.value("Icon"), QString("quillbank-manager"));
  }
};

QTEST_MAIN(FileTypeInstallTest)
#include "file_type_install_test.moc"
