#include "app/cards/card_capacity_calculator.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"
#include "base/messages.h"
#include "base/text_format.h"

namespace {

// Sectors per data byte: one sector holds 499 bytes of records.
constexpr double kSectorsPerByte = 0.002004008016032064;
constexpr int kFixedSectorBytes = 40;
constexpr int kReservePercent = 10;

}  // namespace

double CardCapacityMegabytes(int chars_event, int events_hour, int hours_day, int rec_days) {
  const int bytes_per_event = 2 * ((chars_event + 1) / 2) + 6;
  const double bytes_per_day = static_cast<double>(bytes_per_event) * events_hour * hours_day;
  const int daily_overhead =
      6 * (static_cast<int>(std::ceil(static_cast<double>(hours_day) * events_hour * 0.01)) +
           hours_day);
  const double total_bytes = (daily_overhead + bytes_per_day) * rec_days + 4;
  const double fixed_sectors = std::ceil(kFixedSectorBytes * kSectorsPerByte) + 2;
  const double data_sectors = std::ceil(total_bytes * kSectorsPerByte);
  const double sectors = std::ceil((data_sectors + fixed_sectors) * (kReservePercent * 0.01 + 1));
  return std::ceil(sectors * 512 * 0.000001);
}

CardCapacityCalculator::CardCapacityCalculator(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("capacityCalculator"));
  setWindowTitle(UiText(qb::msg::kDialogCalculatorTitle));

  qb::AppSettings settings;
  const struct {
    const qb::Message<>& label;
    const char* name;
    int min, max, value;
  } inputs[kInputs] = {
      {qb::msg::kDialogCalculatorDays, "recDays", 1, 10000, settings.RecDays()},
      {qb::msg::kDialogCalculatorCharsEvent, "charsEvent", 1, 496, settings.CharsEvent()},
      {qb::msg::kDialogCalculatorEventsHour, "eventHours", 0, 10000, settings.EventHours()},
      {qb::msg::kDialogCalculatorHoursDay, "hoursDay", 1, 24, settings.HoursDay()},
  };
  auto* grid = new QGridLayout;
  for (int i = 0; i < kInputs; ++i) {
    auto* edit = new QLineEdit(QString::number(inputs[i].value), this);
    edit->setObjectName(QString::fromLatin1(inputs[i].name));
    edit->setAlignment(Qt::AlignRight);
    edit->setMaximumWidth(edit->fontMetrics().averageCharWidth() * 10);
    fields_[i] = {edit, inputs[i].min, inputs[i].max, inputs[i].value};
    grid->addWidget(new QLabel(UiText(inputs[i].label), this), i, 0);
    grid->addWidget(edit, i, 1);
  }

  result_ = new QLineEdit(this);
  result_->setObjectName(QStringLiteral("result"));
  result_->setReadOnly(true);
  result_->setAlignment(Qt::AlignRight);
  result_->setMaximumWidth(result_->fontMetrics().averageCharWidth() * 10);
  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("icon"));
  icon_->setFixedSize(36, 36);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  message_->setTextFormat(Qt::PlainText);
  message_->setMinimumHeight(message_->fontMetrics().height() * 2);

  auto* result_row = new QHBoxLayout;
  result_row->addWidget(result_);
  result_row->addWidget(new QLabel(UiText(qb::msg::kDialogCalculatorMegabytes), this));
  result_row->addStretch();
  auto* result_box = new QVBoxLayout;
  result_box->addWidget(new QLabel(UiText(qb::msg::kDialogCalculatorMinimum), this));
  result_box->addLayout(result_row);
  auto* result_area = new QHBoxLayout;
  result_area->addWidget(icon_, 0, Qt::AlignTop);
  result_area->addLayout(result_box, 1);

  QDialogButtonBox* buttons = OkCancelButtons(this);
  // The Cancel button exists but is hidden: Escape still closes the dialog.
  buttons->findChild<QPushButton*>(QStringLiteral("cancel"))->setVisible(false);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(result_area);
  layout->addWidget(message_);
  layout->addWidget(buttons);

  Recompute();
  for (Field& field : fields_)
    connect(field.edit, &QLineEdit::textChanged, this, &CardCapacityCalculator::InputChanged);
}

void CardCapacityCalculator::InputChanged() {
  if (restoring_) return;
  for (Field& field : fields_) {
    int value = 0;
    if (ParseIntegerField(field, value)) continue;
    return;
  }
  Recompute();
}

bool CardCapacityCalculator::ParseIntegerField(Field& field, int& value) {
  if (cards::ParseInteger(field.edit->text(), value)) {
    field.value = value;
    return true;
  }
  cards::ShowNotAnInteger(this);
  restoring_ = true;
  field.edit->setText(QString::number(field.value));
  restoring_ = false;
  field.edit->setFocus();
  field.edit->selectAll();
  Recompute();
  return false;
}

void CardCapacityCalculator::Recompute() {
  double megabytes = CardCapacityMegabytes(fields_[kCharsEvent].value, fields_[kEventHours].value,
                                           fields_[kHoursDay].value, fields_[kRecDays].value);
  result_->setText(QString::fromStdString(qb::FormatText("%.f", megabytes)));
  bool too_large = megabytes > kMaxMegabytes;
  if (too_large) {
    QApplication::beep();
    message_->setText(UiText(qb::msg::kCapacityTooMuch,
                             QString::fromStdString(qb::FormatText("%.f", kMaxMegabytes))));
  } else {
    message_->clear();
  }
  icon_->setProperty("iconId", too_large ? cards::kIconWarning : cards::kIconCard);
  icon_->setPixmap(cards::CardPicture(too_large ? cards::kIconWarning : cards::kIconCard));
}

void CardCapacityCalculator::accept() {
  std::array<int, kInputs> values{};
  for (int i = 0; i < kInputs; ++i)
    if (!cards::ReadIntegerField(fields_[i].edit, fields_[i].min, fields_[i].max, values[i]))
      return;
  qb::AppSettings settings;
  settings.SetRecDays(values[kRecDays]);
  settings.SetCharsEvent(values[kCharsEvent]);
  settings.SetEventHours(values[kEventHours]);
  settings.SetHoursDay(values[kHoursDay]);
  QDialog::accept();
}
