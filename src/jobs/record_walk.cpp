#include "jobs/record_walk.h"

#include <algorithm>
#include <cstring>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/messages.h"
#include "format/byte_order.h"
#include "format/record_kind.h"
#include "jobs/card_reader.h"
#include "jobs/job_options.h"

namespace qb {
namespace {

// Reads the next sector of the walk; false (reported) when it cannot be read.
// Returns kEnd through `ended` once the newest sector has been read. A
// rescue read skips a sector that fails its check: the record running
// across it loses its rest, and the run of skipped sectors is noted.
bool LoadNextSector(bool& ended) {
  CardReadState& state = ReadState();
  ended = false;
  // Every data sector once around the ring is the most a walk can read; the
  // focus search places the newest sector inside that round, so this only
  // ends a walk whose state does not fit its card.
  const uint64_t ring_size = static_cast<uint64_t>(state.last) - state.first + 1;
  for (;;) {
    if (state.end || state.walkSectors >= ring_size) {
      ended = true;
      return true;
    }
    if (state.current == state.f0) {
      state.end = true;
      state.current = state.select == 1 ? state.f1 : state.f0;
    }
    if (!ReadDataSector(state.walk, state.current)) {
      if (Options().rescue == 0 || UserBreakNoted()) {
        ReportMessage(msg::kReadingRecordSector, static_cast<unsigned long>(state.current));
        return false;
      }
      if (state.skipCount == 0) state.skipFirst = state.current;
      state.skipLast = state.current;
      ++state.skipCount;
      ++state.walkSectors;
      state.inRecord = false;
      // What the next sector begins with goes on with a record lost here.
      state.firstSector = true;
      state.current = NextInRing(state.current);
      continue;
    }
    ++state.walkSectors;
    state.cursor = 0;
    state.current = NextInRing(state.current);
    // The first sector read may begin with the rest of a record whose start has
    // been overwritten: it is skipped.
    const uint8_t* area = state.walk + kRecordAreaOffset;
    if (state.firstSector && area[2] == kKindContinuation) {
      // A length no piece can have would skip the records behind it unseen.
      const uint16_t length = Get16(area);
      if (length > kMaxCardRecordLength) {
        ReportMessage(msg::kIllegalRecordLength);
        return false;
      }
      state.cursor = (static_cast<size_t>(length) + 4) & ~static_cast<size_t>(1);
    }
    return true;
  }
}

// Delivers the control record that marks the sectors a rescue read skipped.
WalkResult DeliverSkipped() {
  CardReadState& state = ReadState();
  uint8_t* data = RecordData();
  data[0] = kControlUnreadable;
  Put32(data + 1, state.skipFirst);
  Put32(data + 5, state.skipCount);
  state.kind = kKindControl;
  state.length = static_cast<uint16_t>(kUnreadableRecordLength);
  LogMessage(msg::kSectorsSkipped, static_cast<unsigned long>(state.skipFirst),
             static_cast<unsigned long>(state.skipLast));
  state.skipCount = 0;
  return WalkResult::kRecord;
}

}  // namespace

void BeginRecordWalk() {
  CardReadState& state = ReadState();
  state.current = state.start;
  state.cursor = kRecordAreaSize;
  state.firstSector = true;
  state.end = false;
  state.inRecord = false;
  state.dataIndex = 0;
  state.walkSectors = 0;
  state.skipCount = 0;
}

WalkResult NextRecord() {
  CardReadState& state = ReadState();
  uint8_t* data = RecordData();
  for (;;) {
    while (state.cursor > kLastRecordStart) {
      bool ended = false;
      if (!LoadNextSector(ended)) return WalkResult::kError;
      if (ended) {
        if (state.skipCount > 0) return DeliverSkipped();
        if (!state.inRecord) return WalkResult::kEnd;
        // The newest sector ends inside a record: its rest lies in a sector
        // the read does not reach, which a card that is whole never has.
        ReportMessage(msg::kReadingRecordSector, static_cast<unsigned long>(state.current));
        return WalkResult::kError;
      }
    }
    if (state.skipCount > 0) return DeliverSkipped();
    state.firstSector = false;
    const uint8_t* area = state.walk + kRecordAreaOffset;
    uint16_t length = Get16(area + state.cursor);
    uint8_t kind = area[state.cursor + 2];
    if (kind == kKindFree) return WalkResult::kEnd;
    if (length > kMaxCardRecordLength) {
      ReportMessage(msg::kIllegalRecordLength);
      return WalkResult::kError;
    }
    // A continuation piece goes on with the record in progress; without one
    // (its start is not on the card) its bytes are passed over.
    bool keep = true;
    if (kind != kKindContinuation) {
      state.length = length;
      state.kind = kind;
      state.dataIndex = 0;
      state.inRecord = true;
    } else if (!state.inRecord) {
      keep = false;
    }
    state.cursor += kCardRecordHeaderSize;
    // The piece's bytes in this sector; a piece never adds more than the
    // record's first piece announced.
    const size_t here = std::min<size_t>(length, kRecordAreaSize - state.cursor);
    if (keep && state.dataIndex < state.length) {
      const size_t taken = std::min<size_t>(here, state.length - state.dataIndex);
      std::memcpy(data + state.dataIndex, area + state.cursor, taken);
      state.dataIndex += taken;
    }
    state.cursor += here;
    const size_t remaining = length - here;
    state.cursor = (state.cursor + 1) & ~static_cast<size_t>(1);
    if (remaining == 0 && keep) {
      // Pieces that announced fewer bytes than the record holds leave no
      // bytes of an earlier record behind.
      if (state.dataIndex < state.length)
        std::memset(data + state.dataIndex, 0, state.length - state.dataIndex);
      state.inRecord = false;
      return WalkResult::kRecord;
    }
  }
}

}  // namespace qb
