#include "common/console_job_host.h"

#include <signal.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <termios.h>
#endif

#include <cstdio>
#include <string>

#include "base/error_report.h"
#include "base/job_args.h"
#include "base/job_cleanup.h"
#include "base/job_runner.h"
#include "base/messages.h"
#include "common/program_version.h"
#include "jobs/console_prompt.h"
#include "jobs/job_banner.h"
#include "jobs/job_options.h"
#include "platform/clock.h"

namespace qb {
namespace {

constexpr int64_t kRedrawIntervalMs = 100;
constexpr size_t kDefaultWidth = 80;

void WriteStderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

#ifdef _WIN32
size_t TerminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) != 0) {
    int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 1) return static_cast<size_t>(width);
  }
  return kDefaultWidth;
}

// The console keeps no mode of ours to restore: the key poll reads keys
// without changing it.
void GuardTerminal() {}
#else
size_t TerminalWidth() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
  return kDefaultWidth;
}

// The terminal as the program found it, restored when a signal ends the
// program while a job has the terminal in key-by-key mode.
termios g_saved_terminal;
bool g_terminal_saved = false;

void RestoreTerminalAndDie(int signal_number) {
  if (g_terminal_saved) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
  static const char kClearLine[] = "\r\033[K";
  if (isatty(STDERR_FILENO)) {
    ssize_t ignored = write(STDERR_FILENO, kClearLine, sizeof kClearLine - 1);
    (void)ignored;
  }
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void GuardTerminal() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved_terminal) != 0) return;
  g_terminal_saved = true;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}
#endif

}  // namespace

ConsoleJobHost::ConsoleJobHost(bool progress_line)
    : progress_line_(progress_line), keys_possible_(isatty(STDIN_FILENO) != 0) {}

ConsoleJobHost::~ConsoleJobHost() {
  ClearProgress();
}

void ConsoleJobHost::WriteOut(const std::string& text) {
  ClearProgress();
  JobHost::WriteOut(text);
}

bool ConsoleJobHost::PollKey(int& key) {
  if (!keys_possible_) {
    key = kKeyNoConsole;
    return true;
  }
  return JobHost::PollKey(key);
}

void ConsoleJobHost::ShowStatus(const std::string& text) {
  model_.SetText(text);
  Redraw();
}

void ConsoleJobHost::SetProgressRange(long low, long high) {
  model_.SetRange(low, high);
  model_.SetPos(low);
  model_.bar_visible = true;
  times_shown_ = false;
  Redraw();
}

void ConsoleJobHost::SetProgressPos(long position) {
  if (model_.SetPos(position)) times_shown_ = true;
  Redraw();
}

void ConsoleJobHost::ShowErrorBox(const std::string& text) {
  ClearProgress();
  JobHost::ShowErrorBox(text);
}

void ConsoleJobHost::BeginProgress(const std::string& caption, unsigned parts) {
  model_.Reset();
  model_.bar_visible = (parts & kProgressBar) != 0;
  caption_ = caption;
  times_shown_ = false;
}

void ConsoleJobHost::EndProgress() {
  ClearProgress();
  model_.Reset();
  caption_.clear();
}

void ConsoleJobHost::ClearProgress() {
  if (!drawn_) return;
  WriteStderr("\r\033[K");
  drawn_ = false;
}

std::string ConsoleJobHost::ProgressLine(size_t width) const {
  std::string line = caption_.empty() ? std::string() : caption_ + ": ";
  for (char c : model_.Text())
    line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
  if (model_.bar_visible && times_shown_) {
    line += "  " + model_.PercentText();
    if (!model_.TimeText().empty()) line += "  " + model_.TimeText();
  }
  if (line.size() > width) line.resize(width);
  return line;
}

void ConsoleJobHost::Redraw() {
  if (!progress_line_) return;
  int64_t now = MonotonicMillis();
  if (drawn_ && now - last_draw_ms_ < kRedrawIntervalMs) return;
  last_draw_ms_ = now;
  // One column is kept free so that the terminal does not wrap the line.
  std::string line(1, '\r');
  line += ProgressLine(TerminalWidth() - 1);
  line += "\033[K";
  WriteStderr(line);
  drawn_ = true;
}

int RunConsoleJob(JobEntry entry, const char* job_name, int argc, char** argv) {
  if (tools::HasArgument(argc, argv, "--version")) {
    std::string program(job_name);
    for (char& c : program) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    std::string text = JobVersionLine(job_name) + "\n" + tools::ProgramVersionLine(program.c_str());
    std::puts(text.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  ConsoleJobHost host(isatty(STDERR_FILENO) != 0);
  ScopedJobHost scoped(&host);
  GuardTerminal();
  ClearErrors();
  ClearCleanups();
  // Only the arguments the job reads must fit its argument slots.
  if (JobArgumentCount(argc, argv) > JobArgs::kSlots) {
    host.ShowErrorBox(std::string(LoadMessage(msg::kError)) + "!\n" +
                      FillMessage(msg::kTooManyArguments, JobArgs::kSlots - 1) + "\n");
    return 1;
  }
  // A program's argument vector is null-terminated, as the jobs need it.
  int result = CallJobEntry(entry, argc, argv);
  host.ClearProgress();
  if (result != 0) host.ShowErrorBox(JobFailureText());
  size_t shown = ErrorList().size();
  RunCleanups();
  // A card that does not close says so after the job's own texts.
  for (size_t i = shown; i < ErrorList().size(); ++i) WriteStderr(ErrorList()[i] + "\n");
  return result == 0 ? 0 : 1;
}

}  // namespace qb
