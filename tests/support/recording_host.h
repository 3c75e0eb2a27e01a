// A job host for tests: records console text, status texts, progress calls
// and error boxes, and hands out queued keys.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/job_host.h"

namespace qb::test {

class RecordingHost : public JobHost {
 public:
  void WriteOut(const std::string& text) override { out += text; }
  bool PollKey(int& key) override {
    ++polls;
    if (keys.empty()) return false;
    key = keys.front();
    keys.pop_front();
    return true;
  }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void SetProgressRange(long low, long high) override {
    range_low = low;
    range_high = high;
  }
  void SetProgressPos(long position) override { positions.push_back(position); }
  void ShowErrorBox(const std::string& text) override { boxes.push_back(text); }

  std::string out;
  std::deque<int> keys;
  long polls = 0;
  std::vector<std::string> statuses;
  long range_low = 0;
  long range_high = 0;
  std::vector<long> positions;
  std::vector<std::string> boxes;
};

}  // namespace qb::test
