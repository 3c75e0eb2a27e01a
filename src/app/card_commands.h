// Carries out the commands the main frame hands on that concern cards and
// settings: Card Init, Read and Info, the Select Drive and Quillbank options
// dialogs, the capacity calculator, and File > Export.
//
// The card commands and the export run on the user-interface thread and
// pump events while they work. While one runs, every command of this object
// is refused and the card commands' actions in the frame are disabled, so
// that no second job starts on the one sector device and clean-up list.
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

  // True while a command of this object runs.
  bool busy() const { return busy_; }

 signals:
  // A card command or an export starts (true) or has ended (false).
  void busyChanged(bool busy);

 public slots:
  void OnCommand(int id, CQuillbankManagerDoc* doc);

 private:
  void SetBusy(bool busy);

  QPointer<CMainFrame> frame_;
  CardJobLauncher launcher_;
  CardFlows flows_;
  bool busy_ = false;
};
