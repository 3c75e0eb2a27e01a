// The option text: a card's settings in the option-file language, with a
// comment header naming the reading time and the recording's master number.
// It is the data of a record file's option record and can be read back as an
// option file to prepare a card with the same settings.
#pragma once

#include <ctime>
#include <string>

#include "format/master_block.h"

namespace qb {

// The 24-character local date and time, e.g. "Mon Dec 07 22:06:34 2026":
// English weekday and month abbreviations whatever the locale, the day with
// a leading zero.
std::string FormatReadDate(std::time_t time);

// The twelve lines of the option text, each ended by a line feed.
std::string BuildOptionText(const MasterBlock& block, std::time_t read_time);

}  // namespace qb
