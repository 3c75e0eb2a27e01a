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
#include "base/job_host.h"

namespace {

bool Handles(int id) {
  switch (id) {
    case cmd::kCardInit:
    case cmd::kCardRead:
    case cmd::kCardInfo:
    case cmd::kOptionsDrive:
    case cmd::kOptionsDevice:
    case cmd::kCalculator:
    case cmd::kCalculatorNoDoc:
    case cmd::kExport:
      return true;
    default:
      return false;
  }
}

}  // namespace

CardCommands::CardCommands(CMainFrame* frame, CProgressDialog* progress)
    : QObject(frame), frame_(frame), launcher_(progress, frame), flows_(launcher_, frame, frame) {
  connect(frame, &CMainFrame::commandRequested, this, &CardCommands::OnCommand);
}

void CardCommands::OnCommand(int id, CQuillbankManagerDoc* doc) {
  // Events pumped while a command runs may bring another: it is refused.
  if (!Handles(id) || running_) return;
  QWidget* parent = frame_.data();
  switch (id) {
    case cmd::kOptionsDrive:
      SelectDriveDialog(parent).exec();
      return;
    case cmd::kOptionsDevice:
      DeviceOptionsDialog(parent).exec();
      return;
    case cmd::kCalculator:
    case cmd::kCalculatorNoDoc:
      CardCapacityCalculator(parent).exec();
      return;
    default:
      break;
  }
  // The frame disables what would disturb the job while it runs.
  QScopedValueRollback<bool> running(running_, true);
  LongOperation operation;
  switch (id) {
    case cmd::kCardInit:
      flows_.CardInitCommand();
      break;
    case cmd::kCardRead:
      flows_.CardReadCommand();
      break;
    case cmd::kCardInfo:
      flows_.CardInfoCommand(false);
      break;
    case cmd::kExport: {
      // The document stays alive while its lines are written, also when its
      // windows close meanwhile.
      std::shared_ptr<CQuillbankManagerDoc> keep;
      if (frame_)
        for (CChildFrame* child : frame_->childFrames())
          if (child->document() == doc) keep = child->sharedDocument();
      ExportCommand(doc, parent, qb::CurrentJobHost());
      break;
    }
  }
}
