#include "cardsim/card_writer.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/master_block.h"
#include "format/record_kind.h"
#include "format/setting_codes.h"

namespace qb::cardsim {

namespace {

// Sectors collected before one write to the image (1 MiB).
constexpr size_t kBatchSectors = 2048;
// One past the last record-area offset.
constexpr size_t kAreaEnd = kRecordAreaSize;
// Data bytes of a piece that begins a sector (after its 3 header bytes).
constexpr size_t kPieceAtSectorStart = kAreaEnd - kCardRecordHeaderSize;  // 499

size_t RoundUpEven(size_t offset) {
  return (offset + 1) & ~size_t{1};
}

// Steps `offset` over a record of `length` data bytes placed there (or in the
// next sector when the current one is full), as PutRecord lays it out, and
// returns how many further sectors the record begins.
size_t StepOver(size_t& offset, size_t length) {
  size_t advances = 0;
  if (offset > kLastRecordStart) {
    ++advances;
    offset = 0;
  }
  offset += kCardRecordHeaderSize;
  size_t take = std::min(length, kAreaEnd - offset);
  size_t rest = length - take;
  offset += take;
  while (rest > 0) {
    ++advances;
    take = std::min(rest, kPieceAtSectorStart);
    rest -= take;
    offset = kCardRecordHeaderSize + take;
  }
  offset = RoundUpEven(offset);
  return advances;
}

bool ReadRecordingSector(CardImage& image, const CardLayout& layout, uint32_t sector,
                         uint8_t* buffer) {
  return sector <= layout.Last() && image.Read(sector, buffer) && IsRecordingSector(buffer, layout);
}

}  // namespace

bool ReadCardLayout(CardImage& image, CardLayout& layout, std::string& error) {
  uint8_t sector[kSectorSize];
  if (image.SectorCount() <= kMasterSector) {
    error = "the card image is too short to hold a master sector";
    return false;
  }
  if (!image.Read(kMasterSector, sector)) {
    error = image.error();
    return false;
  }
  MasterBlock block;
  if (!DecodeMasterBlock(sector, block)) {
    error = "the card is not prepared: no master signature in sector 1";
    return false;
  }
  if (block.firstData < 2) {
    error = "the master sector names first data sector " + std::to_string(block.firstData) +
            " (it must be 2 or more)";
    return false;
  }
  if (static_cast<uint64_t>(block.firstData) + 4 > block.sectors) {
    error = "the master sector names " + std::to_string(block.sectors) +
            " sectors in use with first data sector " + std::to_string(block.firstData) +
            " (fewer than 4 data sectors)";
    return false;
  }
  if (block.sectors > image.SectorCount()) {
    error = "the master sector names " + std::to_string(block.sectors) +
            " sectors in use but the image holds " + std::to_string(image.SectorCount());
    return false;
  }
  layout.master = block.master;
  layout.firstData = block.firstData;
  layout.sectors = block.sectors;
  layout.ring = (block.flags & kFlagOverwriteOld) != 0;
  return true;
}

bool IsRecordingSector(const uint8_t* sector, const CardLayout& layout) {
  return ReadSectorHeader(sector).master == layout.master && SectorWordSum(sector) == 0;
}

bool FindWritePosition(CardImage& image, const CardLayout& layout, WritePosition& position,
                       std::string& error) {
  const uint32_t first = layout.firstData;
  uint8_t sector[kSectorSize];
  if (!ReadRecordingSector(image, layout, first, sector)) {
    error = "first data sector " + std::to_string(first) +
            " does not belong to the recording (damaged, or the card is not prepared)";
    return false;
  }
  const uint32_t firstSequence = ReadSectorHeader(sector).sequence;
  uint32_t newest = first;
  uint32_t sequence = firstSequence;
  if (firstSequence & kAlternateSequenceBit) {
    // F holds an alternative copy of L: L was the newest sector.
    sequence = firstSequence & ~kAlternateSequenceBit;
    newest = layout.Last();
    if (!layout.ring || !ReadRecordingSector(image, layout, newest, sector) ||
        ReadSectorHeader(sector).sequence != sequence) {
      error = "first data sector " + std::to_string(first) +
              " holds an alternative copy of a sector that is not on the card";
      return false;
    }
  } else {
    // The run of consecutive sequence numbers from F ends at the newest
    // sector; everything behind it fails or carries an older number.
    // Invariant: first + low is in the run, first + high is not (or beyond L).
    uint32_t low = 0;
    uint32_t high = layout.Last() - first + 1;
    while (high - low > 1) {
      uint32_t middle = low + (high - low) / 2;
      if (ReadRecordingSector(image, layout, first + middle, sector) &&
          ReadSectorHeader(sector).sequence == firstSequence + middle)
        low = middle;
      else
        high = middle;
    }
    newest = first + low;
    sequence = firstSequence + low;
    if (!image.Read(newest, sector)) {
      error = image.error();
      return false;
    }
  }
  position.sector = newest;
  position.sequence = sequence;
  position.fill = SectorFillLevel(sector);
  return true;
}

uint32_t ReadStartSector(CardImage& image, const CardLayout& layout, uint32_t newest) {
  uint8_t sector[kSectorSize];
  uint32_t start = layout.After(layout.After(newest));
  return ReadRecordingSector(image, layout, start, sector) ? start : layout.firstData;
}

CardWriter::CardWriter(CardImage& image, const CardLayout& layout, const WritePosition& position,
                       bool fillLast)
    : image_(image),
      layout_(layout),
      lastWritable_(layout.ring || fillLast ? layout.Last() : layout.Last() - 1),
      current_(position.sector),
      sequence_(position.sequence),
      offset_(position.fill),
      batch_(kBatchSectors * kSectorSize),
      batchFirst_(position.sector) {
  // The newest sector as it is on the card; whatever lies behind its fill
  // level is free space from now on.
  if (!image_.Read(current_, Current())) {
    error_ = image_.error();
    broken_ = true;
  }
  if (offset_ < kAreaEnd)
    std::memset(Current() + kRecordAreaOffset + offset_, 0xFF, kAreaEnd - offset_);
}

bool CardWriter::Fits(size_t length) const {
  if (layout_.ring) return true;
  // A linear card whose newest sector is already past the writable ones
  // (written by a faulty device) takes nothing more.
  if (current_ > lastWritable_) return false;
  size_t offset = offset_;
  uint64_t advances = 0;
  size_t rest = length;
  do {
    size_t piece = std::min<size_t>(rest, kMaxCardRecordLength);
    advances += StepOver(offset, piece);
    rest -= piece;
  } while (rest > 0);
  return advances <= lastWritable_ - current_;
}

CardWriter::Result CardWriter::AppendRecord(uint8_t kind, const uint8_t* data, size_t length) {
  if (broken_) return Result::kError;
  if (length > kMaxCardRecordLength) {
    error_ = "record longer than 500 bytes";
    return Result::kError;
  }
  if (!Fits(length)) return Result::kFull;
  return PutRecord(kind, data, length) ? Result::kWritten : Result::kError;
}

CardWriter::Result CardWriter::AppendTransmission(const uint8_t* data, size_t length) {
  if (broken_) return Result::kError;
  if (!Fits(length)) return Result::kFull;
  // Records of at most 500 bytes; an empty transmission is one empty record.
  size_t rest = length;
  do {
    size_t piece = std::min<size_t>(rest, kMaxCardRecordLength);
    if (!PutRecord(kKindData, data, piece)) return Result::kError;
    data += piece;
    rest -= piece;
  } while (rest > 0);
  return Result::kWritten;
}

bool CardWriter::PutRecord(uint8_t kind, const uint8_t* data, size_t length) {
  if (offset_ > kLastRecordStart && !Advance()) return false;
  uint8_t* area = Current() + kRecordAreaOffset;
  Put16(area + offset_, static_cast<uint16_t>(length));
  area[offset_ + 2] = kind;
  offset_ += kCardRecordHeaderSize;
  size_t take = std::min(length, kAreaEnd - offset_);
  if (take > 0) std::memcpy(area + offset_, data, take);
  offset_ += take;
  size_t rest = length - take;
  while (rest > 0) {
    // The rest continues at the start of the next sector, its length field
    // counting the bytes still to come.
    data += take;
    if (!Advance()) return false;
    area = Current() + kRecordAreaOffset;
    Put16(area, static_cast<uint16_t>(rest));
    area[2] = kKindContinuation;
    take = std::min(rest, kPieceAtSectorStart);
    std::memcpy(area + kCardRecordHeaderSize, data, take);
    rest -= take;
    offset_ = kCardRecordHeaderSize + take;
  }
  offset_ = RoundUpEven(offset_);
  ++records_;
  return true;
}

bool CardWriter::Advance() {
  if (!layout_.ring && current_ >= lastWritable_) {
    error_ = "no sector left on the card";
    return false;
  }
  if (sequence_ + 1 >= kAlternateSequenceBit) {
    error_ = "the card's sequence numbers are used up";
    return false;
  }
  SealSector(Current(), layout_.master, sequence_);
  uint32_t next = layout_.After(current_);
  if (batchIndex_ + 1 < kBatchSectors && next == current_ + 1) {
    ++batchIndex_;
  } else {
    if (!Flush()) return false;
    batchFirst_ = next;
    batchIndex_ = 0;
  }
  current_ = next;
  ++sequence_;
  ++sectorsBegun_;
  offset_ = 0;
  std::memset(Current(), 0xFF, kSectorSize);
  return true;
}

bool CardWriter::Flush() {
  if (!image_.Write(batchFirst_, batch_.data(), batchIndex_ + 1)) {
    error_ = image_.error();
    return false;
  }
  return true;
}

bool CardWriter::Finish() {
  if (broken_) return false;
  SealSector(Current(), layout_.master, sequence_);
  if (!Flush()) return false;
  // Keep the current sector as the start of the next batch, should more come.
  std::memmove(batch_.data(), Current(), kSectorSize);
  batchFirst_ = current_;
  batchIndex_ = 0;
  return true;
}

}  // namespace qb::cardsim
