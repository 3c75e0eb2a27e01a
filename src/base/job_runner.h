// Running a card job inside the process: clear the error report, call the
// job's entry with the argument vector, show a failure in one box, and close
// what the job opened.
#pragma once

#include "base/job_args.h"

namespace qb {

// A job's entry: returns 0 on success, 1 (any value above 0) on failure.
using JobEntry = int (*)(int argc, char** argv);

// Calls the job's entry. A job that runs out of memory fails with "Out of
// memory" in the error report, and its clean-ups still run afterwards.
int CallJobEntry(JobEntry entry, int argc, char** argv);

// Runs the job; on failure shows "ERROR!\n" with the joined errors through the
// job host's error box. The clean-ups run after the box, so a failing card
// close adds "Closing PC Card" to the list after it has been shown. True on
// success.
bool RunJob(JobEntry entry, JobArgs& args);

// The same preparation and clean-up without the box, for the short entry
// points that look at a card: clears the error report and the clean-up list
// and builds the argument vector.
char** BeginCardCheck(JobArgs& args);
// Releases the argument vector and runs the clean-ups.
void EndCardCheck(JobArgs& args);

// The text of RunJob's failure box.
std::string JobFailureText();

}  // namespace qb
