#include "app/user_manual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/message_box.h"
#include "app/ui_text.h"
#include "base/messages.h"

namespace {

ManualOpener g_opener = &QDesktopServices::openUrl;

}  // namespace

ManualOpener SetManualOpener(ManualOpener opener) {
  ManualOpener previous = g_opener;
  g_opener = opener;
  return previous;
}

QString UserManualPath() {
  return QDir(QCoreApplication::applicationDirPath())
      .absoluteFilePath(QStringLiteral("../share/doc/quillbank-manager/manual/index.html"));
}

void OpenUserManual(QWidget* parent) {
  QString path = QDir::cleanPath(UserManualPath());
  if (!QFileInfo(path).isFile()) {
    ShowBox(parent, QMessageBox::Warning,
            UiText(qb::msg::kManualMissing, QDir::toNativeSeparators(path)));
    return;
  }
  if (!g_opener(QUrl::fromLocalFile(path)))
    ShowBox(parent, QMessageBox::Warning,
            UiText(qb::msg::kManualNotOpened, QDir::toNativeSeparators(path)));
}
