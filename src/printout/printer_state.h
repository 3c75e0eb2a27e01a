// Everything the printer remembers from one byte to the next, apart from the
// escape sequence it may be in the middle of: the character table and
// font, the margins and tab stops, the page format and the print position.
// It is a plain value, small enough to be kept for every page's start.
#pragma once

#include <array>
#include <cstdint>

#include "printout/printout_settings.h"

namespace qb {

struct PrinterState {
  // Characters.
  std::array<CharacterTable, 4> tables{};  // the four tables ESC t chooses from
  uint8_t table = 1;                       // the one in use
  uint8_t international = 0;               // ESC R
  bool upperControls = false;              // ESC 7: 0x80 to 0x9F print nothing
  int8_t forcedMsb = -1;                   // ESC = (0), ESC > (1); -1: as sent

  // Font.
  uint8_t pitch = 10;  // characters per inch: 10, 12 or 15
  bool condensed = false;
  bool doubleWidthLine = false;  // SO: until the line ends
  bool doubleWidth = false;      // ESC W
  bool doubleHeight = false;
  bool bold = false;
  bool doubleStrike = false;
  bool italic = false;
  bool underline = false;
  uint8_t script = 0;  // 0 none, 1 superscript, 2 subscript
  int32_t extraSpace = 0;

  // Page format, in units from the top of the page.
  int32_t pageLength = 0;
  int32_t topMargin = 0;
  int32_t bottomLimit = 0;  // below pageLength: skip to the next page's top margin from here
  int32_t lineSpacing = 0;
  int32_t definedUnit = 6;  // ESC ( U, 1/360 inch until set
  std::array<uint16_t, 16> verticalTabs{};
  uint8_t verticalTabCount = 0;

  // Line format, in units from the printer's first column.
  int32_t leftMargin = 0;
  int32_t rightMargin = 0;
  std::array<uint16_t, 32> tabs{};  // from the left margin
  uint8_t tabCount = 0;
  bool defaultTabs = true;  // every eight characters

  // The bit-image modes of ESC K, L, Y and Z (ESC ?).
  std::array<uint8_t, 4> imageModes{};

  // The print position.
  int32_t x = 0;
  int32_t y = 0;
};

// The printer as switched on (or reset by ESC @) with these settings, at the
// top of a page.
PrinterState InitialPrinterState(const PrintoutSettings& settings);

}  // namespace qb
