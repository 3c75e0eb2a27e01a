#include "platform/parent_console.h"

namespace qb {

void UseParentConsole() {}

}  // namespace qb
