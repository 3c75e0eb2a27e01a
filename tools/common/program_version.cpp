#include "common/program_version.h"

#include <cstring>

#include "base/messages.h"
#include "base/text_format.h"

#ifndef QB_PACKAGE_VERSION
#error "QB_PACKAGE_VERSION must give the package's version"
#endif

namespace qb::tools {

std::string ProgramVersionLine(const char* program) {
  return FillMessage(msg::kProgramVersion, program, QB_PACKAGE_VERSION);
}

bool HasArgument(int argc, char** argv, const char* word) {
  for (int i = 1; i < argc && argv[i] != nullptr && argv[i][0] != '\0'; ++i) {
    if (std::strcmp(argv[i], word) == 0) return true;
  }
  return false;
}

}  // namespace qb::tools
