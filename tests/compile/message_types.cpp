// Compiled with -fsyntax-only by the compile.message_types tests, once per
// QB_CASE_* macro: the sound case must compile, and each other case adds one
// call or message the catalogue's type checks must refuse.
#include <string>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/messages.h"
#include "base/text_format.h"

namespace {

[[maybe_unused]] void Calls() {
  const std::string path = "LOG1.qbd";
  qb::ReportMessage(qb::msg::kApiResult, 0x1234UL);
  qb::ReportMessage(qb::msg::kOpeningFile, path.c_str());
  qb::LogMessage(qb::msg::kCapacity, 100UL, 0.05);
  (void)qb::FillMessage(qb::msg::kCannotOverwrite, path, path);
#if defined(QB_CASE_report_text_for_number)
  qb::ReportMessage(qb::msg::kApiResult, "text");
#elif defined(QB_CASE_report_missing_argument)
  qb::ReportMessage(qb::msg::kApiResult);
#elif defined(QB_CASE_report_extra_argument)
  qb::ReportMessage(qb::msg::kUserAbort, 1);
#elif defined(QB_CASE_std_string_for_text)
  qb::ReportMessage(qb::msg::kOpeningFile, path);
#elif defined(QB_CASE_pointer_for_number)
  qb::LogMessage(qb::msg::kStart, &path);
#elif defined(QB_CASE_number_for_placeholder)
  (void)qb::FillMessage(qb::msg::kDestinationExists, 1);
#endif
}

#if defined(QB_CASE_declared_type_mismatch)
// "%s" declared as taking an int.
[[maybe_unused]] constexpr auto kMismatch = qb::DefineMessage<int>(1, "Opening file %s");
#elif defined(QB_CASE_declared_placeholder_missing)
// Two texts declared, one placeholder in the text.
[[maybe_unused]] constexpr auto kMissing =
    qb::DefineMessage<qb::TextArg, qb::TextArg>(1, "Cannot find the string '%1'");
#endif

}  // namespace
