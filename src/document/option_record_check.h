// The check of a record file's option text: the recording must use the
// supported protocol value and a character format with parity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/messages.h"

namespace qb {

// Null when the text is acceptable, else the message that says why:
// msg::kUnsupportedProtocol without "protocol=0x3685E294" (exactly,
// anywhere), msg::kInconsistentOptions without "parameter" and an "=" after
// it, msg::kWrongParity when the value after that "=" has no "E" or "O" as
// its second character.
const Message<>* CheckOptionText(const uint8_t* text, size_t size);

// True for the parity letters of the character formats a record file may
// hold: "E" and "O" (upper case, as the option text gives them).
constexpr bool ParityReadable(char parity) {
  return parity == 'E' || parity == 'O';
}

}  // namespace qb
