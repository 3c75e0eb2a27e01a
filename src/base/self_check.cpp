#include "base/self_check.h"

#include <fstream>

#include "base/software_signature.h"

namespace qb {

namespace {
constexpr const char* kOwnProgram = "/proc/self/exe";
}  // namespace

bool SelfCheckPasses(const std::string& program_path) {
  std::ifstream file(program_path, std::ios::binary);
  if (!file) return false;
  char first = 0;
  if (!file.read(&first, 1)) return false;
  return SoftwareSignature() == kRecordedSoftwareSignature;
}

bool SelfCheckPasses() {
  return SelfCheckPasses(kOwnProgram);
}

}  // namespace qb
