// The characters a printer prints for the bytes from 0x20 up: ASCII in the
// lower half with the replacements of the international set chosen (ESC R),
// and the chosen character table in the upper half.
#pragma once

#include <cstdint>

#include "printout/printout_settings.h"

namespace qb {

struct PrintedCharacter {
  char32_t character = 0;  // 0: the byte prints nothing (and moves nothing)
  bool italic = false;     // from the italic table: printed in italics
};

// The character of `byte` (0x20 and up; below that 0) in `table` under the
// international set `international` (0 USA, 1 France, 2 Germany, 3 UK, 4
// Denmark I, 5 Sweden, 6 Italy, 7 Spain I, 8 Japan, 9 Norway, 10 Denmark II,
// 11 Spain II, 12 Latin America, 13 Korea, 64 Legal; any other prints ASCII).
// Bytes 0x80 to 0x9F print nothing in Latin-1, in the italic table and at
// the five empty positions of 1252.
PrintedCharacter CharacterOf(CharacterTable table, uint8_t international, uint8_t byte);

// Whether `number` is one of the international sets above.
bool KnownInternationalSet(uint8_t number);

}  // namespace qb
