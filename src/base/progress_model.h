// The state of a progress display, apart from any window: message text,
// range and position, percentage and elapsed/remaining time texts, which
// parts are visible, and the cancel flag. The application's progress dialog
// and the programs' console progress line both show one of these.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qb {

// The elapsed-time text: by the largest unit that is not 0, each form ending
// with one blank; empty for 0 seconds.
std::string ElapsedTimeText(int64_t seconds);
// The remaining-time text: the same forms without the trailing blank.
std::string RemainingTimeText(int64_t seconds);

class ProgressModel {
 public:
  ProgressModel();
  // A clock in whole seconds for tests; the default is the wall clock.
  explicit ProgressModel(std::function<int64_t()> clock_seconds);

  void SetText(const std::string& text) { text_ = text; }
  const std::string& Text() const { return text_; }

  // Stores the range and restarts the clock.
  void SetRange(long low, long high);
  // Moves the position. Returns false when the texts were left as they are
  // (empty range, or the position at the range's low end); then the display
  // needs nothing beyond moving its bar.
  bool SetPos(long position);
  long Low() const { return low_; }
  long High() const { return high_; }
  long Pos() const { return pos_; }

  const std::string& PercentText() const { return percent_text_; }
  const std::string& TimeText() const { return time_text_; }

  bool bar_visible = false;
  bool percent_visible = false;
  bool time_visible = false;
  bool cancel_visible = false;

  // The user's Cancel: sets the flag; the work goes on until it asks.
  void Cancel() { cancel_ = true; }
  // Whether the cancel flag equals `expected`; the flag is cleared.
  bool CheckProgressCancel(bool expected);
  // Whether the user has cancelled; the flag stays as it is.
  bool CancelRequested() const { return cancel_; }

  // Empty text, position back to the low end, bar and Cancel hidden, cancel
  // flag cleared.
  void Reset();

 private:
  std::function<int64_t()> clock_;
  std::string text_;
  long low_ = 0;
  long high_ = 0;
  long pos_ = 0;
  int64_t start_ = 0;
  bool cancel_ = false;
  std::string percent_text_ = "100 %";
  std::string time_text_ = "1d 02h 03' 04\" (5d 06h 07' 08\")";
};

}  // namespace qb
