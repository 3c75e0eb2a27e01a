#include "base/interval_timer.h"

#include "platform/clock.h"

namespace qb {

IntervalTimer::IntervalTimer() : clock_(MonotonicMillis) {}

IntervalTimer::IntervalTimer(std::function<int64_t()> clock) : clock_(std::move(clock)) {}

void IntervalTimer::Start(int64_t interval_ms) {
  interval_ = interval_ms;
  due_ = clock_() + interval_;
}

bool IntervalTimer::Due() {
  int64_t now = clock_();
  if (now < due_) return false;
  due_ = now + interval_;
  return true;
}

}  // namespace qb
