// The job host of the application: jobs and long operations report their
// progress into a progress dialog and ask their questions in message boxes.
// The console key poll is the progress dialog here: its Cancel (the button,
// or Escape while it has the focus) is the job's Escape key.
#pragma once

#include <QPointer>
#include <string>

#include "app/progress_dialog.h"

#include "base/job_host.h"

class QWidget;

class GuiJobHost : public qb::JobHost {
 public:
  // `shared` is the application's progress dialog, which the card flows show
  // and hide themselves (not owned). `parent` is the window that message
  // boxes and the dialogs of BeginProgress belong to; may be null.
  GuiJobHost(CProgressDialog* shared, QWidget* parent);
  ~GuiJobHost() override;

  // Delivers waiting window events, then answers Escape while the user's
  // Cancel stands in the progress dialog (the flag is left for the flow
  // that showed the dialog, which clears it); no key otherwise.
  bool PollKey(int& key) override;
  void ShowStatus(const std::string& text) override;
  void SetProgressRange(long low, long high) override;
  void SetProgressPos(long position) override;
  void ShowErrorBox(const std::string& text) override;
  void BeginProgress(const std::string& caption, unsigned parts) override;
  void EndProgress() override;
  bool CheckProgressCancel() override;
  bool AskYesNo(const std::string& text) override;

  // The dialog progress goes to: the one of BeginProgress while it lasts,
  // else the shared one.
  CProgressDialog* Dialog() const;

 private:
  CProgressDialog* shared_;
  QWidget* parent_;
  // Null also when its parent window took it along.
  QPointer<CProgressDialog> own_;
};
