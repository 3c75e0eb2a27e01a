#include "base/progress_model.h"

#include <ctime>

#include "base/text_format.h"

namespace qb {
namespace {

int64_t WallSeconds() {
  return static_cast<int64_t>(std::time(nullptr));
}

std::string TimeText(int64_t seconds, bool trailing_blank) {
  if (seconds <= 0) return std::string();
  int d = static_cast<int>(seconds / 86400);
  int h = static_cast<int>(seconds / 3600 % 24);
  int m = static_cast<int>(seconds / 60 % 60);
  int s = static_cast<int>(seconds % 60);
  std::string text;
  if (d != 0) {
    text = FormatText("%id %02ih %02i' %02i\"", d, h, m, s);
  } else if (h != 0) {
    text = FormatText("%02ih %02i' %02i\"", h, m, s);
  } else if (m != 0) {
    text = FormatText("%02i' %02i\"", m, s);
  } else {
    text = FormatText("%02i\"", s);
  }
  if (trailing_blank) text += ' ';
  return text;
}

}  // namespace

std::string ElapsedTimeText(int64_t seconds) {
  return TimeText(seconds, true);
}
std::string RemainingTimeText(int64_t seconds) {
  return TimeText(seconds, false);
}

ProgressModel::ProgressModel() : clock_(WallSeconds) {}

ProgressModel::ProgressModel(std::function<int64_t()> clock_seconds)
    : clock_(std::move(clock_seconds)) {}

void ProgressModel::SetRange(long low, long high) {
  low_ = low;
  high_ = high;
  start_ = clock_();
}

bool ProgressModel::SetPos(long position) {
  pos_ = position;
  int64_t elapsed = clock_() - start_;
  if (high_ == low_ || position == low_) return false;
  // Positions beyond the range (a wrapped ring can hold more than its range
  // foresees) show a full bar and no remaining time.
  int64_t total = static_cast<int64_t>(high_) - low_;
  int64_t done = static_cast<int64_t>(position) - low_;
  if ((total > 0 && done > total) || (total < 0 && done < total)) done = total;
  int64_t left = total - done;
  percent_text_ = FormatText("%d %%", static_cast<int>(done * 100 / total));
  int64_t remaining =
      done != 0 ? static_cast<int64_t>(static_cast<double>(elapsed) * static_cast<double>(left) /
                                       static_cast<double>(done))
                : 0;
  time_text_ = ElapsedTimeText(elapsed);
  std::string rest = RemainingTimeText(remaining);
  if (!rest.empty()) time_text_ += " (" + rest + ")";
  return true;
}

bool ProgressModel::CheckProgressCancel(bool expected) {
  bool match = cancel_ == expected;
  cancel_ = false;
  return match;
}

void ProgressModel::Reset() {
  text_.clear();
  pos_ = low_;
  bar_visible = false;
  cancel_visible = false;
  cancel_ = false;
}

}  // namespace qb
