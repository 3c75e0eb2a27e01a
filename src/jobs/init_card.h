// INITCARD: prepares a card for the recording device. Checks the device's
// settings given as options, gives the card a new master number and writes
// the reserved sector, the comment sectors, the first data sector and, last,
// the master sector. Everything formerly on the card is lost.
#pragma once

#include <cstdint>

namespace qb {

// The job's entry: 0 on success (also after the help text), 1 on failure with
// the reasons in the error report. argv is null-terminated; entry 0 is the
// program's name.
int InitCardMain(int argc, char** argv);

// Fills the master sector image from the options and the card's capacity and
// checks the settings in order: baud rate, character format, protocol value,
// time-out. False, reported, at the first that is out of range; nothing has
// been written to the card then.
bool BuildMasterBlock(uint32_t master);

// Writes the card's layout: reserved sector (and the first partition's start
// sector of a card that holds a PC boot record), comment sectors, first data
// sector, master sector. The comment file is read whole and the card's size
// checked first, so that a comment that cannot be used or a card too small
// leaves the card as it was. False, reported, at the first failure; once
// writing has begun, the sectors written so far stay as they are.
bool WriteCardLayout(uint32_t master);

// The master sector image BuildMasterBlock filled (F is set by WriteCardLayout).
const uint8_t* MasterImage();

}  // namespace qb
