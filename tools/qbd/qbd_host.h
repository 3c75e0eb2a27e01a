// qbd's job host: the console host's progress line on standard error (when
// that is a terminal), the error box kept for the command to print or to put
// into its JSON, Ctrl-C as the progress display's Cancel, and yes/no
// questions on the terminal (without one: stop, and keep nothing).
#pragma once

#include <string>

#include "common/console_job_host.h"

namespace qb {

class QbdHost : public ConsoleJobHost {
 public:
  explicit QbdHost(bool progress_line) : ConsoleJobHost(progress_line) {}

  void ShowErrorBox(const std::string& text) override;
  void BeginProgress(const std::string& caption, unsigned parts) override;
  void EndProgress() override;
  bool CheckProgressCancel() override;
  bool AskYesNo(const std::string& text) override;

  // The text of the last error box; empty when none was shown.
  const std::string& box() const { return box_; }
  // Whether the user interrupted the work.
  bool interrupted() const { return interrupted_; }

  // From now on Ctrl-C asks the running work to stop instead of ending the
  // program.
  static void CatchInterrupt();

 private:
  std::string box_;
  bool interrupted_ = false;
};

}  // namespace qb
