// A date and time that an instrument printed on a line of its printout, as
// far as it can be told without guessing: a date written "YYYY-MM-DD" or
// "DD.MM.YYYY", followed on the same printed line by a time "HH:MM" or
// "HH:MM:SS". Dates in other forms (month and day in an order that cannot
// be told, two-digit years) are not taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

// The first date with a time in the text, as "YYYY-MM-DD HH:MM" or
// "YYYY-MM-DD HH:MM:SS"; false when the text holds none.
bool FindPrintedDateTime(const uint8_t* text, size_t size, std::string& found);

}  // namespace qb
