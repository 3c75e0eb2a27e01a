#include "base/safe_file_name.h"

#include <cstring>

namespace qb {

std::string SafeFileName(const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || (c != '\0' && std::strchr("\"*+/:<>?\\|", c) != nullptr)) c = '_';
  }
  if (!safe.empty() && safe.find_first_not_of('.') == std::string::npos)
    safe.assign(safe.size(), '_');
  return safe;
}

}  // namespace qb
