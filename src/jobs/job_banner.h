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

}  // namespace qb
