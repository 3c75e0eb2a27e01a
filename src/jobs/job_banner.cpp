#include "jobs/job_banner.h"

#include "base/text_format.h"

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

}  // namespace qb
