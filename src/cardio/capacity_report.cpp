#include "cardio/capacity_report.h"

#include "base/job_log.h"
#include "base/messages.h"

namespace qb {
namespace {

constexpr double kMegabytesPerSector = 0.00048828125;  // 512 / 1,048,576

}  // namespace

void ApplyCapacityLimit(uint32_t cardsize, uint32_t& capacity, uint32_t reach) {
  LogMessage(msg::kCapacity, static_cast<unsigned long>(capacity), capacity * kMegabytesPerSector);
  if (capacity > reach) {
    capacity = reach;
    LogMessage(msg::kCapacityLimited, static_cast<unsigned long>(capacity));
  }
  if (cardsize > 2 && cardsize < capacity) {
    capacity = cardsize;
    LogMessage(msg::kUsedCapacity, static_cast<unsigned long>(capacity));
  }
}

}  // namespace qb
