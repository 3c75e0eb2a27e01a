// Carries out the commands the main frame hands on that concern cards and
// settings: Card Init, Read and Info, the Select Drive and Quillbank options
// dialogs, the capacity calculator, and File > Export.
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
  // Connects to the frame's commandRequested. `progress` is the
  // application's shared progress dialog. Neither is owned.
  CardCommands(CMainFrame* frame, CProgressDialog* progress);

  // True while a card command or an export of this object runs.
  bool running() const { return running_; }

 public slots:
  void OnCommand(int id, CQuillbankManagerDoc* doc);

 private:
  QPointer<CMainFrame> frame_;
  CardJobLauncher launcher_;
  CardFlows flows_;
  bool running_ = false;
};
