// The recording device's writing side: where on a prepared card it left off,
// and how it packs records into data sectors from there on.
//
// Data sectors run from F to L = S - 1. The device writes them in order, each
// with a sequence number one above the sector before it, beginning with the
// number the card's preparation gave sector F. A ring card continues at F
// after L (and its numbers keep rising), overwriting the oldest sectors; a
// linear card is full when the next sector would be L, since a reader needs
// the sector after the newest one and a linear card has none after L.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cardsim/card_image.h"
#include "format/sector.h"

namespace qb::cardsim {

// What the master sector says about the data sectors.
struct CardLayout {
  uint32_t master = 0;     // master number of the recording
  uint32_t firstData = 0;  // F
  uint32_t sectors = 0;    // S; L = S - 1
  bool ring = false;       // flags bit 0: the data sectors form a ring

  uint32_t Last() const { return sectors - 1; }
  uint32_t RingSize() const { return sectors - firstData; }
  // The sector after `sector` in ring order (after L comes F).
  uint32_t After(uint32_t sector) const { return sector >= Last() ? firstData : sector + 1; }
};

// Reads and checks the master sector: the signature, 2 <= F, at least four
// data sectors (S >= F + 4), and S within the image.
bool ReadCardLayout(CardImage& image, CardLayout& layout, std::string& error);

// True when `sector` (512 bytes) belongs to the recording: its master number
// is the recording's and its word sum is 0.
bool IsRecordingSector(const uint8_t* sector, const CardLayout& layout);

// The newest data sector of the recording: where the device continues.
struct WritePosition {
  uint32_t sector = 0;
  uint32_t sequence = 0;
  size_t fill = 0;  // record-area offset where the next record goes
};

// Finds the newest sector from the sequence numbers: the end of the run of
// consecutive numbers that starts at F (a binary search, a few dozen reads
// whatever the card's size). An alternative copy of L in F (its number with
// bit 31 set) makes L the newest.
bool FindWritePosition(CardImage& image, const CardLayout& layout, WritePosition& position,
                       std::string& error);

// The sector a reader starts from: the one after the sector after the newest
// when that sector belongs to the recording (a ring that has wrapped: its
// oldest sector), else F.
uint32_t ReadStartSector(CardImage& image, const CardLayout& layout, uint32_t newest);

class CardWriter {
 public:
  enum class Result { kWritten, kFull, kError };

  // Continues the recording at `position`. With `fillLast`, a linear card is
  // also written into its last sector L, which a correct device never does.
  CardWriter(CardImage& image, const CardLayout& layout, const WritePosition& position,
             bool fillLast = false);

  // Appends one transmission as data records of at most 500 bytes each (one
  // record unless it is longer). Either all of it goes onto the card or,
  // when it does not fit into a linear card, nothing (kFull).
  Result AppendTransmission(const uint8_t* data, size_t length);
  // Appends one record of `kind` (length at most 500), or nothing (kFull).
  Result AppendRecord(uint8_t kind, const uint8_t* data, size_t length);

  // Writes the current sector and everything still buffered.
  bool Finish();

  const std::string& error() const { return error_; }
  uint32_t newest() const { return current_; }
  uint32_t sequence() const { return sequence_; }
  uint64_t recordsWritten() const { return records_; }
  // Data sectors begun by this writer (not counting the one it continued).
  uint64_t sectorsBegun() const { return sectorsBegun_; }

 private:
  // Whether `length` bytes, cut into records of at most 500, fit before the
  // end of a linear card.
  bool Fits(size_t length) const;
  bool PutRecord(uint8_t kind, const uint8_t* data, size_t length);
  bool Advance();
  bool Flush();
  uint8_t* Current() { return batch_.data() + batchIndex_ * kSectorSize; }

  CardImage& image_;
  CardLayout layout_;
  bool broken_ = false;  // the newest sector could not be read
  uint32_t lastWritable_;
  uint32_t current_;
  uint32_t sequence_;
  size_t offset_;  // record-area offset of the next record in the current sector
  // Consecutive sectors waiting to be written, the current one last.
  std::vector<uint8_t> batch_;
  uint32_t batchFirst_;
  size_t batchIndex_ = 0;
  uint64_t records_ = 0;
  uint64_t sectorsBegun_ = 0;
  std::string error_;
};

}  // namespace qb::cardsim
