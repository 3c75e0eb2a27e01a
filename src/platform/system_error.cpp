#include "platform/system_error.h"

#include <cstring>

namespace qb {

std::string SystemErrorText(uint32_t code) {
  return std::strerror(static_cast<int>(code));
}

}  // namespace qb
