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
  void BeginProgress(const std::string& caption, unsigned parts) override {
    captions.push_back(caption);
    progress_parts = parts;
    ++progress_open;
  }
  void EndProgress() override { --progress_open; }
  bool CheckProgressCancel() override {
    if (cancels <= 0) return false;
    --cancels;
    return true;
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::string out;
  std::deque<int> keys;
  long polls = 0;
  std::vector<std::string> statuses;
  long range_low = 0;
  long range_high = 0;
  std::vector<long> positions;
  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  unsigned progress_parts = 0;
  int progress_open = 0;
  int cancels = 0;  // how many cancel checks answer true
  std::vector<std::string> questions;
  std::deque<bool> answers;
};

}  // namespace qb::test
