#include "app/message_box.h"

#include "app/ui_text.h"
#include "base/messages.h"

QMessageBox::StandardButton ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton default_button) {
  QMessageBox box(icon, UiText(qb::msg::kAppName), text, buttons, parent);
  box.setObjectName(QStringLiteral("messageBox"));
  box.setTextFormat(Qt::PlainText);
  if (default_button != QMessageBox::NoButton) box.setDefaultButton(default_button);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const qb::Message<>& message) {
  return ShowBox(parent, icon, UiText(message));
}

bool AskYesNoBox(QWidget* parent, const QString& text) {
  return ShowBox(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::No) == QMessageBox::Yes;
}
