// The capacity report of the card driver and serial drive back-ends: the
// detected capacity goes into the job log, and the job's size limit is
// applied to it.
#pragma once

#include <cstdint>

namespace qb {

// Logs "Capacity %lu sectors (approx. %.1f MB)" with `capacity`. A capacity
// beyond `reach`, the most sectors the back-end can address, is cut to it
// and "Capacity limited to %lu sectors ..." is logged. A cardsize above 2 and
// below the capacity then replaces it and "Used capacity %lu sectors" is
// logged. A cardsize of 0, 1 or 2 leaves the capacity as found.
void ApplyCapacityLimit(uint32_t cardsize, uint32_t& capacity, uint32_t reach = UINT32_MAX);

}  // namespace qb
