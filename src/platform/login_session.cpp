#include "platform/login_session.h"

#include <unistd.h>

#include <cstdlib>

namespace qb {

std::string LoginUser() {
  return std::to_string(static_cast<unsigned long>(getuid()));
}

std::string LoginSession() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr ? runtime : "";
}

}  // namespace qb
