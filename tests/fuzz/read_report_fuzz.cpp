// Reads any bytes as a read report beside a record file: the JSON reader and
// the report's fields. A report that reads writes back into a text that
// reads as the same report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/json_value.h"
#include "document/read_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  qb::JsonValue value;
  std::string problem;
  (void)qb::JsonValue::Parse(text, value, problem, 2000);
  qb::ReadReport report;
  if (!qb::ParseReadReport(text, report, problem)) {
    if (problem.empty() || problem.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  const std::string written = qb::ReadReportJson(report);
  qb::ReadReport again;
  if (!qb::ParseReadReport(written, again, problem)) __builtin_trap();
  if (qb::ReadReportJson(again) != written) __builtin_trap();
  return 0;
}
