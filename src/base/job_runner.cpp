#include "base/job_runner.h"

#include <new>
#include <string>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_host.h"
#include "base/messages.h"

namespace qb {

std::string JobFailureText() {
  return std::string(LoadMessage(msg::kError)) + "!\n" + JoinErrors(true);
}

int CallJobEntry(JobEntry entry, int argc, char** argv) {
  try {
    return entry(argc, argv);
  } catch (const std::bad_alloc&) {
    ReportMessage(msg::kOutOfMemory);
    return 1;
  }
}

bool RunJob(JobEntry entry, JobArgs& args) {
  ClearErrors();
  ClearCleanups();
  char** argv = args.BuildArgv();
  int result = CallJobEntry(entry, args.Argc(), argv);
  bool success = result == 0;
  if (!success) CurrentJobHost().ShowErrorBox(JobFailureText());
  args.ReleaseArgv();
  RunCleanups();
  return success;
}

char** BeginCardCheck(JobArgs& args) {
  ClearErrors();
  ClearCleanups();
  return args.BuildArgv();
}

void EndCardCheck(JobArgs& args) {
  args.ReleaseArgv();
  RunCleanups();
}

}  // namespace qb
