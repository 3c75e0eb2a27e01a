// A cheap monotonic millisecond clock for pacing progress updates in loops
// that look at it for every line: a few milliseconds coarse, but far cheaper
// to read than the precise clock.
#pragma once

#include <cstdint>

namespace qb {

int64_t CoarseMonotonicMillis();

}  // namespace qb
