#include "app/gui_job_host.h"

#include <QCoreApplication>
#include <QString>

#include "app/message_box.h"
#include "app/progress_dialog.h"
#include "app/ui_text.h"
#include "base/job_status.h"
#include "base/messages.h"

GuiJobHost::GuiJobHost(CProgressDialog* shared, QWidget* parent)
    : shared_(shared), parent_(parent) {}

GuiJobHost::~GuiJobHost() {
  delete own_;
}

CProgressDialog* GuiJobHost::Dialog() const {
  return own_ ? own_.data() : shared_;
}

bool GuiJobHost::PollKey(int& key) {
  CProgressDialog* dialog = Dialog();
  if (dialog == nullptr) return false;
  // A click or Escape still waiting in the queue counts now.
  QCoreApplication::processEvents();
  if (!dialog->CancelRequested()) return false;
  key = qb::kKeyEscape;
  return true;
}

void GuiJobHost::ShowStatus(const std::string& text) {
  if (CProgressDialog* dialog = Dialog()) dialog->SetText(text);
}

void GuiJobHost::SetProgressRange(long low, long high) {
  CProgressDialog* dialog = Dialog();
  if (dialog == nullptr) return;
  dialog->SetRange(low, high);
  dialog->SetPos(low);
  dialog->ShowProgressBar(true);
}

void GuiJobHost::SetProgressPos(long position) {
  if (CProgressDialog* dialog = Dialog()) dialog->SetPos(position);
}

void GuiJobHost::ShowErrorBox(const std::string& text) {
  ShowBox(parent_, QMessageBox::Critical, BytesText(text));
}

void GuiJobHost::BeginProgress(const std::string& caption, unsigned parts) {
  delete own_;
  own_ = new CProgressDialog(parent_);
  own_->SetCaption(caption);
  own_->ShowProgressBar((parts & qb::kProgressBar) != 0);
  own_->ShowPercent((parts & qb::kProgressPercent) != 0);
  own_->ShowTime((parts & qb::kProgressTime) != 0);
  own_->ShowCancelButton(1, (parts & qb::kProgressCancel) != 0);
  own_->Show(true);
}

void GuiJobHost::EndProgress() {
  if (!own_) return;
  own_->Show(false);
  delete own_;
}

bool GuiJobHost::CheckProgressCancel() {
  CProgressDialog* dialog = Dialog();
  if (dialog == nullptr) return false;
  // A click or Escape still waiting in the queue counts now.
  QCoreApplication::processEvents();
  return dialog->CheckProgressCancel(true);
}

bool GuiJobHost::AskYesNo(const std::string& text) {
  return AskYesNoBox(parent_, BytesText(text));
}
