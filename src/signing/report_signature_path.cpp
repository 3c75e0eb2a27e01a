#include <cerrno>
#include <cstring>

#include "document/read_report.h"
#include "platform/safe_output_file.h"
#include "signing/report_signature.h"

namespace qb {

std::string ReportSignaturePath(const std::string& record_path) {
  return record_path + ".report.sig";
}

bool SignReportFile(const std::string& key_path, const std::string& record_path,
                    std::string& problem) {
  std::string report;
  int error = ReadReportFile(ReadReportPath(record_path), report);
  std::string signature;
  if (error == 0 && !SignWithKeyFile(key_path, report, signature, problem)) return false;
  SafeOutputFile file;
  if (error == 0) error = file.Open(ReportSignaturePath(record_path));
  if (error == 0 && !file.Write(signature.data(), signature.size()))
    error = errno != 0 ? errno : EIO;
  if (error == 0) error = file.Commit();
  if (error != 0) {
    file.Discard();
    problem = std::strerror(error);
    return false;
  }
  return true;
}

}  // namespace qb
