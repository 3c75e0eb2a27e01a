// The job log: one line per event, "%Y-%m-%d %H:%M:%S text", appended to the
// file named by the job's logfile option and flushed after every line.
#pragma once

#include <string>

#include "base/messages.h"
#include "base/text_format.h"

namespace qb {

// Clears the log state; with an empty path there is no log and this succeeds.
// Otherwise opens the file for appending (the name NUL, in any letter case,
// is the null device): on failure the system error is set and false is
// returned; on success the log's close is registered as a job clean-up and
// "Open logfile" is logged.
bool OpenJobLog(const std::string& path);
// Logs "Close logfile" and closes the file (the registered clean-up).
void CloseJobLog();
bool JobLogOpen();

// Logs a line filled from a format that is not a catalogue text.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Logs a ready line as it is.
void LogText(const std::string& text);
// Logs the catalogue text filled with its arguments (FillMessage).
template <class... Args>
void LogMessage(const Message<Args...>& message, MessageArg<Args>... args) {
  if (JobLogOpen()) LogText(FillMessage(message, args...));
}

// While quiet, log lines are dropped.
void SetLogQuiet(bool quiet);

}  // namespace qb
