// The argument list of a card job: 64 text slots, slot 0 the job's program
// name, slots 1-63 options of the form key=value.
#pragma once

#include <array>
#include <string>

namespace qb {

class JobArgs {
 public:
  static constexpr int kSlots = 64;

  void Set(int slot, const std::string& text);
  const std::string& Get(int slot) const;
  void Clear();

  // The argument vector (65 entries) and count. Entry i refers to slot i's
  // text when it is not empty and is null otherwise; entry 64 is always null.
  // The count is one more than the index of the last non-empty slot, so an
  // empty slot between filled ones ends the arguments for the option reader.
  // The vector stays valid until the slots change or ReleaseArgv is called.
  char** BuildArgv();
  int Argc() const { return argc_; }
  void ReleaseArgv();

 private:
  std::array<std::string, kSlots> slots_;
  std::array<char*, kSlots + 1> argv_{};
  int argc_ = 0;
};

}  // namespace qb
