#include "base/job_args.h"

namespace qb {

void JobArgs::Set(int slot, const std::string& text) {
  if (slot >= 0 && slot < kSlots) slots_[static_cast<size_t>(slot)] = text;
}

const std::string& JobArgs::Get(int slot) const {
  static const std::string empty;
  if (slot < 0 || slot >= kSlots) return empty;
  return slots_[static_cast<size_t>(slot)];
}

void JobArgs::Clear() {
  for (auto& slot : slots_) slot.clear();
  ReleaseArgv();
}

char** JobArgs::BuildArgv() {
  argc_ = 0;
  for (int i = 0; i < kSlots; ++i) {
    std::string& slot = slots_[static_cast<size_t>(i)];
    argv_[static_cast<size_t>(i)] = slot.empty() ? nullptr : slot.data();
    if (!slot.empty()) argc_ = i + 1;
  }
  argv_[kSlots] = nullptr;
  return argv_.data();
}

void JobArgs::ReleaseArgv() {
  argv_.fill(nullptr);
  argc_ = 0;
}

}  // namespace qb
