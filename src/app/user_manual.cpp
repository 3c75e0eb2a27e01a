#include "app/user_manual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/message_box.h"
#include "app/ui_text.h"
#include "base/messages.h"

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
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
