#include "app/printer_emulation_dialog.h"
#include "app/dialog_buttons.h"
#include "app/ui_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/cards/app_settings.h"
#include "app/text_view.h"
#include "base/messages.h"

CPrinterEmulationDialog::CPrinterEmulationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("printerEmulationDialog"));
  setWindowTitle(UiText(qb::msg::kDialogPrinterEmulationTitle));
  scan_ = new QCheckBox(UiText(qb::msg::kDialogPrinterEmulationScan), this);
  scan_->setObjectName(QStringLiteral("scanPrinterEsc"));
  show_unknown_ = new QCheckBox(UiText(qb::msg::kDialogPrinterEmulationShowUnknown), this);
  show_unknown_->setObjectName(QStringLiteral("showUnknownPrinterEsc"));
  convert_ = new QCheckBox(UiText(qb::msg::kDialogPrinterEmulationConvert), this);
  convert_->setObjectName(QStringLiteral("asciiToAnsi"));
  convert_->setEnabled(false);
  convert_->setVisible(false);

  sessions_ = new QCheckBox(UiText(qb::msg::kDialogShowSessions), this);
  sessions_->setObjectName(QStringLiteral("showSessions"));
  warnings_ = new QCheckBox(UiText(qb::msg::kDialogShowWarnings), this);
  warnings_->setObjectName(QStringLiteral("showRecordingWarnings"));

  qb::AppSettings settings;
  sessions_->setChecked(settings.ShowSessions() != 0);
  warnings_->setChecked(settings.ShowRecordingWarnings() != 0);
  scan_->setChecked(settings.ScanPrinterEsc() != 0);
  show_unknown_->setChecked(settings.ShowUnknownPrinterEsc() != 0);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scan_);
  layout->addWidget(show_unknown_);
  layout->addWidget(convert_);
  layout->addWidget(sessions_);
  layout->addWidget(warnings_);
  layout->addWidget(buttons);
}

void CPrinterEmulationDialog::accept() {
  qb::AppSettings settings;
  settings.SetScanPrinterEsc(scan_->isChecked() ? 1 : 0);
  settings.SetShowUnknownPrinterEsc(show_unknown_->isChecked() ? 1 : 0);
  settings.SetShowSessions(sessions_->isChecked() ? 1 : 0);
  settings.SetShowRecordingWarnings(warnings_->isChecked() ? 1 : 0);
  QDialog::accept();
}

void EditPrinterEmulation(QWidget* parent) {
  CPrinterEmulationDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return;
  for (CQuillbankManagerView* view : CQuillbankManagerView::AllViews()) view->OnUpdate();
}
