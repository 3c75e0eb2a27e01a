// Faults a device or a card can show, put onto a card image on purpose so
// that the reader's handling of each can be tried.
#pragma once

#include <cstdint>
#include <string>

#include "cardsim/card_image.h"
#include "cardsim/card_writer.h"

namespace qb::cardsim {

// Writes an alternative copy of the newest sector into the sector after it
// in ring order: the same records, its sequence number with bit 31 set. A
// reader then takes the copy in place of the newest sector. Fails on a
// linear card whose newest sector is L (there is no sector after it).
bool WriteAlternateCopy(CardImage& image, const CardLayout& layout, uint32_t newest,
                        std::string& error);

// Flips the low byte of the checksum word, so the sector's word sum fails
// while its contents stay as they were. Sectors 1 .. S-1.
bool DamageSector(CardImage& image, const CardLayout& layout, uint32_t sector, std::string& error);

// Rewrites the sector, sealed, with a master number that is not the
// recording's. Sectors 2 .. S-1.
bool ForeignMasterSector(CardImage& image, const CardLayout& layout, uint32_t sector,
                         std::string& error);

// The length a bad-length sector's first record claims.
constexpr uint16_t kBadRecordLength = 501;

// Puts kBadRecordLength into the length field of the first record of a data
// sector (F .. L) that holds one, and seals it again.
bool BadLengthSector(CardImage& image, const CardLayout& layout, uint32_t sector,
                     std::string& error);

}  // namespace qb::cardsim
