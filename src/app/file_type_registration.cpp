#include "app/file_type_registration.h"
#include "app/ui_text.h"

#ifdef _WIN32
#include <shlobj.h>
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include "base/messages.h"

namespace {

// Writes the file only when its content differs, so that an ordinary
// start-up touches nothing on disk.
bool WriteText(const QString& path, const QString& text) {
  QByteArray bytes = text.toUtf8();
  QFile file(path);
  if (file.open(QIODevice::ReadOnly) && file.readAll() == bytes) return true;
  file.close();
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size();
}

// A field of the document template string.
QString TemplateField(int index) {
  return UiText(qb::msg::kDocTemplate).split('\n').value(index);
}

}  // namespace

bool RegisterFileType(const QString& program, const QString& data_home, const QString& claimed_by) {
  const QString type = QString::fromLatin1(kRecordMimeType);
  const QString extension = TemplateField(4);  // ".qbd"
  bool ours = claimed_by.isEmpty() || claimed_by == type ||
              claimed_by == QLatin1String("application/octet-stream");
  if (ours) {
    QString folder = data_home + QStringLiteral("/mime/packages");
    if (!QDir().mkpath(folder)) return false;
    QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"%1\">\n"
            "    <comment>%2</comment>\n"
            "    <glob pattern=\"*%3\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n")
            .arg(type, TemplateField(6).toHtmlEscaped(), extension);
    if (!WriteText(folder + QStringLiteral("/quillbank-manager.xml"), xml)) return false;
  }
  QString applications = data_home + QStringLiteral("/applications");
  if (!QDir().mkpath(applications)) return false;
  QString entry = QStringLiteral(
                      "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=%1\n"
                      "Exec=\"%2\" %f\n"
                      "MimeType=%3;\n"
                      "Terminal=false\n")
                      .arg(UiText(qb::msg::kAppName), program, type);
  return WriteText(applications + QStringLiteral("/quillbank-manager.desktop"), entry);
}

bool FileTypeInstalled(const QString& program_dir, const QStringList& data_dirs) {
  const QString share = QFileInfo(program_dir + QStringLiteral("/../share")).canonicalFilePath();
  if (share.isEmpty()) return false;
  for (const QString& dir : data_dirs) {
    if (QFileInfo(dir).canonicalFilePath() != share) continue;
    return QFileInfo::exists(share + QStringLiteral("/mime/packages/quillbank-manager.xml")) &&
           QFileInfo::exists(share + QStringLiteral("/applications/quillbank-manager.desktop"));
  }
  return false;
}

namespace {

// Sets `key`'s value unless it holds it already; true when written.
bool SetValue(QSettings& store, const QString& key, const QString& value) {
  if (store.value(key).toString() == value && store.contains(key)) return false;
  store.setValue(key, value);
  return true;
}

}  // namespace

bool RegisterShellFileType(QSettings& classes, const QString& program, bool* changed) {
  const QString type = TemplateField(5);       // "QuillbankManager.Document"
  const QString extension = TemplateField(4);  // ".qbd"
  const QString path = QDir::toNativeSeparators(program);
  bool written = false;
  // A key's own value is its "Default" value. The record file icon is the
  // program's second icon.
  written |= SetValue(classes, type + QStringLiteral("/Default"), TemplateField(6));
  written |=
      SetValue(classes, type + QStringLiteral("/DefaultIcon/Default"), path + QStringLiteral(",1"));
  written |= SetValue(classes, type + QStringLiteral("/shell/open/command/Default"),
                      QStringLiteral("\"%1\" \"%2\"").arg(path, QStringLiteral("%1")));
  const QString claimed = classes.value(extension + QStringLiteral("/Default")).toString();
  if (claimed.isEmpty() || claimed == type) {
    written |= SetValue(classes, extension + QStringLiteral("/Default"), type);
    written |= SetValue(classes, extension + QStringLiteral("/ShellNew/NullFile"), QString());
  }
  classes.sync();
  if (changed != nullptr) *changed = written;
  return classes.status() == QSettings::NoError;
}

void RegisterFileTypeForUser() {
#ifdef _WIN32
  QSettings classes(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes"),
                    QSettings::NativeFormat);
  // Explorer picks up a changed type at once when told.
  bool changed = false;
  if (RegisterShellFileType(classes, QCoreApplication::applicationFilePath(), &changed) && changed)
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
#else
  QString data_home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (!FileTypeInstalled(QCoreApplication::applicationDirPath(),
                         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))) {
    QString claimed_by =
        QMimeDatabase()
            .mimeTypeForFile(QStringLiteral("x") + TemplateField(4), QMimeDatabase::MatchExtension)
            .name();
    if (RegisterFileType(QCoreApplication::applicationFilePath(), data_home, claimed_by) &&
        claimed_by == QLatin1String("application/octet-stream"))
      QProcess::startDetached(QStringLiteral("update-mime-database"),
                              {data_home + QStringLiteral("/mime")});
  }
#endif
}
