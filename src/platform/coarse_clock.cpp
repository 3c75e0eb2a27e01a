#include "platform/coarse_clock.h"

#include <time.h>

#include "platform/clock.h"

namespace qb {

int64_t CoarseMonotonicMillis() {
#ifdef CLOCK_MONOTONIC_COARSE
  timespec now;
  if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0)
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
  return MonotonicMillis();
}

}  // namespace qb
