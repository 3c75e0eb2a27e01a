#include "platform/memory_status.h"

#include <windows.h>

namespace qb {

uint64_t AvailableVirtualMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  uint64_t available = 0;
  if (GlobalMemoryStatusEx(&status) != 0) {
    // The memory the system has free, capped by what the address space of
    // this process still holds.
    available = status.ullAvailPhys;
    if (status.ullAvailVirtual < available) available = status.ullAvailVirtual;
  }
  return available > 4096 ? available : 4096;
}

}  // namespace qb
