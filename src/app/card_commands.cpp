#include "app/card_commands.h"

#include <QScopedValueRollback>
#include <memory>

#include "app/cards/card_capacity_calculator.h"
#include "app/cards/device_options_dialog.h"
#include "app/cards/select_drive_dialog.h"
#include "app/child_frame.h"
#include "app/export_command.h"
#include "app/long_operation.h"
#include "app/main_frame.h"
#include "app/read_report_window.h"
#include "base/job_host.h"

CardCommands::CardCommands(CMainFrame* frame, CProgressDialog* progress)
    : QObject(frame), frame_(frame), launcher_(progress, frame), flows_(launcher_, frame, frame) {
  frame->SetHandler("cardInit", this, [this](CQuillbankManagerDoc*) { CardInit(); });
  frame->SetHandler("cardRead", this, [this](CQuillbankManagerDoc*) { CardRead(); });
  frame->SetHandler("cardInfo", this, [this](CQuillbankManagerDoc*) { CardInfo(); });
  frame->SetHandler("fileExport", this, [this](CQuillbankManagerDoc* doc) { Export(doc); });
  frame->SetHandler("fileReadReport", this,
                    [this](CQuillbankManagerDoc* doc) { ReadReportCommand(doc, frame_.data()); });
  frame->SetHandler("optionsDrive", this, [this](CQuillbankManagerDoc*) { SelectDrive(); });
  frame->SetHandler("optionsDevice", this, [this](CQuillbankManagerDoc*) { DeviceOptions(); });
  frame->SetHandler("optionsCalculator", this, [this](CQuillbankManagerDoc*) { Calculator(); });
}

// Events pumped while a command runs may bring another: it is refused.

void CardCommands::SelectDrive() {
  if (!running_) SelectDriveDialog(frame_.data()).exec();
}

void CardCommands::DeviceOptions() {
  if (!running_) DeviceOptionsDialog(frame_.data()).exec();
}

void CardCommands::Calculator() {
  if (!running_) CardCapacityCalculator(frame_.data()).exec();
}

template <typename Job>
void CardCommands::RunJob(Job job) {
  if (running_) return;
  // The frame disables what would disturb the job while it runs.
  QScopedValueRollback<bool> running(running_, true);
  LongOperation operation;
  job();
}

void CardCommands::CardInit() {
  RunJob([this] { flows_.CardInitCommand(); });
}

void CardCommands::CardRead() {
  RunJob([this] { flows_.CardReadCommand(); });
}

void CardCommands::CardInfo() {
  RunJob([this] { flows_.CardInfoCommand(false); });
}

void CardCommands::Export(CQuillbankManagerDoc* doc) {
  RunJob([this, doc] {
    // The document stays alive while its lines are written, also when its
    // windows close meanwhile.
    std::shared_ptr<CQuillbankManagerDoc> keep;
    if (frame_)
      for (CChildFrame* child : frame_->childFrames())
        if (child->document() == doc) keep = child->sharedDocument();
    ExportCommand(doc, frame_.data(), qb::CurrentJobHost());
  });
}
