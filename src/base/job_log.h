// The job log: one line per event, "%Y-%m-%d %H:%M:%S text", appended to the
// file named by the job's logfile option and flushed after every line.
#pragma once

#include <string>

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

void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with the catalogue text `id` as the format.
void LogMessageId(int id, ...);

// While quiet, log lines are dropped.
void SetLogQuiet(bool quiet);

}  // namespace qb
