// JSON strings for what the programs write (qbd's output, read reports).
// Bytes 0x00-0x7F are JSON characters (escaped where JSON needs it); every
// byte from 0x80 up is written as the character with the same code point
// (U+0080-U+00FF, in UTF-8), so that the original bytes can be recovered
// from the text.
#pragma once

#include <string>

namespace qb {

// The quoted JSON string for `bytes`.
std::string JsonString(const std::string& bytes);

}  // namespace qb
