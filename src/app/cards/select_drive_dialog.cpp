#include "app/cards/select_drive_dialog.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"
#include "base/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"

namespace {

constexpr int kSlotMin = 0, kSlotMax = 32;
constexpr int kComMin = 1, kComMax = 8;
constexpr int kBaudMin = 75, kBaudMax = 115200;

QLineEdit* NumberField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setAlignment(Qt::AlignLeft);
  return field;
}

}  // namespace

const QStringList& SelectDriveDialog::ListedDrives() {
  // The dialog's own list, sorted as the box shows it (letter case aside).
  static const QStringList kDrives = [] {
    QStringList drives = UiText(qb::msg::kListedDrives).split(QLatin1Char('\n'));
    drives.sort(Qt::CaseInsensitive);
    return drives;
  }();
  return kDrives;
}

SelectDriveDialog::SelectDriveDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("selectDriveDialog"));
  setWindowTitle(UiText(qb::msg::kDialogSelectDriveTitle));

  drive_ = new QComboBox(this);
  drive_->setObjectName(QStringLiteral("drive"));
  drive_->setEditable(true);
  drive_->setInsertPolicy(QComboBox::NoInsert);
  drive_->setDuplicatesEnabled(false);
  drive_->addItems(ListedDrives());
  slot_ = NumberField(this, "slot");
  com_ = NumberField(this, "com");
  baud_ = NumberField(this, "baud");
  device_ = new QLineEdit(this);
  device_->setObjectName(QStringLiteral("device"));
  device_->setMinimumWidth(device_->fontMetrics().averageCharWidth() * 24);

  qb::AppSettings settings;
  QString drive = QString::fromStdString(settings.Drive());
  AddDriveName(drive);
  drive_->setEditText(drive);
  slot_->setText(QString::number(settings.Slot()));
  com_->setText(QString::number(settings.Com()));
  baud_->setText(QString::number(settings.Baud()));
  device_->setText(QString::fromStdString(settings.Device()));

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* form = new QFormLayout;
  form->addRow(drive_);
  form->addRow(UiText(qb::msg::kDialogSelectDriveSlot), slot_);
  form->addRow(UiText(qb::msg::kDialogSelectDriveCom), com_);
  form->addRow(UiText(qb::msg::kDialogSelectDriveBaud), baud_);
  form->addRow(UiText(qb::msg::kDeviceLabel), device_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);

  // Typing, choosing from the list and any other change of the text.
  connect(drive_, &QComboBox::editTextChanged, this, &SelectDriveDialog::UpdateEnabling);
  connect(drive_, &QComboBox::textActivated, this, &SelectDriveDialog::UpdateEnabling);
  UpdateEnabling(drive_->currentText());
}

void SelectDriveDialog::AddDriveName(const QString& name) {
  for (int i = 0; i < drive_->count(); ++i)
    if (drive_->itemText(i).startsWith(name, Qt::CaseInsensitive)) return;
  int at = 0;
  while (at < drive_->count() && drive_->itemText(at).compare(name, Qt::CaseInsensitive) < 0) ++at;
  drive_->insertItem(at, name);
}

void SelectDriveDialog::UpdateEnabling(const QString& text) {
  bool serial = qb::AppSettings::IsSerialDrive(qb::AppSettings::DriverPath(text.toStdString()));
  slot_->setEnabled(!serial);
  com_->setEnabled(serial);
  baud_->setEnabled(serial);
  device_->setEnabled(serial);
}

void SelectDriveDialog::accept() {
  int slot = 0, com = 0, baud = 0;
  if (!cards::ReadIntegerField(slot_, kSlotMin, kSlotMax, slot) ||
      !cards::ReadIntegerField(com_, kComMin, kComMax, com) ||
      !cards::ReadIntegerField(baud_, kBaudMin, kBaudMax, baud))
    return;
  qb::AppSettings settings;
  settings.SetDrive(drive_->currentText().toStdString());
  settings.SetSlot(slot);
  settings.SetCom(com);
  settings.SetBaud(baud);
  settings.SetDevice(device_->text().toStdString());
  QDialog::accept();
}
