// The system's own text for a system error code: an errno value here, the
// system's own error code where the system has its own.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

std::string SystemErrorText(uint32_t code);

}  // namespace qb
