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

struct PrintedTime {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  int8_t second = -1;  // -1 when not printed
};

// The first date with a time in the text; false when the text holds none.
// Cheap enough to look at every line of a file while it is indexed.
bool FindPrintedTime(const uint8_t* text, size_t size, PrintedTime& found);

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS".
std::string PrintedTimeText(const PrintedTime& time);

// FindPrintedTime with the result as text.
bool FindPrintedDateTime(const uint8_t* text, size_t size, std::string& found);

}  // namespace qb
