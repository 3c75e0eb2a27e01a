// Paces progress updates: due once per interval on the monotonic clock.
#pragma once

#include <cstdint>
#include <functional>

namespace qb {

class IntervalTimer {
 public:
  IntervalTimer();
  // A clock in milliseconds for tests; the default is the monotonic clock.
  explicit IntervalTimer(std::function<int64_t()> clock);

  // Sets the interval and makes the timer due one interval from now.
  void Start(int64_t interval_ms);
  // True when the clock has reached the due time; it is then due one interval
  // from this moment.
  bool Due();

 private:
  std::function<int64_t()> clock_;
  int64_t interval_ = 0;
  int64_t due_ = 0;
};

}  // namespace qb
