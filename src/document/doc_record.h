// One record of a record file in memory: its header as read, its data (held
// in a buffer of n + 10 bytes that begins with a copy of the header), the
// bounds of its text, its content flags and the first fault found in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "format/record_file.h"

namespace qb {

// Faults of a record; the first one found stays.
constexpr int kStatusCutShort = 1;    // the data was read incompletely
constexpr int kStatusChecksum = 2;    // the header checksum does not match
constexpr int kStatusBlockCheck = 3;  // a data record's block check does not match
constexpr int kStatusNoStx = 5;       // a data record has no STX
constexpr int kStatusInverted = 6;    // a data record's text bounds are inverted

// The text bounds of a record's data, inclusive: after the first STX (and a
// CAN right behind it) up to the byte before the last ETX ahead of the block
// check. 0 and -1 when the data has no STX and no such ETX.
void FindTextBounds(const uint8_t* data, int n, int& start, int& end);

// The block check of a data record's n bytes: the XOR of the data after
// the first STX up to the next-to-last byte equals the last byte.
bool BlockCheckHolds(const uint8_t* data, size_t n);

// The number of text bytes between the inclusive bounds `start` and `end`
// inside n data bytes: never beyond them, even where the bounds say so.
size_t TextSizeWithin(size_t n, int start, int end);

// The text bounds of a record's data (see FindTextBounds).
struct TextBounds {
  int start = 0;
  int end = -1;
};

// The first fault a record shows, in the order DocRecord finds them (0 when
// it has none), in one look at each byte: `data` holds its header.length
// data bytes right behind its ten header bytes, as the file holds them (the
// checksum is taken over that stretch), or is null when they did not arrive
// whole. With `bounds`, also the text bounds of the data.
int RecordFault(const RecordHeader& header, const uint8_t* data, TextBounds* bounds = nullptr);

class DocRecord {
 public:
  DocRecord() = default;
  // Deep copies. A copy that cannot get its buffer sets ENOMEM as a runtime
  // error, is left without data and counts as cut short.
  DocRecord(const DocRecord& other);
  DocRecord& operator=(const DocRecord& other);
  DocRecord(DocRecord&& other) noexcept = default;
  DocRecord& operator=(DocRecord&& other) noexcept = default;

  // Back to an empty record: header 0, no data, text empty, no fault. The
  // buffer's memory is kept for the next record.
  void Clear();
  // Takes the ten header bytes as read.
  void SetHeader(const uint8_t bytes[kRecordFileHeaderSize]);

  uint32_t number() const { return header_.number; }
  uint16_t checksum() const { return header_.crc; }
  uint16_t length() const { return header_.length; }
  uint16_t kind() const { return header_.kind; }
  const RecordHeader& header() const { return header_; }

  // The data: length() bytes, or null when the record has none (n = 0, or
  // the data could not be read).
  bool HasData() const { return has_data_; }
  const uint8_t* Data() const {
    return has_data_ ? buffer_.get() + kRecordFileHeaderSize : nullptr;
  }
  size_t DataSize() const { return has_data_ ? header_.length : 0; }

  // Gives the record a buffer of n + 10 bytes with the header copied in; the
  // caller fills the n data bytes through MutableData() at once (or drops
  // the data). False, with ENOMEM set as a runtime error, when there is no
  // memory for it.
  bool AllocateData();
  uint8_t* MutableData() { return buffer_.get() + kRecordFileHeaderSize; }
  // Drops the data (after a failed read).
  void DropData() { has_data_ = false; }

  // Text bounds inside the data, inclusive; 0 and -1 while empty.
  int textStart() const { return text_start_; }
  int textEnd() const { return text_end_; }
  // The text as it lies inside the data: never beyond it, even where the
  // bounds say so.
  const uint8_t* Text() const;
  size_t TextSize() const;

  // Worked out from the text on first use: walks that only check and copy
  // the text (export) never need them.
  uint32_t contentFlags() const;
  int recordStatus() const { return record_status_; }
  // Records a fault unless one is already recorded.
  void SetStatus(int status) {
    if (record_status_ == 0) record_status_ = status;
  }

  // Computes the text bounds of the data as read (the content flags follow
  // from them on demand) and,
  // for a data record, the faults of missing STX and inverted bounds.
  void ComputeTextBounds();

  // The block check of a data record: the XOR of the data after the first
  // STX up to the next-to-last byte equals the last byte.
  bool BlockCheckHolds() const;

  // False when a fault is recorded; otherwise checks the checksum (and a data
  // record's block check), recording the first that fails.
  bool IsValid();

 private:
  RecordHeader header_;
  uint8_t header_bytes_[kRecordFileHeaderSize] = {};
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_ = 0;
  bool has_data_ = false;
  int text_start_ = 0;
  int text_end_ = -1;
  mutable uint32_t content_flags_ = 0;
  mutable bool content_flags_known_ = false;
  int record_status_ = 0;

  bool Reserve(size_t size);
};

}  // namespace qb
