#include "sign_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "base/text_format.h"
#include "document/read_report.h"
#include "document/record_file_scan.h"
#include "signing/report_signature.h"

namespace qb {
namespace {

void Say(const std::string& line) {
  std::fprintf(stderr, "qbd: %s\n", line.c_str());
}

bool SignOne(const std::string& key_path, const std::string& path) {
  const std::string report_path = ReadReportPath(path);
  std::string text;
  int error = ReadReportFile(report_path, text);
  if (error != 0) {
    Say(FillMessage(msg::kSignNoReport, path.c_str(), std::strerror(error)));
    return false;
  }
  ReadReport report;
  std::string problem;
  if (!ParseReadReport(text, report, problem)) {
    Say(FillMessage(msg::kSignRefused, path.c_str(),
                    FillMessage(msg::kFindingReportUnusable, problem.c_str()).c_str()));
    return false;
  }
  // A signature vouches for the record file as it is: one that no longer
  // matches its report is not signed.
  RecordFileScan scan;
  error = ScanRecordFile(path, scan);
  if (error != 0) {
    Say(FillMessage(msg::kSignRefused, path.c_str(), std::strerror(error)));
    return false;
  }
  if (scan.sha256 != report.sha256 || scan.size != report.fileSize) {
    Say(FillMessage(msg::kSignRefused, path.c_str(), LoadMessage(msg::kFindingChanged)));
    return false;
  }
  if (!SignReportFile(key_path, path, problem)) {
    Say(FillMessage(msg::kSignRefused, path.c_str(), problem.c_str()));
    return false;
  }
  const std::string signature_path = ReportSignaturePath(path);
  std::printf("%s\n", FillMessage(msg::kSignWritten, path.c_str(), signature_path.c_str()).c_str());
  return true;
}

}  // namespace

int SignCommand(const std::string& key_path, const std::vector<std::string>& files) {
  if (!SigningAvailable()) {
    Say(LoadMessage(msg::kSigningUnavailable));
    return 1;
  }
  bool all = true;
  for (const std::string& path : files) all = SignOne(key_path, path) && all;
  return all ? 0 : 1;
}

}  // namespace qb
