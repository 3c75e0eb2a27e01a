// Runs the card jobs inside the application: builds a job's argument list
// from the settings (or from the card's own options), sets the serial
// drive's environment, wakes the serial drive when it is the selected one,
// shows the shared progress dialog while a job or a card check runs, and
// writes and removes the ID file of an initialisation. Failures reach the
// user through the error report: a job's through RunJob's box, a check's
// stay pending for the flow that asked.
//
// Every operation here runs a job or a card check on the user-interface
// thread, pumping events through the progress dialog while it works.
#pragma once

#include <string>

#include "base/job_args.h"
#include "base/messages.h"
#include "jobs/read_card.h"

class CProgressDialog;
class QWidget;

// The name of the ID file of an initialisation.
inline constexpr const char* kIdFileName = "comment.txt";

// INITCARD's arguments from the settings, with `id_file` as its comment.
qb::JobArgs InitArgsFromSettings(const std::string& id_file);
// INITCARD's arguments with the options read from a card.
qb::JobArgs InitArgsFromCard(const qb::CardInfo& info, const std::string& id_file);
// READCARD's arguments; an empty record output for the card checks. A read
// into a record file also writes its read report; `rescue` skips damaged
// sectors. Every list names both options, since a job's options outlive it.
qb::JobArgs ReadArgs(const std::string& record_output, bool rescue = false);
// Sets DD_COM and DD_BAUDRATE from the serial drive's settings, and
// DD_DEVICE to its Device setting when that is not empty (else to the value
// the process had at its first call, or unset).
void SetSerialDriveEnvironment();

class CardJobLauncher {
 public:
  // `progress` is the application's shared progress dialog; `parent` the
  // window the launcher's own message boxes belong to. Neither is owned.
  CardJobLauncher(CProgressDialog* progress, QWidget* parent);

  // INITCARD. With `reuse` the card's own options and ID string are written
  // again when they can be read; otherwise (and without reuse) the settings
  // and the ID setting. True when the job ran and succeeded.
  bool RunInit(bool reuse);
  // READCARD into the record file `path` and its read report beside it;
  // `rescue` skips damaged sectors. True on success.
  bool RunRead(const std::string& path, bool rescue = false);
  // True when the last RunRead failed on sectors that could not be read or
  // failed their check: a rescue read may get the rest.
  bool ReadHitDamage() const { return read_hit_damage_; }
  // True when the card holds no records, also when the check could not
  // examine the card (its messages stay pending). False when it holds
  // records, and when the drive could not be prepared.
  bool CheckCardEmpty();
  // The card's information; with `keep_id` the card's ID string is kept in
  // the launcher on success. True on success.
  bool FetchCardInfo(qb::CardInfo& info, bool keep_id = false);
  // Turns the Drive setting into a driver path and wakes a serial drive.
  bool PrepareDrive();
  // Wakes the serial drive: opens its port and asks for its identification,
  // asking again every 300 ms with a blinking display until it answers or
  // the user cancels.
  bool WakeSerialDrive();

  // The ID string of the card found by the last successful FetchCardInfo
  // with `keep_id`.
  const std::string& CardId() const { return card_id_; }
  // True when the user cancelled a serial wake-up since ClearCancelled.
  bool Cancelled() const { return cancelled_; }
  void ClearCancelled() { cancelled_ = false; }
  // True when the last CheckCardEmpty could not prepare the drive.
  bool DriveFailed() const { return drive_failed_; }

  // The time between two identification attempts of the wake-up.
  static constexpr int kWakeRetryMs = 300;

 private:
  // The progress dialog with a caption, "Please wait . . ." and no bar.
  void ShowWait(const qb::Message<>& caption);
  void HideWait();
  // Writes the ID file: "comment.txt" in the current folder, or in a
  // private folder of the user's temporary folder when the current one is
  // not writable. The path used, empty on failure (errno set).
  std::string WriteIdFile(const std::string& id);
  void RemoveIdFile();
  // Runs a card check with the READCARD arguments of a check.
  template <typename Check>
  bool RunCardCheck(Check check, bool& prepared);

  CProgressDialog* progress_;
  QWidget* parent_;
  std::string record_output_;
  std::string card_id_;
  std::string id_file_;
  std::string id_folder_;  // the private temporary folder, when one was made
  bool cancelled_ = false;
  bool drive_failed_ = false;
  bool read_hit_damage_ = false;
};
