#include "base/job_log.h"

#include <strings.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "platform/posix_names.h"

namespace qb {
namespace {

FILE* g_log = nullptr;
bool g_quiet = false;

void WriteLine(const std::string& text) {
  if (g_log == nullptr || g_quiet) return;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  (void)std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  (void)std::fprintf(g_log, "%s %s\n", stamp, text.c_str());
  (void)std::fflush(g_log);
}

}  // namespace

bool OpenJobLog(const std::string& path) {
  if (g_log != nullptr) {
    (void)std::fclose(g_log);
    g_log = nullptr;
  }
  g_quiet = false;
  if (path.empty()) return true;
  const char* name = strcasecmp(path.c_str(), "NUL") == 0 ? "/dev/null" : path.c_str();
  g_log = std::fopen(name, "a");
  if (g_log == nullptr) {
    SetSystemError(errno);
    return false;
  }
  RegisterCleanup(CloseJobLog);
  LogMessage(msg::kOpenLogfile);
  return true;
}

void CloseJobLog() {
  if (g_log == nullptr) return;
  g_quiet = false;
  LogMessage(msg::kCloseLogfile);
  (void)std::fclose(g_log);
  g_log = nullptr;
}

bool JobLogOpen() {
  return g_log != nullptr;
}

void LogMessage(const char* format, ...) {
  if (g_log == nullptr || g_quiet) return;
  va_list args;
  va_start(args, format);
  std::string text = VFormatText(format, args);
  va_end(args);
  WriteLine(text);
}

void LogText(const std::string& text) {
  WriteLine(text);
}

void SetLogQuiet(bool quiet) {
  g_quiet = quiet;
}

}  // namespace qb
