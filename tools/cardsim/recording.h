// One recording session of the device: from where the card left off, a
// "(start)" control record and then one data record per transmission.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cardsim/card_image.h"
#include "cardsim/card_writer.h"
#include "cardsim/transmissions.h"

namespace qb::cardsim {

struct RecordOptions {
  // Write a linear card's last sector too, as a faulty device would.
  bool fillLast = false;
};

struct RecordReport {
  CardLayout layout;
  uint64_t transmissions = 0;  // recorded
  uint64_t dropped = 0;        // not recorded because the linear card was full
  uint64_t records = 0;        // written, the "(start)" record included
  uint64_t sectors = 0;        // data sectors begun
  uint32_t newest = 0;         // the newest data sector afterwards
  uint32_t sequence = 0;       // its sequence number
  size_t fill = 0;             // its fill level
  uint32_t start = 0;          // the sector a reader starts from
  bool wrapped = false;        // a ring that has come round to F at least once
  bool full = false;           // the linear card ran out of sectors
};

// Records everything `source` delivers onto the prepared card `image`. A
// linear card that runs full keeps what fits; the rest is counted as dropped
// and the session still succeeds. False, with a message in `error`, when the
// card is not usable, the image cannot be written or the source fails (what
// was recorded before that is on the card).
bool RecordSession(CardImage& image, TransmissionSource& source, const RecordOptions& options,
                   RecordReport& report, std::string& error);

}  // namespace qb::cardsim
