#include "app/paper_settings_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QVBoxLayout>
#include <cmath>

#include "app/cards/app_settings.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"
#include "base/messages.h"
#include "printout/printout_settings.h"

namespace {

// A choice list whose entries carry the setting's stored name.
QComboBox* Choices(QWidget* parent, const char* name,
                   std::initializer_list<std::pair<const qb::Message<>*, const char*>> entries,
                   const char* current) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (const auto& [text, value] : entries) box->addItem(UiText(*text), QString::fromLatin1(value));
  box->setCurrentIndex(std::max(box->findData(QString::fromLatin1(current)), 0));
  return box;
}

std::string Chosen(const QComboBox* box) {
  return box->currentData().toString().toStdString();
}

}  // namespace

CPaperSettingsDialog::CPaperSettingsDialog(QWidget* parent) : QDialog(parent) {
  namespace msg = qb::msg;
  using qb::CharacterTable;
  using qb::CharacterTableName;
  using qb::Paper;
  using qb::PaperName;
  using qb::PrinterModel;
  using qb::PrinterModelName;
  setObjectName(QStringLiteral("paperSettingsDialog"));
  setWindowTitle(UiText(msg::kDialogPaperTitle));
  const qb::PrintoutSettings settings = qb::AppSettings().Printout();

  printer_ =
      Choices(this, "printer",
              {{&msg::kPrinterNinePin, PrinterModelName(PrinterModel::kNinePin)},
               {&msg::kPrinterTwentyFourPin, PrinterModelName(PrinterModel::kTwentyFourPin)}},
              PrinterModelName(settings.model));
  table_ = Choices(this, "characterTable",
                   {{&msg::kTableCp437, CharacterTableName(CharacterTable::kCp437)},
                    {&msg::kTableCp850, CharacterTableName(CharacterTable::kCp850)},
                    {&msg::kTableCp852, CharacterTableName(CharacterTable::kCp852)},
                    {&msg::kTableCp858, CharacterTableName(CharacterTable::kCp858)},
                    {&msg::kTableCp1252, CharacterTableName(CharacterTable::kCp1252)},
                    {&msg::kTableLatin1, CharacterTableName(CharacterTable::kLatin1)}},
                   CharacterTableName(settings.table));
  paper_ = Choices(this, "paper",
                   {{&msg::kPaperA4, PaperName(Paper::kA4)},
                    {&msg::kPaperLetter, PaperName(Paper::kLetter)},
                    {&msg::kPaperFanfold12, PaperName(Paper::kFanfold12)}},
                   PaperName(settings.paper));
  margin_ = new QDoubleSpinBox(this);
  margin_->setObjectName(QStringLiteral("leftMargin"));
  margin_->setDecimals(1);
  margin_->setSingleStep(0.5);
  margin_->setRange(0, qb::kMaxLeftMargin / 10.0);
  margin_->setValue(settings.leftMargin / 10.0);

  auto* form = new QFormLayout;
  form->addRow(UiText(msg::kDialogPaperPrinter), printer_);
  form->addRow(UiText(msg::kDialogPaperTable), table_);
  form->addRow(UiText(msg::kDialogPaperPaper), paper_);
  form->addRow(UiText(msg::kDialogPaperLeftMargin), margin_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
}

void CPaperSettingsDialog::accept() {
  qb::AppSettings settings;
  settings.SetPrintoutPrinter(Chosen(printer_));
  settings.SetPrintoutTable(Chosen(table_));
  settings.SetPrintoutPaper(Chosen(paper_));
  settings.SetPrintoutLeftMargin(static_cast<int>(std::lround(margin_->value() * 10)));
  QDialog::accept();
}
