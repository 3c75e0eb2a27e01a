// cardsim serial on Windows: not there. The drive is served on a
// pseudo-terminal, which Windows does not have; run a Linux cardsim serial
// and map a COM port to its terminal instead.
#include "cardsim/serial_service.h"

#include <cstdio>

namespace qb::cardsim {

const char kSerialUsage[] =
    "cardsim serial --card IMG [OPTIONS]\n"
    "    Not available on Windows: the serial card drive is served on a\n"
    "    pseudo-terminal.\n";

int RunSerialCommand(int, char**) {
  std::fputs("cardsim: serial is not available on Windows (it needs a pseudo-terminal)\n", stderr);
  return 1;
}

}  // namespace qb::cardsim
