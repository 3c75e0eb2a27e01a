#include "jobs/focus_search.h"

#include <cstdint>
#include <cstring>

#include "base/error_report.h"
#include "base/job_log.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "format/byte_order.h"
#include "format/record_kind.h"
#include "jobs/card_reader.h"
#include "jobs/job_options.h"

namespace qb {
namespace {

constexpr uint32_t kFirstStep = 0x08000000;  // 2^27: 28 probes in all
// How far a rescue read looks past a damaged sector for one that shows
// where the run of sequence numbers goes.
constexpr uint32_t kRescueLookAhead = 8;

bool Rescue() {
  return Options().rescue != 0;
}

// True when the sector (already probed into `sector`) begins with the
// "(init)" record the card's preparation writes into F.
bool BeginsWithInit(const uint8_t* sector) {
  const uint8_t* area = sector + kRecordAreaOffset;
  return Get16(area) == 1 && area[2] == kKindControl && area[3] == kControlInit;
}

uint32_t Sequence(const uint8_t* sector) {
  return ReadSectorHeader(sector).sequence;
}

// The search's answer does not fit the card around it: a sector there is
// damaged or of another recording where the recording's data must lie.
bool FailAt(uint32_t sector) {
  ReportMessage(msg::kReadingRecordSector, static_cast<unsigned long>(sector));
  return false;
}

// The start sector: the one after F1 in ring order when the ring has
// wrapped (its oldest sector), else F. Once a ring has wrapped, every data
// sector was written in this recording, so F1 and the start sector must both
// be the recording's own; sectors behind F1 that belong to the recording on
// a card that has not wrapped (a linear one, say) mean the search stopped at
// a damaged sector in the middle of the data. Either fails the job instead of
// giving a read that ends early or starts in the wrong place.
bool FindStart(uint8_t* buffer, SectorCheck f1, bool f1_is_copy) {
  CardReadState& state = ReadState();
  const uint32_t start = NextInRing(state.f1);
  ShowStatus("read start");
  if (start == state.first) {
    state.start = state.first;
    return true;
  }
  const SectorCheck check = CheckSector(buffer, start);
  if (check == SectorCheck::kDamaged && !Rescue()) return FailAt(start);
  // Older data behind F1: in F1 itself, in the start sector, or at the
  // ring's end (one more read, for a start sector that is not the
  // recording's).
  bool wrapped = check == SectorCheck::kValid || (f1 == SectorCheck::kValid && !f1_is_copy);
  if (!wrapped && start < state.last)
    wrapped = CheckSector(buffer, state.last) != SectorCheck::kForeign;
  if (!wrapped) {
    state.start = state.first;
    return true;
  }
  if (Rescue()) {
    // What cannot be told apart is read from F on a linear card, and from
    // the oldest sector on a ring (the walk skips what is damaged).
    state.start = state.ring ? start : state.first;
    return true;
  }
  if (!state.ring) return FailAt(start);
  if (check != SectorCheck::kValid) return FailAt(start);
  if (f1 != SectorCheck::kValid) return FailAt(state.f1);
  state.start = start;
  return true;
}

// CheckDataSector, with the buffer cleared first: after a read that failed
// it holds nothing of an earlier sector.
SectorCheck CheckForRescue(uint8_t* buffer, uint32_t sector, size_t& fill) {
  std::memset(buffer, 0xFF, kSectorSize);
  return CheckDataSector(buffer, sector, fill);
}

// For a sector that failed its checksum but was read: its header still names
// the recording. A rescue read then takes its sequence number as a hint of
// where it lies in the run (its records are skipped all the same).
bool StillNamesRecording(const uint8_t* buffer) {
  return ReadSectorHeader(buffer).master == ReadState().master;
}

// Whether `sector` is the recording's and carries `sequence`: a sector of
// the run of consecutive sequence numbers the search follows. A rescue read
// takes the number a damaged sector's header still gives, or else looks
// past it: when one of the next few carries the number the run gives it,
// the damaged sector lies inside the run too.
bool InRun(uint8_t* buffer, uint32_t sector, uint32_t sequence) {
  size_t fill = 0;
  SectorCheck check = CheckForRescue(buffer, sector, fill);
  if (check == SectorCheck::kValid) return Sequence(buffer) == sequence;
  if (check != SectorCheck::kDamaged || !Rescue()) return false;
  if (StillNamesRecording(buffer)) return Sequence(buffer) == sequence;
  for (uint32_t k = 1; k <= kRescueLookAhead && sector <= UINT32_MAX - k; ++k) {
    check = CheckDataSector(buffer, sector + k, fill);
    if (check == SectorCheck::kValid) return Sequence(buffer) == sequence + k;
    if (check == SectorCheck::kForeign) return false;
  }
  return false;
}

// For a rescue read of a card whose F is damaged: the sequence number F
// carries, told by the next sector of the run behind it that can be read.
bool FirstSequenceBehind(uint8_t* buffer, uint32_t first, uint32_t last, uint32_t& sequence) {
  size_t fill = 0;
  for (uint32_t k = 1; k <= kRescueLookAhead && first + k <= last; ++k) {
    SectorCheck check = CheckDataSector(buffer, first + k, fill);
    if (check == SectorCheck::kForeign) return false;
    if (check != SectorCheck::kValid) continue;
    const uint32_t found = Sequence(buffer);
    if ((found & kAlternateSequenceBit) != 0) return false;
    sequence = found - k;
    return true;
  }
  return false;
}

// The search proper; the caller keeps the log quiet around it.
bool Search() {
  CardReadState& state = ReadState();
  uint8_t* buffer = state.sector;
  const uint32_t first = state.first;
  const uint32_t last = state.last;
  size_t fill = 0;

  state.f0 = first;
  state.select = 0;
  const SectorCheck first_check = CheckDataSector(buffer, first, fill);
  bool first_valid = first_check == SectorCheck::kValid;
  state.firstHoldsInit = first_valid && BeginsWithInit(buffer);
  state.firstDamaged = first_check == SectorCheck::kDamaged;
  uint32_t first_sequence = first_valid ? Sequence(buffer) : 0;
  if (state.firstDamaged && Rescue() && FirstSequenceBehind(buffer, first, last, first_sequence)) {
    first_valid = true;  // the run starts at F all the same
  }
  if (first_valid && (first_sequence & kAlternateSequenceBit) == 0) {
    // The run of consecutive sequence numbers that starts at F ends at F0.
    state.e = first_sequence;
    for (uint32_t step = kFirstStep; step != 0;) {
      // A step that would pass the largest sector number cannot hit.
      if (state.f0 <= UINT32_MAX - step && InRun(buffer, state.f0 + step, state.e + step)) {
        state.f0 += step;
        state.e += step;
      }
      step /= 2;
      ShowStatus("search %08X", static_cast<unsigned>(step));
    }
  } else if (first_valid) {
    state.f0 = last;
    state.e = first_sequence;
  } else if (first < last && ProbeSector(buffer, first + 1, fill) &&
             (Sequence(buffer) & kAlternateSequenceBit) != 0) {
    state.f0 = first;
    state.e = Sequence(buffer);
  } else if (ProbeSector(buffer, last, fill)) {
    state.f0 = last;
    state.e = Sequence(buffer);
  } else {
    ReportMessage(msg::kFocusSearchAt, static_cast<unsigned long>(last));
    return false;
  }

  // A rescue read takes a damaged sector after the newest one whose header
  // follows on as the newest: the walk then ends by skipping it.
  SectorCheck f0 = SectorCheck::kValid;
  SectorCheck f1 = SectorCheck::kValid;
  size_t fill0 = 0;
  size_t fill1 = 0;
  for (uint64_t extended = 0;; ++extended) {
    if (state.f0 >= last) {
      if (!state.ring) {
        ReportMessage(msg::kUnexpectedEndOfFocus);
        return false;
      }
      state.f1 = first;
    } else {
      state.f1 = state.f0 + 1;
    }
    ShowStatus("read focus %d", 0);
    f0 = CheckForRescue(buffer, state.f0, fill0);
    if (f0 != SectorCheck::kValid) fill0 = 0;
    ShowStatus("read focus %d", 1);
    f1 = CheckForRescue(buffer, state.f1, fill1);
    const bool follows_on = f1 == SectorCheck::kDamaged && Rescue() &&
                            StillNamesRecording(buffer) && Sequence(buffer) == state.e + 1 &&
                            !(state.f0 + 1 >= last && !state.ring);
    if (!follows_on || extended > static_cast<uint64_t>(last - first)) break;
    state.f0 = state.f1;
    ++state.e;
  }
  const bool f1_is_copy =
      f1 == SectorCheck::kValid && Sequence(buffer) == (state.e | kAlternateSequenceBit);
  if (f1_is_copy && fill1 >= fill0) {
    state.select = 1;
    state.fill = static_cast<uint16_t>(fill1);
  } else {
    state.select = 0;
    state.fill = static_cast<uint16_t>(fill0);
  }
  // A rescue read goes on past a damaged newest sector: the walk skips it.
  if (fill0 == 0 && state.fill == 0 && !(Rescue() && f0 == SectorCheck::kDamaged)) {
    ReportMessage(msg::kFocusSearchFailed);
    return false;
  }
  // The sector after the newest one is written on a card that is whole
  // only by the device's own hand: a damaged one may be the true newest
  // sector, or a sector of the run the search took for its end. A rescue
  // read takes what it has.
  if (f1 == SectorCheck::kDamaged && !Rescue()) return FailAt(state.f1);
  return FindStart(buffer, f1, f1_is_copy);
}

}  // namespace

bool FocusSearch() {
  CardReadState& state = ReadState();
  state.unreadable = false;
  state.watchBreak = true;
  state.nextBreakPoll = 0;
  SetLogQuiet(true);
  bool found = Search();
  SetLogQuiet(false);
  // The search takes a sector it cannot read for one that was never
  // written; its answer would then end the recording early, and a card
  // emptied after such a read would lose the rest.
  // A rescue read goes on past sectors it could not read, but never past
  // the user's break.
  if (!found || UserBreakNoted() || (state.unreadable && !Rescue())) return false;
  LogMessage(msg::kStart, static_cast<unsigned long>(state.start));
  LogMessage(msg::kFocus, static_cast<unsigned long>(state.f0),
             static_cast<unsigned long>(state.f1), static_cast<unsigned>(state.fill),
             static_cast<unsigned>(state.select));
  return true;
}

}  // namespace qb
