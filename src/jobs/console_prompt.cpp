#include "jobs/console_prompt.h"

#include <chrono>
#include <thread>

#include "base/job_status.h"

namespace qb {

int WaitForKey(std::initializer_list<int> keys) {
  for (;;) {
    int key = 0;
    if (!PollKey(key)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kKeyPollPauseMs));
      continue;
    }
    if (key == kKeyNoConsole) return kKeyNoConsole;
    for (int wanted : keys) {
      if (key == wanted) return key;
    }
  }
}

}  // namespace qb
