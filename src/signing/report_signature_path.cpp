#include "signing/report_signature.h"

namespace qb {

std::string ReportSignaturePath(const std::string& record_path) {
  return record_path + ".report.sig";
}

}  // namespace qb
