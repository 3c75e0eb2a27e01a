#include "app/cards/init_card_dialog.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"
#include "base/messages.h"
#include "base/text_format.h"

QString InitCardDialog::DriveLine() {
  qb::AppSettings settings;
  return BytesText(settings.Drive() + " (" + qb::LoadMessage(qb::msg::kSlot) +
                   qb::FormatText(" %i", settings.Slot()) + ")");
}

QString InitCardDialog::OptionsLine() {
  qb::AppSettings settings;
  std::string suffix;
  if (settings.MemOrg() != 0) suffix = std::string(", ") + qb::LoadMessage(qb::msg::kRingMemory);
  return BytesText(qb::FormatText("%i ", settings.Baudrate()) + qb::LoadMessage(qb::msg::kBaud) +
                   qb::FormatText(", %i%s%i%s", settings.DataBits(), settings.Parity().c_str(),
                                  settings.StopBits(), suffix.c_str()));
}

InitCardDialog::InitCardDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("initCardDialog"));
  setWindowTitle(UiText(qb::msg::kDialogInitCardTitle));

  auto* group = new QGroupBox(UiText(qb::msg::kDialogInitCardSelected), this);
  drive_ = new QLabel(DriveLine(), group);
  drive_->setObjectName(QStringLiteral("driveLine"));
  drive_->setTextFormat(Qt::PlainText);
  options_ = new QLabel(OptionsLine(), group);
  options_->setObjectName(QStringLiteral("optionsLine"));
  options_->setTextFormat(Qt::PlainText);
  auto* lines = new QFormLayout(group);
  lines->addRow(UiText(qb::msg::kDialogInitCardDriver), drive_);
  lines->addRow(UiText(qb::msg::kDialogInitCardDevice), options_);

  id_ = new QLineEdit(this);
  id_->setObjectName(QStringLiteral("id"));
  id_->setMaxLength(kMaxIdLength);
  id_->setMinimumWidth(id_->fontMetrics().averageCharWidth() * (kMaxIdLength + 2));
  id_->setText(BytesText(qb::AppSettings().ID()));

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* id_row = new QFormLayout;
  id_row->addRow(UiText(qb::msg::kDialogInitCardId), id_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(id_row);
  layout->addWidget(buttons);
}

void InitCardDialog::accept() {
  if (id_->text().size() > kMaxIdLength) {
    ShowBox(this, QMessageBox::Warning,
            UiText(qb::msg::kDialogTooLong, QString::number(kMaxIdLength)));
    id_->setFocus();
    return;
  }
  qb::AppSettings().SetID(id_->text().toStdString());
  QDialog::accept();
}
