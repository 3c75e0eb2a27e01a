#include "app/quillbank_doc.h"
#include "app/ui_text.h"

#include <QFileInfo>

#include "app/recent_file_list.h"
#include "base/messages.h"

namespace {

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
  bool loaded = core_.LoadRecordFile(path_.toStdString());
  // A file that opened enters the recent-file list before its checks, and
  // stays there when they fail; one that no longer opens leaves it.
  if (core_.FileOpened())
    RecentFileList::Add(path_);
  else
    RecentFileList::Remove(path_);
  if (!loaded) return false;
  emit titleChanged(title());
  WatchFacts();
  return true;
}

void CQuillbankManagerDoc::WatchFacts() {
  if (core_.FactsReady()) return;
  if (facts_timer_ == nullptr) {
    facts_timer_ = new QTimer(this);
    // Often enough that marks and counts follow the open within a glance.
    facts_timer_->setInterval(50);
    connect(facts_timer_, &QTimer::timeout, this, [this] {
      if (!core_.FactsReady()) return;
      facts_timer_->stop();
      emit factsReady();
    });
  }
  facts_timer_->start();
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
