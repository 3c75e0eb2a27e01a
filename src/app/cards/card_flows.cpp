#include "app/cards/card_flows.h"
#include "app/ui_text.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <climits>
#include <cstring>

#include "app/cards/app_settings.h"
#include "app/cards/card_job_launcher.h"
#include "app/cards/card_ui.h"
#include "app/cards/init_card_dialog.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/quillbank_doc.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "base/safe_file_name.h"
#include "base/text_format.h"
#include "document/read_report.h"
#include "platform/file_status.h"
#include "platform/finished_file.h"
#include "signing/report_signature.h"

namespace {

// The leading digits of `text` as a number (0 when there are none), capped.
qint64 LeadingNumber(const QString& text) {
  qint64 value = 0;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
    value = std::min<qint64>(value * 10 + (c.unicode() - '0'), INT_MAX);
  }
  return value;
}

}  // namespace

QString NumberRecordPath(const QString& chosen) {
  QFileInfo info(chosen);
  const QString folder = info.path();
  const QString file = info.fileName();
  const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
  const QString name = dot >= 0 ? file.left(dot) : file;
  const QString ext = dot >= 0 ? file.mid(dot) : QString();
  static const QRegularExpression kNumber(QStringLiteral("\\([0-9]*\\)$"));
  QString base = name;
  base.remove(kNumber);

  qint64 n = info.exists() || info.isSymLink() ? 1 : 0;
  const QString head = base + QLatin1Char('(');
  const QString tail = QLatin1Char(')') + ext;
  const QStringList entries =
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    if (entry.size() < head.size() + tail.size() || !entry.startsWith(head) ||
        !entry.endsWith(tail))
      continue;
    qsizetype open = entry.lastIndexOf(QLatin1Char('('));
    qsizetype close = entry.indexOf(QLatin1Char(')'), open);
    n = std::max(n, LeadingNumber(entry.mid(open + 1, close - open - 1)));
  }
  if (n <= 0) return chosen;
  QString numbered = base + QStringLiteral("(%1)").arg(n + 1) + ext;
  return folder == QLatin1String(".") && !chosen.startsWith(QLatin1String("./"))
             ? numbered
             : folder + QLatin1Char('/') + numbered;
}

QString CardInfoText(const qb::CardInfo& info, const std::string& id) {
  using qb::LoadMessage;
  std::string text = std::string(LoadMessage(qb::msg::kCardInfo)) + ":\n\n";
  text += std::string(LoadMessage(qb::msg::kIdString)) + ": \"";
  text += id.empty() ? std::string(LoadMessage(qb::msg::kEmpty)) : id;
  text += "\"\n\n";
  text += std::string(LoadMessage(qb::msg::kProductName)) + ": ";
  text += qb::FormatText("%lu ", static_cast<unsigned long>(info.baudrate));
  text += LoadMessage(qb::msg::kBaud);
  text += qb::FormatText(", %s ", info.parameter);
  text += "\n";
  text += std::string(LoadMessage(qb::msg::kMemoryOrganization)) + ": ";
  text += std::strcmp(info.memoryfull, "stop_logger") == 0 ? LoadMessage(qb::msg::kLinear)
                                                           : LoadMessage(qb::msg::kRing);
  text += "\n";
  return BytesText(text);
}

CardFlows::CardFlows(CardJobLauncher& launcher, CMainFrame* frame, QWidget* parent)
    : launcher_(launcher), frame_(frame), parent_(parent) {}

