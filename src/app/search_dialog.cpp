#include "app/search_dialog.h"
#include "app/ui_text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ansi_text.h"
#include "base/messages.h"

CSearchDialog::CSearchDialog(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("searchDialog"));
  setWindowTitle(UiText(qb::msg::kDialogSearchTitle));
  auto* prompt = new QLabel(UiText(qb::msg::kDialogSearchPrompt), this);
  prompt->setObjectName(QStringLiteral("prompt"));
  edit_ = new QLineEdit(text, this);
  edit_->setObjectName(QStringLiteral("searchText"));
  edit_->setValidator(new AnsiTextValidator(edit_));
  prompt->setBuddy(edit_);

  auto* buttons = new QDialogButtonBox(this);
  search_ = buttons->addButton(UiText(qb::msg::kDialogSearchTitle), QDialogButtonBox::AcceptRole);
  search_->setObjectName(QStringLiteral("search"));
  search_->setDefault(true);
  QPushButton* cancel =
      buttons->addButton(UiText(qb::msg::kDialogCancel), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto enable = [this] { search_->setEnabled(!edit_->text().isEmpty()); };
  connect(edit_, &QLineEdit::textChanged, this, enable);
  enable();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addWidget(edit_);
  layout->addWidget(buttons);
  edit_->selectAll();
  edit_->setFocus();
}

QString CSearchDialog::text() const {
  return edit_->text();
}
