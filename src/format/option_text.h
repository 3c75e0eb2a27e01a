// The option text: a card's settings in the option-file language, with a
// comment header naming the reading time and the recording's master number.
// It is the data of a record file's option record and can be read back as an
// option file to prepare a card with the same settings.
#pragma once

#include <cstddef>
#include <cstdint>
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

// What a read of a card found out beyond the card's settings. A record
// file's option text carries it after the settings as comment lines, which
// an option file skips:
//   # sectors read: START to NEWEST of FIRST to LAST
//   # older printouts overwritten: yes|no
//   # card full: yes|no
//   # rescue read: yes|no
struct ReadFacts {
  uint32_t firstSector = 0;   // the card's first data sector
  uint32_t lastSector = 0;    // its last sector
  uint32_t startSector = 0;   // where the read began (the oldest sector)
  uint32_t newestSector = 0;  // the newest sector, read last
  // A ring memory that had come round: the read began after the newest
  // sector, and what the device wrote first is no longer on the card.
  bool overwritten = false;
  // A linear card whose last usable sector was written: the device took
  // nothing more from then on.
  bool cardFull = false;
  // Sectors that failed their check were skipped instead of ending the read.
  bool rescue = false;

  bool operator==(const ReadFacts&) const = default;
};

// The four lines, each ended by a line feed.
std::string ReadFactsText(const ReadFacts& facts);

// Reads the lines back from an option text; false when the text has none
// (a file read before they were written) or they do not parse.
bool ParseReadFacts(const uint8_t* text, size_t size, ReadFacts& facts);

// The value of the first line of an option text that begins with `prefix`
// (a key with its "=", or a comment line's label such as "# read date: "),
// up to the line's end; false when no line begins so.
bool OptionTextLine(const uint8_t* text, size_t size, const char* prefix, std::string& value);

}  // namespace qb
