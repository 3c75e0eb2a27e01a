// Hosting a card job in a console program: console text on standard output,
// keys from the terminal, error texts on standard error, and, when standard
// error is a terminal, a one-line progress display there.
#pragma once

#include <cstdint>
#include <string>

#include "base/job_host.h"
#include "base/job_runner.h"
#include "base/progress_model.h"

namespace qb {

class ConsoleJobHost : public JobHost {
 public:
  // `progress_line`: keep the progress display on standard error (normally:
  // whether standard error is a terminal).
  explicit ConsoleJobHost(bool progress_line);
  ~ConsoleJobHost() override;
  ConsoleJobHost(const ConsoleJobHost&) = delete;
  ConsoleJobHost& operator=(const ConsoleJobHost&) = delete;

  void WriteOut(const std::string& text) override;
  // Keys from the terminal; without a terminal on standard input no answer
  // can come, which the jobs' prompts learn from the key kKeyNoConsole.
  bool PollKey(int& key) override;
  void ShowStatus(const std::string& text) override;
  void SetProgressRange(long low, long high) override;
  void SetProgressPos(long position) override;
  void ShowErrorBox(const std::string& text) override;
  // Long work's own display: the caption leads the line until EndProgress.
  void BeginProgress(const std::string& caption, unsigned parts) override;
  void EndProgress() override;

  // Removes the progress line from the screen.
  void ClearProgress();

  // The progress line as it would be drawn now, cut to `width` characters.
  std::string ProgressLine(size_t width) const;

 private:
  // Draws the line unless it was drawn less than a tenth of a second ago.
  void Redraw();

  bool progress_line_;
  bool keys_possible_;  // standard input is a terminal
  bool drawn_ = false;
  bool times_shown_ = false;
  std::string caption_;
  int64_t last_draw_ms_ = 0;
  ProgressModel model_;
};

// Runs a card job from a program's command line: the job's console text goes
// to standard output, its failure ("ERROR!" and the collected texts, one per
// line) to standard error, and what it opened is closed afterwards. Returns
// the job's result (0 or 1) as the exit status. More than 63 options fail.
// --version, anywhere among the options, prints the job's version line
// (`job_name`, e.g. "READCARD") and the package's instead, exit status 0.
int RunConsoleJob(JobEntry entry, const char* job_name, int argc, char** argv);

}  // namespace qb