bool CardFlows::CardInitCommand() {
  launcher_.ClearCancelled();
  if (!launcher_.PrepareDrive()) return false;
  bool empty = launcher_.CheckCardEmpty();
  if (launcher_.DriveFailed()) return false;
  if (!empty) {
    ShowMessageBox(parent_, QMessageBox::Critical, qb::msg::kCardNotEmpty);
    return false;
  }
  InitCardDialog dialog(parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (ShowBox(parent_, QMessageBox::Question, UiText(qb::msg::kOverwriteCard),
              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
    return false;
  return launcher_.RunInit(false);
}

bool CardFlows::CardReadCommand() {
  launcher_.ClearCancelled();
  if (!launcher_.PrepareDrive()) return false;
  bool empty = launcher_.CheckCardEmpty();
  if (launcher_.DriveFailed()) return false;
  if (empty) {
    if (qb::ErrorsPending())
      qb::ShowErrors(-1);
    else
      ShowMessageBox(parent_, QMessageBox::Critical, qb::msg::kNoData);
    return false;
  }
  qb::CardInfo info;
  std::string proposed;
  if (launcher_.FetchCardInfo(info)) proposed = info.comment;
  if (launcher_.Cancelled()) return false;
  if (!CardInfoCommand(true)) return false;

  QString chosen = cards::AskSaveFileName(parent_, BytesText(qb::SafeFileName(proposed)),
                                          qb::msg::kFileFilter, UiText(qb::msg::kDefaultExtension));
  if (chosen.isEmpty()) return false;
  const QString path = NumberRecordPath(chosen);
  const std::string local = cards::LocalPath(path);
  // A card with damaged sectors may still give up the rest: a rescue read
  // skips what it cannot read, and leaves the card as it is.
  bool rescue = false;
  if (!launcher_.RunRead(local)) {
    if (!launcher_.ReadHitDamage() ||
        ShowBox(parent_, QMessageBox::Question, UiText(qb::msg::kAskRescue),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
      return false;
    rescue = true;
    if (!launcher_.RunRead(local, true)) return false;
  }
  const std::string report = qb::ReadReportPath(local);
  SignReport(local);

  // Read permission only: every write bit goes.
  bool protect = true;
  for (const std::string& file : {local, report, qb::ReportSignaturePath(local)}) {
    if (qb::PathStatus(file, true) != 0) {
      if (file == local) protect = false;
      continue;
    }
    if (qb::MakeReadOnly(file) != 0) protect = false;
  }
  if (!protect) ShowMessageBox(parent_, QMessageBox::Warning, qb::msg::kCannotProtect);

  // The file is the only copy once the card is emptied: it must be on disk
  // first, or the card is left as it is. After a rescue read the card stays
  // as it is in any case.
  if (rescue) {
    ShowMessageBox(parent_, QMessageBox::Warning, qb::msg::kCardKeptAfterRescue);
  } else if (qb::SyncFileAndFolder(local) != 0 || qb::SyncFileAndFolder(report) != 0 ||
             !launcher_.RunInit(true)) {
    ShowMessageBox(parent_, QMessageBox::Warning, qb::msg::kCannotDeleteCard);
  }

  return OpenRecordFile(path);
}

void CardFlows::SignReport(const std::string& record_path) {
  const std::string key = qb::AppSettings().SignKey();
  if (key.empty()) return;
  std::string problem;
  if (qb::SignReportFile(key, record_path, problem)) return;
  ShowBox(parent_, QMessageBox::Warning,
          UiText(qb::msg::kCannotSignReport, PathText(record_path), BytesText(problem)));
}

bool CardFlows::OpenRecordFile(const QString& path) {
  if (frame_ == nullptr) {
    ShowMessageBox(parent_, QMessageBox::Critical, qb::msg::kNoTemplate);
    return false;
  }
  std::shared_ptr<CQuillbankManagerDoc> doc = frame_->LoadDocument(path);
  if (doc == nullptr) {
    ShowMessageBox(parent_, QMessageBox::Critical, qb::msg::kCannotCreateDocument);
    return false;
  }
  // A document that did not load has shown its own box; it closes here,
  // before any window is made for it.
  if (!doc->loaded()) return false;
  return frame_->ShowDocument(std::move(doc)) != nullptr;
}

bool CardFlows::CardInfoCommand(bool ask_continue) {
  qb::ClearErrors();
  qb::CardInfo info;
  if (!launcher_.FetchCardInfo(info, true)) {
    if (launcher_.Cancelled()) return false;
    if (qb::ErrorsPending()) {
      qb::ShowErrors(-1);
      return false;
    }
    return true;
  }
  QMessageBox::StandardButton pressed =
      ask_continue
          ? ShowBox(parent_, QMessageBox::Information, CardInfoText(info, launcher_.CardId()),
                    QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
          : ShowBox(parent_, QMessageBox::Information, CardInfoText(info, launcher_.CardId()));
  return pressed == QMessageBox::Ok;
}
