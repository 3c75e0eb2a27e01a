// READCARD: reads a card prepared by INITCARD and filled by the recording
// device, and writes what it holds to files: the record file (the
// application's document, or a text listing), and optionally the card's
// settings as an option file and its comment. Also two short looks at a card
// that write no files. READCARD never writes to the card.
#pragma once

#include <cstdint>

namespace qb {

// The job's entry: 0 on success (also after the help text), 1 on failure with
// the reasons in the error report. argv is null-terminated; entry 0 is the
// program's name.
int ReadCardMain(int argc, char** argv);

// True when the card holds nothing beyond the "(init)" record, and also when
// anything fails on the way; false when it holds recorded data. Reads the
// options, but prints no banner, checks no help switch and opens no log. The
// caller prepares and cleans up as for a job (BeginCardCheck/EndCardCheck).
bool ReadCardIsEmpty(char** argv);

// What ReadCardInfo tells about a card. Texts are zero-terminated.
struct CardInfo {
  uint32_t master = 0;   // master number of the recording
  uint32_t sectors = 0;  // sectors in use
  uint32_t baudrate = 0;
  char parameter[80] = {};  // character format, "???" for an unknown code
  uint32_t protocol = 0;    // protocol value, 0 for an unknown code
  uint16_t timeout = 0;
  char memoryfull[80] = {};  // "overwrite_old" or "stop_logger"
  char rtscontrol[80] = {};  // "outofmemory" or "recording"
  char comment[80] = {};     // the comment's first bytes (at most 79), up to a zero byte
};

// Fills `info` (zeroed first) from the card's master and comment sectors;
// false on failure. Prepared and cleaned up by the caller like ReadCardIsEmpty.
bool ReadCardInfo(char** argv, CardInfo& info);

}  // namespace qb
