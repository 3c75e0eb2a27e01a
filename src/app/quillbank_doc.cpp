#include "app/quillbank_doc.h"
#include "app/ui_text.h"

#include <QFileInfo>
#include <QSettings>

#include "app/cards/app_settings.h"
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

// The document name of the template string: its second field.
QString NewDocumentName() {
  QStringList fields = UiText(qb::msg::kDocTemplate).split('\n');
  return fields.size() > 1 ? fields[1] : QString();
}

}  // namespace

CQuillbankManagerDoc::CQuillbankManagerDoc(QObject* parent) : QObject(parent) {}

bool CQuillbankManagerDoc::OpenDocument(const QString& path) {
  QFileInfo info(path);
  path_ = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
  if (!core_.LoadRecordFile(path_.toStdString())) return false;
  RecentFileList::Add(path_);
  emit titleChanged(title());
  return true;
}

void CQuillbankManagerDoc::NewDocument(int number) {
  path_.clear();
  untitled_ = NewDocumentName() + QString::number(number);
  emit titleChanged(title());
}

QString CQuillbankManagerDoc::title() const {
  if (path_.isEmpty()) return untitled_;
  if (!core_.GetTitle().empty()) return QString::fromStdString(core_.GetTitle());
  return QFileInfo(path_).fileName();
}

void CQuillbankManagerDoc::AddView(QWidget* view) {
  if (!views().contains(view)) views_.append(view);
}

void CQuillbankManagerDoc::RemoveView(QWidget* view) {
  views_.removeIf([view](const QPointer<QWidget>& v) { return v.isNull() || v == view; });
}

QList<QWidget*> CQuillbankManagerDoc::views() const {
  QList<QWidget*> result;
  for (const QPointer<QWidget>& view : views_)
    if (view) result.append(view);
  return result;
}

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
  entries.removeAll(path);
  entries.prepend(path);
  while (entries.size() > kSize) entries.removeLast();
  WriteEntries(entries);
}

void RecentFileList::Remove(const QString& path) {
  QStringList entries = Entries();
  entries.removeAll(path);
  WriteEntries(entries);
}
