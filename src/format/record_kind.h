// The kind byte of a record. On the card it is one byte after the record's
// length; in a record file it is a 16-bit field. Some values mean different
// things in the two places, hence the paired names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

enum RecordKind : uint8_t {
  kKindStartOfFile = 0x00,   // record file only
  kKindMaster = 0x01,        // card: the master record of the master sector
  kKindOption = 0x01,        // record file: the option text
  kKindComment = 0x02,       // card: first comment piece; file: the comment
  kKindData = 0x03,          // bytes received from the instrument
  kKindControl = 0x04,       // a marker written by us or the device
  kKindContinuation = 0x80,  // card only: the rest of the previous sector's record
  kKindFree = 0xFF,          // card: unused space, the end of the recorded data
  kKindEndOfFile = 0xFF,     // record file: the last record (stored as 0x00FF)
};

// The first data byte of a control record says what it marks.
constexpr uint8_t kControlInit = 1;   // the card was prepared
constexpr uint8_t kControlStart = 2;  // the device started recording
// Written by a rescue read where it skipped data sectors that failed their
// check: the marker, then the u32 first sector skipped and the u32 number of
// sectors skipped.
constexpr uint8_t kControlUnreadable = 0xF1;
constexpr size_t kUnreadableRecordLength = 9;

// "(init)", "(start)", "(unreadable)" or "(?)" for the first data byte of a
// control record.
const char* ControlMarkerText(uint8_t marker);

}  // namespace qb
