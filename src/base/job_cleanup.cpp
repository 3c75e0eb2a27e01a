#include "base/job_cleanup.h"

#include <vector>

namespace qb {
namespace {

std::vector<std::function<void()>>& List() {
  static std::vector<std::function<void()>> list;
  return list;
}

}  // namespace

void RegisterCleanup(std::function<void()> cleanup) {
  List().push_back(std::move(cleanup));
}

void RunCleanups() {
  // A clean-up may register nothing new, but take the list first so that a
  // clean-up that does cannot invalidate the walk.
  std::vector<std::function<void()>> list;
  list.swap(List());
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (*it) (*it)();
  }
}

void ClearCleanups() {
  List().clear();
}

size_t PendingCleanups() {
  return List().size();
}

}  // namespace qb
