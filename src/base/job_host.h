// What a job needs from whoever hosts it: a console to write its banner, help
// and prompts to, a key poll, a progress display and an error box. The
// programs host jobs on the console, the application in its windows, tests
// with a recorder. Deep code reaches the host only through this interface.
#pragma once

#include <string>

namespace qb {

class JobHost {
 public:
  virtual ~JobHost() = default;

  // Console text of the jobs (banner, help text, prompts): standard output.
  virtual void WriteOut(const std::string& text);
  // True with the key when one is waiting on the console (read without echo).
  virtual bool PollKey(int& key);
  // The progress display: message text, range (restarts the elapsed-time
  // clock, position 0, bar shown) and position.
  virtual void ShowStatus(const std::string& text);
  virtual void SetProgressRange(long low, long high);
  virtual void SetProgressPos(long position);
  // A modal error box with the given text.
  virtual void ShowErrorBox(const std::string& text);

  // Long work other than the card jobs (loading a document, find, export)
  // opens a progress display of its own for its duration: a caption and the
  // parts to show (a combination of the kProgress* bits). ShowStatus and the
  // range and position calls then go to it until EndProgress.
  virtual void BeginProgress(const std::string& caption, unsigned parts);
  virtual void EndProgress();
  // True once when the user has asked to cancel since the last call.
  virtual bool CheckProgressCancel();
  // A Yes/No question with No as the default; true for Yes.
  virtual bool AskYesNo(const std::string& text);
};

constexpr unsigned kProgressBar = 1;
constexpr unsigned kProgressPercent = 2;
constexpr unsigned kProgressTime = 4;
constexpr unsigned kProgressCancel = 8;

// The host in force; the console host unless another was installed.
JobHost& CurrentJobHost();
// Installs a host (not owned); nullptr restores the console host.
void SetJobHost(JobHost* host);

// Installs a host for the lifetime of the object.
class ScopedJobHost {
 public:
  explicit ScopedJobHost(JobHost* host);
  ~ScopedJobHost();
  ScopedJobHost(const ScopedJobHost&) = delete;
  ScopedJobHost& operator=(const ScopedJobHost&) = delete;

 private:
  JobHost* previous_;
};

}  // namespace qb
