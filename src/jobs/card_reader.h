// Reading a prepared card: the working state of one READCARD run, the checks
// every sector passes before its contents are believed, and the master and
// comment sectors. The state is process-wide, like the job options, and used
// by one job at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "format/master_block.h"
#include "format/record_file.h"
#include "format/sector.h"

namespace qb {

// The record buffer holds, in turn, the option text, the comment and each
// data record; a comment of the longest length fits.
constexpr size_t kRecordBufferSize = 65536;

struct CardReadState {
  // From the master sector.
  MasterBlock block;
  uint32_t master = 0;  // master number of the recording
  uint32_t first = 0;   // first data sector F
  uint32_t last = 0;    // last sector in use L = S - 1
  bool ring = false;
  std::time_t readTime = 0;  // the time of reading named in the option text

  // Focus: F0 the newest written sector, F1 the one after it in ring order;
  // select 1 when F1 is the newer copy of F0.
  uint32_t f0 = 0;
  uint32_t f1 = 0;
  unsigned select = 0;
  uint16_t fill = 0;  // fill level of the chosen sector
  uint32_t e = 0;     // sequence number found at F0
  uint32_t start = 0;
  // F still begins with the "(init)" record the card's preparation wrote: a
  // ring that has come round has overwritten it.
  bool firstHoldsInit = false;
  bool firstDamaged = false;  // F failed its check (a rescue read went on)
  // A sector could not be read at all (not merely invalid): what a search
  // concluded from it cannot be trusted.
  bool unreadable = false;
  // Sector reads look for the user's break (from the focus search on; the
  // few reads before it leave typed-ahead answers to the overwrite question
  // alone).
  bool watchBreak = false;
  int64_t nextBreakPoll = 0;  // coarse milliseconds; 0: at the next read
  // The damaged sector named last, so that a second look at it adds no
  // second message.
  bool damageReported = false;
  uint32_t damagedSector = 0;

  // Record walk.
  uint32_t current = 0;
  size_t cursor = 0;  // record-area offset; beyond kLastRecordStart: next sector
  bool firstSector = false;
  bool end = false;
  bool inRecord = false;  // a record has begun and is not yet delivered
  size_t dataIndex = 0;
  uint64_t walkSectors = 0;
  // A rescue read's run of skipped sectors: the first and how many; marked
  // by a control record before the records that follow it.
  uint32_t skipFirst = 0;
  uint32_t skipLast = 0;
  uint32_t skipCount = 0;

  // The record in the buffer, with the header fields of a record-file record.
  uint32_t number = 0;
  uint16_t crc = 0;
  uint16_t length = 0;
  uint16_t kind = 0;
  // The ten header bytes of a record-file record followed by the data, so
  // that a record goes to the file in one piece.
  uint8_t record[kRecordFileHeaderSize + kRecordBufferSize] = {};

  uint8_t sector[kSectorSize] = {};  // reserved, master and comment sectors, focus probes
  uint8_t walk[kSectorSize] = {};    // the record walk
};

CardReadState& ReadState();
// The data part of the record buffer.
inline uint8_t* RecordData() {
  return ReadState().record + kRecordFileHeaderSize;
}

// The next sector in ring order: after L comes F.
uint32_t NextInRing(uint32_t sector);

// What a sector turned out to be: one of the recording's, one that is not
// (beyond L, or written with another master number: never written since the
// card was prepared), or one that could not be read or fails its checksum.
enum class SectorCheck { kValid, kForeign, kDamaged };

// Reads sector n of the recording into `buffer` and checks it. Reports "Read
// error at sector" or "Checksum failure at sector" for a damaged one.
SectorCheck CheckSector(uint8_t* buffer, uint32_t n);

// CheckSector for a data sector: below F counts as foreign. Gives the fill
// level of a valid one.
SectorCheck CheckDataSector(uint8_t* buffer, uint32_t n, size_t& fill);

// True when CheckSector finds the sector valid.
bool ReadValidSector(uint8_t* buffer, uint32_t n);

// True when CheckDataSector finds the sector valid.
bool ProbeSector(uint8_t* buffer, uint32_t n, size_t& fill);

// True when sector n is a valid data sector (CheckDataSector without the
// fill level, for a walk that reads the records itself).
bool ReadDataSector(uint8_t* buffer, uint32_t n);

// Checks the reserved and the master sector and takes the recording's master
// number, data sectors and memory organisation from it; builds the option
// text into the record buffer (kind 1). A master sector whose data sectors
// cannot exist (F below 2, or no sector from F on) counts as invalid.
bool ReadMasterSector();

// Collects the comment into the record buffer (kind 2; length 0 when the card
// has no comment). Fails with "Unexpected end of comment" when a piece of the
// wrong kind follows, or when the pieces claim more than 65535 bytes in all.
bool ReadComment();

}  // namespace qb
