// The focus search: finds the newest written data sector of a recording with
// a binary search over the sectors' sequence numbers, and from it the sector
// the record walk starts at, so that a ring that has wrapped is read from its
// oldest sector. It costs at most 33 sector reads whatever the card's size:
// 28 for the binary search, and the rest to check the sectors around the
// newest one, so that damage there fails the read instead of shortening it.
#pragma once

namespace qb {

// Needs ReadMasterSector first. Sets F0, F1, select, fill, E and the start
// sector in the read state. Log lines are dropped while it runs; afterwards
// the start sector and the focus are logged.
bool FocusSearch();

}  // namespace qb
