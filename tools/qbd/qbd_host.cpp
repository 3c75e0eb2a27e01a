#include "qbd_host.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "base/messages.h"

namespace qb {
namespace {

volatile sig_atomic_t g_interrupt = 0;

void OnInterrupt(int) {
  g_interrupt = 1;
#ifdef _WIN32
  signal(SIGINT, OnInterrupt);  // the handler is reset before each call
#endif
}

}  // namespace

void QbdHost::CatchInterrupt() {
#ifdef _WIN32
  signal(SIGINT, OnInterrupt);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
#endif
}

void QbdHost::ShowErrorBox(const std::string& text) {
  ClearProgress();
  box_ = text;
}

void QbdHost::BeginProgress(const std::string&, unsigned) {}

void QbdHost::EndProgress() {
  ClearProgress();
}

bool QbdHost::CheckProgressCancel() {
  if (g_interrupt == 0) return false;
  g_interrupt = 0;
  interrupted_ = true;
  return true;
}

bool QbdHost::AskYesNo(const std::string& text) {
  ClearProgress();
  // Without a terminal to answer on, an interrupt stops the work and keeps
  // nothing half done.
  bool stop_question = text == LoadMessage(msg::kAbortFunction);
  if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) return stop_question;
  std::fprintf(stderr, "%s [y/N] ", text.c_str());
  std::fflush(stderr);
  char answer[64];
  if (std::fgets(answer, sizeof answer, stdin) == nullptr) {
    std::clearerr(stdin);
    std::fputc('\n', stderr);
    return stop_question;
  }
  return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace qb
