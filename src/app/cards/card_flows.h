// The three commands of the Card menu as flows of questions, card checks and
// jobs: Card Init (a card that holds no records gets the device options of
// the settings and the ID string), Card Read (the records go into a new,
// numbered, read-only record file with its read-only read report beside it,
// signed with the lab's key when one is set; both are flushed to disk before
// the card is emptied with its own options, and the file is opened as a
// document; a read that fails on damaged sectors offers a rescue read, after
// which the card is not emptied) and Card Info (the card's ID string and
// options in a box).
#pragma once

#include <QString>
#include <string>

#include "jobs/read_card.h"

class CardJobLauncher;
class CMainFrame;
class QWidget;

// The path a read records to when `chosen` was picked: unchanged when
// neither it nor a numbered sibling "base(n).ext" exists, else numbered one
// above the highest number found (a chosen name's own "(n)" is dropped
// first, and the plain name counts as 1).
QString NumberRecordPath(const QString& chosen);

// The text of the Card Info box.
QString CardInfoText(const qb::CardInfo& info, const std::string& id);

class CardFlows {
 public:
  // `frame` opens the record file of a read (none: no document template);
  // `parent` owns the message boxes and dialogs. Neither is owned.
  CardFlows(CardJobLauncher& launcher, CMainFrame* frame, QWidget* parent);

  bool CardInitCommand();
  bool CardReadCommand();
  // With `ask_continue` the box has OK and Cancel; true when OK was pressed
  // (also when the card's options could not be read and nothing is pending).
  bool CardInfoCommand(bool ask_continue);

 private:
  bool OpenRecordFile(const QString& path);
  // Signs the read report beside the record file with the key of the
  // settings, when one is set; a failure is shown as a warning.
  void SignReport(const std::string& record_path);

  CardJobLauncher& launcher_;
  CMainFrame* frame_;
  QWidget* parent_;
};
