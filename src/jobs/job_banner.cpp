#include "jobs/job_banner.h"

#include "base/job_log.h"
#include "base/job_status.h"
#include "base/text_format.h"
#include "jobs/job_options.h"

namespace qb {
namespace {
constexpr const char* kMakerNotice = "(c) KDV GmbH";
}  // namespace

std::string JobVersionLine(const char* job_name) {
  return FormatText("%s V%X.%02X", job_name != nullptr ? job_name : "", kJobVersionMajor,
                    kJobVersionMinor);
}

std::string JobBannerLine(const char* job_name) {
  return JobVersionLine(job_name) + " " + kMakerNotice;
}

int StartCardJob(const char* job_name, char** argv, bool (*check_options)()) {
  ConsoleOut("%s\n", JobBannerLine(job_name).c_str());
  if (ShowHelpIfAsked(argv)) return 0;
  if (!ReadJobOptions(argv)) return 1;
  if (check_options != nullptr && !check_options()) return 1;
  if (!OpenJobLog(Options().logfile)) return 1;
  LogMessage("%s", JobVersionLine(job_name).c_str());
  return kJobContinues;
}

}  // namespace qb
