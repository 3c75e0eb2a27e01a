// How much memory the process may still take: the memory the system has
// available, capped by what the process's address-space limit still allows.
#pragma once

#include <cstdint>

namespace qb {

// Bytes still available to this process; never 0 (at least one page).
uint64_t AvailableVirtualMemory();

}  // namespace qb
