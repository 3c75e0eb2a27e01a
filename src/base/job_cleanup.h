// The clean-up list of the running job: what it opened (log file, card) is
// closed after it, in reverse order of registration.
#pragma once

#include <functional>

namespace qb {

void RegisterCleanup(std::function<void()> cleanup);
// Runs the registered functions from the last to the first and empties the list.
void RunCleanups();
void ClearCleanups();
size_t PendingCleanups();

}  // namespace qb
