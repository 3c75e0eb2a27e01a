// The check of a record file's option text: the recording must use the
// supported protocol value and a character format with parity.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

// 0 when the text is acceptable, else the id of the message that says why:
// 173 without "protocol=0x3685E294" (exactly, anywhere), 188 without
// "parameter" and an "=" after it, 191 when the value after that "=" has no
// "E" or "O" as its second character.
int CheckOptionText(const uint8_t* text, size_t size);

}  // namespace qb
