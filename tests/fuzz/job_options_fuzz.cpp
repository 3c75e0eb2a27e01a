// Any bytes as the options of a job: the part before the first NUL is an
// option file named by "optionfile=", the lines after it are arguments of
// the command line. Both jobs' option reading and help check run on them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_args.h"
#include "base/job_host.h"
#include "fuzz_input_file.h"
#include "jobs/job_options.h"
#include "quiet_host.h"

namespace {

using qb::fuzz::QuietHost;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const qb::fuzz::MemoryFile file("job_options_fuzz");
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t nul = input.find('\0');
  std::string option_file = input.substr(0, nul);
  if (!file.Write(option_file)) return 0;

  qb::JobArgs args;
  args.Set(0, "READCARD.EXE");
  int slot = 1;
  args.Set(slot++, "optionfile=" + file.path());
  if (nul != std::string::npos) {
    size_t at = nul + 1;
    while (at <= input.size() && slot < 64) {
      size_t end = input.find('\n', at);
      if (end == std::string::npos) end = input.size();
      args.Set(slot++, input.substr(at, end - at));
      at = end + 1;
    }
  }
  QuietHost host;
  qb::ScopedJobHost scoped(&host);
  qb::ResetJobOptions();
  char** argv = args.BuildArgv();
  qb::ShowHelpIfAsked(argv);
  qb::ReadJobOptions(argv);
  args.ReleaseArgv();
  qb::ResetJobOptions();
  qb::ClearErrors();
  return 0;
}
