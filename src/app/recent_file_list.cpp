#include "app/recent_file_list.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "app/cards/app_settings.h"
#include "app/ui_text.h"
#include "base/messages.h"

namespace {

constexpr const char* kRecentSection = "Recent File List";

QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                   QString::fromUtf8(qb::kCompanyKey), UiText(qb::msg::kAppTitle));
}

QString EntryKey(int number) {
  return QString::fromUtf8(kRecentSection) + QStringLiteral("/File%1").arg(number);
}

void WriteEntries(const QStringList& entries) {
  QSettings store = Store();
  for (int i = 0; i < RecentFileList::kSize; ++i) {
    if (i < entries.size())
      store.setValue(EntryKey(i + 1), entries[i]);
    else
      store.remove(EntryKey(i + 1));
  }
}

// Where the first folder of a full path ends: "/home" of "/home/a/f",
// "C:\Users" of "C:\Users\a\f", "\\server\share" of "\\server\share\f";
// -1 when the path has no folder there.
qsizetype FirstFolderEnd(const QString& path, QChar sep, qsizetype name_start) {
  qsizetype root = 0;  // the separator after the root
  if (path.startsWith(QString(2, sep)))
    root = path.indexOf(sep, 2);  // a network path: its server
  else if (path.size() > 2 && path[1] == QLatin1Char(':'))
    root = 2;  // a drive
  if (root < 0 || path[root] != sep) return -1;
  if (name_start - 1 <= root) return -1;  // the file sits in the root
  return path.indexOf(sep, root + 1);
}

// True when both paths name one file: made absolute (on Windows with the
// current drive), compared as the system compares names.
bool SamePath(const QString& a, const QString& b) {
#ifdef _WIN32
  constexpr Qt::CaseSensitivity kNameCase = Qt::CaseInsensitive;
#else
  constexpr Qt::CaseSensitivity kNameCase = Qt::CaseSensitive;
#endif
  return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), kNameCase) == 0;
}

}  // namespace

QStringList RecentFileList::Entries() {
  QSettings store = Store();
  QStringList entries;
  for (int i = 1; i <= kSize; ++i) {
    QVariant value = store.value(EntryKey(i));
    if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
      entries.append(value.toString());
  }
  return entries;
}

void RecentFileList::Add(const QString& path) {
  QStringList entries = Entries();
  entries.removeIf([&path](const QString& entry) { return SamePath(entry, path); });
  entries.prepend(path);
  while (entries.size() > kSize) entries.removeLast();
  WriteEntries(entries);
}

void RecentFileList::Remove(const QString& path) {
  QStringList entries = Entries();
  if (entries.removeIf([&path](const QString& entry) { return SamePath(entry, path); }) > 0)
    WriteEntries(entries);
}

QString RecentFileList::DisplayName(const QString& path, int max) {
  const QChar sep = QDir::separator();
  QString full = QDir::toNativeSeparators(path);
  qsizetype name_start = full.lastIndexOf(sep) + 1;
  QString name = full.mid(name_start);
  if (QFileInfo(path).absolutePath() == QDir::currentPath()) return name;
  if (name.size() > max || full.size() <= max) return name.size() > max ? name : full;
  qsizetype volume = FirstFolderEnd(full, sep, name_start);
  if (volume < 0 || max < volume + 5 + name.size()) return name;
  // Drop folders after the first until the rest fits behind "\...".
  qsizetype rest = volume;
  while (volume + 4 + (full.size() - rest) > max) rest = full.indexOf(sep, rest + 1);
  return full.left(volume) + sep + QStringLiteral("...") + full.mid(rest);
}
