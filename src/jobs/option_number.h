// Numbers in option values.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

// Reads an option value as an unsigned 32-bit number. Leading white space is
// skipped, then an optional sign; "0x" or "0X" introduces hexadecimal digits,
// a leading "0" octal ones, anything else is decimal. Reading stops at the
// first character that does not fit. A leading "-" negates the value modulo
// 2^32. Text without a number gives 0; a number beyond 32 bits gives
// 4294967295 (not negated). Never fails.
uint32_t ParseOptionNumber(const std::string& text);

}  // namespace qb
