#include "jobs/card_reader.h"

#include <bit>
#include <cstring>

#include "base/error_report.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "cardio/sector_device.h"
#include "format/byte_order.h"
#include "format/comment_sector.h"
#include "format/option_text.h"
#include "format/record_kind.h"
#include "format/setting_codes.h"
#include "platform/coarse_clock.h"

namespace qb {

CardReadState& ReadState() {
  static CardReadState state;
  return state;
}

namespace {

// The focus search may look at a damaged sector twice; it is named once.
void ReportDamage(const Message<unsigned long>& message, uint32_t n) {
  CardReadState& state = ReadState();
  if (state.damageReported && state.damagedSector == n) return;
  state.damageReported = true;
  state.damagedSector = n;
  ReportMessage(message, n);
}

// Whether the user has broken the job; the key is looked at most every
// kUserBreakPollMs, however fast sectors come.
bool BreakBeforeRead() {
  CardReadState& state = ReadState();
  if (UserBreakNoted()) return true;
  if (!state.watchBreak) return false;
  const int64_t now = CoarseMonotonicMillis();
  if (now < state.nextBreakPoll) return false;
  state.nextBreakPoll = now + kUserBreakPollMs;
  return UserBreak();
}

}  // namespace

uint32_t NextInRing(uint32_t sector) {
  const CardReadState& state = ReadState();
  return sector >= state.last ? state.first : sector + 1;
}

SectorCheck CheckSector(uint8_t* buffer, uint32_t n) {
  CardReadState& state = ReadState();
  if (n > state.last) return SectorCheck::kForeign;
  // Once the user has broken the job, no sector is read any more: whatever
  // step is under way (the focus search, the walk) fails at once instead of
  // waiting for the card. The sector counts as unread, so no conclusion is
  // drawn from it.
  if (BreakBeforeRead()) {
    state.unreadable = true;
    return SectorCheck::kDamaged;
  }
  if (!ReadSector(buffer, n)) {
    // A read the user broke off says nothing about the card.
    if (UserBreakNoted()) {
      state.unreadable = true;
      return SectorCheck::kDamaged;
    }
    ReportDamage(msg::kReadError, n);
    // Beyond the card's end is where a master that claims too many sectors
    // leads: such sectors count as never written. A failed read on the card
    // itself is a fault of the card.
    if (n >= SectorDeviceCapacity()) return SectorCheck::kForeign;
    state.unreadable = true;
    return SectorCheck::kDamaged;
  }
  const uint32_t master = ReadSectorHeader(buffer).master;
  if (master != state.master) {
    // A sector of the recording whose master number took a one-bit flip
    // fails its word sum too; another recording's sector or a card's old
    // contents are never that close to the master number.
    if (std::has_single_bit(master ^ state.master) && SectorWordSum(buffer) != 0) {
      ReportDamage(msg::kChecksumFailure, n);
      return SectorCheck::kDamaged;
    }
    return SectorCheck::kForeign;
  }
  if (SectorWordSum(buffer) != 0) {
    ReportDamage(msg::kChecksumFailure, n);
    return SectorCheck::kDamaged;
  }
  return SectorCheck::kValid;
}

namespace {

// CheckSector for a data sector: below F counts as foreign.
SectorCheck CheckDataSectorAlone(uint8_t* buffer, uint32_t n) {
  if (n < ReadState().first) return SectorCheck::kForeign;
  return CheckSector(buffer, n);
}

}  // namespace

SectorCheck CheckDataSector(uint8_t* buffer, uint32_t n, size_t& fill) {
  SectorCheck check = CheckDataSectorAlone(buffer, n);
  if (check == SectorCheck::kValid) fill = SectorFillLevel(buffer);
  return check;
}

bool ReadValidSector(uint8_t* buffer, uint32_t n) {
  return CheckSector(buffer, n) == SectorCheck::kValid;
}

bool ProbeSector(uint8_t* buffer, uint32_t n, size_t& fill) {
  return CheckDataSector(buffer, n, fill) == SectorCheck::kValid;
}

bool ReadDataSector(uint8_t* buffer, uint32_t n) {
  return CheckDataSectorAlone(buffer, n) == SectorCheck::kValid;
}

bool ReadMasterSector() {
  CardReadState& state = ReadState();
  if (!ReadSector(state.sector, kReservedSector) || !IsReservedSector(state.sector)) {
    ReportMessage(msg::kInvalidReserved);
    return false;
  }
  MasterBlock block;
  if (!ReadSector(state.sector, kMasterSector) || !DecodeMasterBlock(state.sector, block) ||
      block.firstData <= kMasterSector || block.sectors <= block.firstData) {
    ReportMessage(msg::kInvalidMaster);
    return false;
  }
  state.block = block;
  state.damageReported = false;
  state.master = block.master;
  state.first = block.firstData;
  state.last = block.sectors - 1;
  state.ring = (block.flags & kFlagOverwriteOld) != 0;

  std::string text = BuildOptionText(block, state.readTime);
  size_t length = text.size() < kRecordBufferSize ? text.size() : kRecordBufferSize - 1;
  std::memcpy(RecordData(), text.data(), length);
  state.kind = kKindOption;
  state.length = static_cast<uint16_t>(length);
  return true;
}

bool ReadComment() {
  CardReadState& state = ReadState();
  state.kind = kKindComment;
  state.length = 0;
  uint32_t n = kFirstCommentSector;
  if (!ReadValidSector(state.sector, n)) {
    ReportMessage(msg::kReadingComment);
    return false;
  }
  if (state.sector[kCommentKindOffset] != kKindComment) return true;
  size_t length = 0;
  for (;;) {
    CommentPiece piece = ReadCommentPiece(state.sector);
    // Each sector states its own remaining count, so damaged sectors can
    // claim more than a comment may hold; the buffer is never passed.
    if (length + piece.count > kMaxCommentLength) {
      ReportMessage(msg::kUnexpectedEndOfComment);
      return false;
    }
    std::memcpy(RecordData() + length, piece.bytes, piece.count);
    length += piece.count;
    state.length = static_cast<uint16_t>(length);
    if (piece.remaining == piece.count) return true;
    ++n;
    if (!ReadValidSector(state.sector, n)) {
      ReportMessage(msg::kReadingComment);
      return false;
    }
    if (state.sector[kCommentKindOffset] != kKindContinuation) {
      ReportMessage(msg::kUnexpectedEndOfComment);
      return false;
    }
  }
}

}  // namespace qb
