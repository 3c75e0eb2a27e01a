#include "app/printer_emulation_dialog.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/cards/app_settings.h"
#include "base/messages.h"

namespace {

constexpr int kTextTitle = 61027;
constexpr int kTextScan = 61028;
constexpr int kTextShowUnknown = 61029;
constexpr int kTextConvert = 61030;

}  // namespace

CPrinterEmulationDialog::CPrinterEmulationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("printerEmulationDialog"));
  setWindowTitle(UiText(kTextTitle));
  scan_ = new QCheckBox(UiText(kTextScan), this);
  scan_->setObjectName(QStringLiteral("scanPrinterEsc"));
  show_unknown_ = new QCheckBox(UiText(kTextShowUnknown), this);
  show_unknown_->setObjectName(QStringLiteral("showUnknownPrinterEsc"));
  convert_ = new QCheckBox(UiText(kTextConvert), this);
  convert_->setObjectName(QStringLiteral("asciiToAnsi"));
  convert_->setEnabled(false);
  convert_->setVisible(false);

  qb::AppSettings settings;
  scan_->setChecked(settings.ScanPrinterEsc() != 0);
  show_unknown_->setChecked(settings.ShowUnknownPrinterEsc() != 0);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scan_);
  layout->addWidget(show_unknown_);
  layout->addWidget(convert_);
  layout->addWidget(buttons);
}

void CPrinterEmulationDialog::accept() {
  qb::AppSettings settings;
  settings.SetScanPrinterEsc(scan_->isChecked() ? 1 : 0);
  settings.SetShowUnknownPrinterEsc(show_unknown_->isChecked() ? 1 : 0);
  QDialog::accept();
}
