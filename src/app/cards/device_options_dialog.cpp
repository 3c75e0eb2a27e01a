#include "app/cards/device_options_dialog.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"
#include "base/messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/cards/app_settings.h"

namespace {

// A group box of radio buttons in `columns` columns; each button's id in the
// button group is its value.
QGroupBox* RadioGroup(QWidget* parent, const QString& title, QButtonGroup* group,
                      const std::vector<std::pair<QString, int>>& buttons, const char* prefix,
                      int columns) {
  auto* box = new QGroupBox(title, parent);
  auto* grid = new QGridLayout(box);
  int n = 0;
  for (const auto& [text, value] : buttons) {
    auto* button = new QRadioButton(text, box);
    button->setObjectName(QString::fromLatin1(prefix) + QString::number(value));
    group->addButton(button, value);
    grid->addWidget(button, n % ((static_cast<int>(buttons.size()) + columns - 1) / columns),
                    n / ((static_cast<int>(buttons.size()) + columns - 1) / columns));
    ++n;
  }
  return box;
}

void Select(QButtonGroup* group, int value) {
  if (QAbstractButton* button = group->button(value)) button->setChecked(true);
}

}  // namespace

DeviceOptionsDialog::DeviceOptionsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("deviceOptionsDialog"));
  setWindowTitle(UiText(qb::msg::kDialogDeviceOptionsTitle));

  rates_ = new QButtonGroup(this);
  data_bits_ = new QButtonGroup(this);
  stop_bits_ = new QButtonGroup(this);
  parity_ = new QButtonGroup(this);
  std::vector<std::pair<QString, int>> rates;
  for (int rate : kRates) rates.emplace_back(QString::number(rate), rate);
  QGroupBox* rate_box =
      RadioGroup(this, UiText(qb::msg::kDialogDeviceOptionsBaudrate), rates_, rates, "baud", 3);
  QGroupBox* data_box =
      RadioGroup(this, UiText(qb::msg::kDialogDeviceOptionsDataBits), data_bits_,
                 {{QStringLiteral("7"), 7}, {QStringLiteral("8"), 8}}, "dataBits", 1);
  QGroupBox* stop_box =
      RadioGroup(this, UiText(qb::msg::kDialogDeviceOptionsStopBits), stop_bits_,
                 {{QStringLiteral("1"), 1}, {QStringLiteral("2"), 2}}, "stopBits", 1);
  // The parity buttons carry the character they stand for.
  QGroupBox* parity_box = RadioGroup(this, UiText(qb::msg::kDialogDeviceOptionsParity), parity_,
                                     {{UiText(qb::msg::kDialogDeviceOptionsEven), int('E')},
                                      {UiText(qb::msg::kDialogDeviceOptionsOdd), int('O')}},
                                     "parity", 1);
  parity_->button('E')->setObjectName(QStringLiteral("parityEven"));
  parity_->button('O')->setObjectName(QStringLiteral("parityOdd"));
  auto* memory_box = new QGroupBox(UiText(qb::msg::kDialogDeviceOptionsMemory), this);
  ring_ = new QCheckBox(UiText(qb::msg::kDialogDeviceOptionsRing), memory_box);
  ring_->setObjectName(QStringLiteral("ringMemory"));
  (new QVBoxLayout(memory_box))->addWidget(ring_);

  qb::AppSettings settings;
  int rate = settings.Baudrate();
  bool listed = std::find(kRates.begin(), kRates.end(), rate) != kRates.end();
  Select(rates_, listed ? rate : kRates.front());
  Select(data_bits_,
         settings.DataBits() == 7 || settings.DataBits() == 8 ? settings.DataBits() : -1);
  Select(stop_bits_,
         settings.StopBits() == 1 || settings.StopBits() == 2 ? settings.StopBits() : -1);
  std::string parity = settings.Parity();
  if (!parity.empty() && (parity[0] == 'E' || parity[0] == 'O')) Select(parity_, parity[0]);
  ring_->setChecked(settings.MemOrg() != 0);

  auto* key_row = new QHBoxLayout;
  auto* key_label = new QLabel(UiText(qb::msg::kDialogSignKey), this);
  sign_key_ = new QLineEdit(QString::fromStdString(settings.SignKey()), this);
  sign_key_->setObjectName(QStringLiteral("signKey"));
  key_label->setBuddy(sign_key_);
  auto* browse = new QPushButton(UiText(qb::msg::kDialogBrowse), this);
  browse->setObjectName(QStringLiteral("signKeyBrowse"));
  connect(browse, &QPushButton::clicked, this, [this] {
    QString chosen = QFileDialog::getOpenFileName(this, QString(), sign_key_->text(),
                                                  DialogFilter(qb::msg::kDialogKeyFilter));
    if (!chosen.isEmpty()) sign_key_->setText(chosen);
  });
  key_row->addWidget(key_label);
  key_row->addWidget(sign_key_, 1);
  key_row->addWidget(browse);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* right = new QVBoxLayout;
  right->addWidget(data_box);
  right->addWidget(stop_box);
  right->addWidget(parity_box);
  auto* top = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(rate_box);
  left->addWidget(memory_box);
  left->addStretch();
  top->addLayout(left);
  top->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(key_row);
  layout->addWidget(buttons);
}

void DeviceOptionsDialog::accept() {
  qb::AppSettings settings;
  int rate = rates_->checkedId();
  settings.SetBaudrate(rate > 0 ? rate : kRates.front());
  if (data_bits_->checkedId() > 0) settings.SetDataBits(data_bits_->checkedId());
  if (stop_bits_->checkedId() > 0) settings.SetStopBits(stop_bits_->checkedId());
  if (parity_->checkedId() > 0)
    settings.SetParity(std::string(1, static_cast<char>(parity_->checkedId())));
  settings.SetMemOrg(ring_->isChecked() ? 1 : 0);
  settings.SetSignKey(sign_key_->text().trimmed().toStdString());
  QDialog::accept();
}
