#include "base/job_host.h"

#include <cstdio>

#include "platform/console.h"

namespace qb {
namespace {

JobHost* g_host = nullptr;

JobHost& ConsoleHost() {
  static JobHost host;
  return host;
}

}  // namespace

void JobHost::WriteOut(const std::string& text) {
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
  (void)std::fflush(stdout);
}

bool JobHost::PollKey(int& key) {
  return ConsolePollKey(key);
}

void JobHost::ShowStatus(const std::string&) {}
void JobHost::SetProgressRange(long, long) {}
void JobHost::SetProgressPos(long) {}

void JobHost::ShowErrorBox(const std::string& text) {
  (void)std::fwrite(text.data(), 1, text.size(), stderr);
  if (text.empty() || text.back() != '\n') (void)std::fputc('\n', stderr);
  (void)std::fflush(stderr);
}

void JobHost::BeginProgress(const std::string&, unsigned) {}
void JobHost::EndProgress() {}
bool JobHost::CheckProgressCancel() {
  return false;
}
bool JobHost::AskYesNo(const std::string&) {
  return false;
}

JobHost& CurrentJobHost() {
  return g_host != nullptr ? *g_host : ConsoleHost();
}

void SetJobHost(JobHost* host) {
  g_host = host;
}

ScopedJobHost::ScopedJobHost(JobHost* host) : previous_(g_host) {
  g_host = host;
}
ScopedJobHost::~ScopedJobHost() {
  g_host = previous_;
}

}  // namespace qb
