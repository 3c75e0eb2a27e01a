// A job host for fuzz targets: it shows nothing and takes the defaults.
#pragma once

#include <string>

#include "base/job_host.h"

namespace qb::fuzz {

class QuietHost : public JobHost {
 public:
  void WriteOut(const std::string&) override {}
  void ShowErrorBox(const std::string&) override {}
};

}  // namespace qb::fuzz
