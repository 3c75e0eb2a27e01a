#include "app/export_command.h"
#include "app/ui_text.h"

#include <QFileInfo>

#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"
#include "app/quillbank_doc.h"
#include "base/messages.h"
#include "document/text_export.h"
#include "platform/file_status.h"

QString DefaultExportPath(const CQuillbankManagerDoc& doc) {
  return cards::FromLocalPath(
      qb::DefaultExportName(cards::LocalPath(doc.pathName()), qb::AppSettings().ExportPath()));
}

bool ExportCommand(CQuillbankManagerDoc* doc, QWidget* parent, qb::JobHost& host) {
  if (doc == nullptr) return false;
  QString chosen = cards::AskSaveFileName(parent, DefaultExportPath(*doc), qb::msg::kTextFileFilter,
                                          UiText(qb::msg::kTextExtension));
  if (chosen.isEmpty()) return false;
  const QString folder = QFileInfo(chosen).absolutePath();
  qb::AppSettings().SetExportPath(
      cards::LocalPath(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')));
  const std::string path = cards::LocalPath(chosen);

  if (qb::PathStatus(path, false) == 0 &&
      ShowBox(parent, QMessageBox::Warning, UiText(qb::msg::kDestinationExists, chosen),
              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return false;
  // The file is replaced only once the export is complete.
  return qb::WriteTextExport(doc->core(), path, host);
}
