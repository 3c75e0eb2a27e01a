#include "platform/memory_status.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qb {
namespace {

// The decimal count at the start of `text` (blanks skipped), or 0.
uint64_t ParseCount(const char* text) {
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || errno != 0) return 0;
  return static_cast<uint64_t>(value);
}

// "MemAvailable" from /proc/meminfo in bytes, or 0 when it cannot be read.
uint64_t MemAvailableFromProc() {
  FILE* file = std::fopen("/proc/meminfo", "re");
  if (file == nullptr) return 0;
  char line[256];
  uint64_t result = 0;
  static constexpr char kKey[] = "MemAvailable:";
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, kKey, sizeof kKey - 1) != 0) continue;
    result = ParseCount(line + sizeof kKey - 1) * 1024u;
    break;
  }
  (void)std::fclose(file);
  return result;
}

// The process's current virtual size in bytes, or 0 when unknown.
uint64_t CurrentVirtualSize() {
  FILE* file = std::fopen("/proc/self/statm", "re");
  if (file == nullptr) return 0;
  char line[128];
  bool read = std::fgets(line, sizeof line, file) != nullptr;
  (void)std::fclose(file);
  long page = ::sysconf(_SC_PAGESIZE);
  if (!read || page <= 0) return 0;
  return ParseCount(line) * static_cast<uint64_t>(page);
}

}  // namespace

uint64_t AvailableVirtualMemory() {
  uint64_t available = MemAvailableFromProc();
  if (available == 0) {
    struct sysinfo info;
    if (::sysinfo(&info) == 0) {
      available = (static_cast<uint64_t>(info.freeram) + info.bufferram) * info.mem_unit;
    }
  }
  struct rlimit limit;
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    uint64_t cap = static_cast<uint64_t>(limit.rlim_cur);
    uint64_t used = CurrentVirtualSize();
    cap = cap > used ? cap - used : 0;
    if (available == 0 || cap < available) available = cap;
  }
  return available > 4096 ? available : 4096;
}

}  // namespace qb
