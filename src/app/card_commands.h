// Carries out the main frame's commands that concern cards and settings:
// Card Init, Read and Info, the Select Drive and Quillbank options dialogs,
// the capacity calculator, and File > Export. It registers itself as their
// handler with the frame.
//
// The card commands and the export run on the user-interface thread and
// pump events while they work. Each runs as a long operation, so the frame
// disables what would disturb it, and every command of this object that
// still arrives meanwhile is refused: no second job starts on the one sector
// device and clean-up list.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/cards/card_flows.h"
#include "app/cards/card_job_launcher.h"

class CMainFrame;
class CProgressDialog;
class CQuillbankManagerDoc;

class CardCommands : public QObject {
  Q_OBJECT

 public:
  // Registers the commands with the frame. `progress` is the application's
  // shared progress dialog. Neither is owned.
  CardCommands(CMainFrame* frame, CProgressDialog* progress);

  // True while a card command or an export of this object runs.
  bool running() const { return running_; }

  // The commands; each is refused while one of them runs.
  void CardInit();
  void CardRead();
  void CardInfo();
  void Export(CQuillbankManagerDoc* doc);
  void SelectDrive();
  void DeviceOptions();
  void Calculator();

 private:
  // Runs `job` as a long operation, unless one of the commands runs.
  template <typename Job>
  void RunJob(Job job);

  QPointer<CMainFrame> frame_;
  CardJobLauncher launcher_;
  CardFlows flows_;
  bool running_ = false;
};
