#include "format/record_kind.h"

namespace qb {

const char* ControlMarkerText(uint8_t marker) {
  switch (marker) {
    case kControlInit:
      return "(init)";
    case kControlStart:
      return "(start)";
    case kControlUnreadable:
      return "(unreadable)";
    default:
      return "(?)";
  }
}

}  // namespace qb
