// A short, readable account of a card image: the master sector's fields, the
// comment, and one line per data sector of the recording (sequence number,
// fill level, the records it holds). For looking at what the device wrote.
#pragma once

#include <cstdio>
#include <string>

#include "cardsim/card_image.h"

namespace qb::cardsim {

// Writes the account to `out`. False, with a message in `error`, when the
// card has no usable master sector or the image cannot be read.
bool DumpCard(CardImage& image, std::FILE* out, std::string& error);

}  // namespace qb::cardsim
