// The first lines of a card job: the banner on the console and the version
// line at the head of its log.
#pragma once

#include <string>

namespace qb {

constexpr unsigned kJobVersionMajor = 0;
constexpr unsigned kJobVersionMinor = 0x20;

// "<name> V0.20", e.g. "READCARD V0.20".
std::string JobVersionLine(const char* job_name);
// The version line, a blank and the maker's notice.
std::string JobBannerLine(const char* job_name);

constexpr int kJobContinues = -1;
// The start both card jobs share: the banner on the console, the help switch,
// the options, the log file and the version line at its head. Returns
// kJobContinues when the job goes on, otherwise the job's result: 0 after
// the help text, 1 when the options or the log failed. `check_options`, when
// given, judges the options before the log file is opened (false: the job
// fails, its reason reported).
int StartCardJob(const char* job_name, char** argv, bool (*check_options)() = nullptr);

}  // namespace qb
