// Clocks: a monotonic millisecond clock for time-outs and pacing, and whole
// seconds of wall-clock time.
#pragma once

#include <cstdint>
#include <ctime>

namespace qb {

int64_t MonotonicMillis();

}  // namespace qb
