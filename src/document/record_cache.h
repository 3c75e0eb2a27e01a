// The cache of the last 200 fetched records, each a copy owned by its slot.
// Slot 0 holds the record added last; a record is added only after a miss,
// and lookups do not reorder the slots (first in, first out).
#pragma once

#include <array>
#include <cstdint>

#include "document/doc_record.h"

namespace qb {

class RecordCache {
 public:
  static constexpr int kSlots = 200;

  RecordCache();

  // The cached record of `line`, or null.
  DocRecord* Find(int line);
  // Puts a copy of `record` into slot 0; the record of the last slot is
  // dropped and the others move up by one.
  void Add(int line, const DocRecord& record);
  // Empties every slot.
  void Clear();

  // The line held by `slot` (0 = the newest), -1 for an empty slot.
  int KeyAt(int slot) const { return keys_[Physical(slot)]; }

 private:
  // The slots live in a ring: slot 0 is at head_, so adding moves no record.
  std::array<int, kSlots> keys_;
  std::array<DocRecord, kSlots> records_;
  int head_ = 0;

  // A hash table from line to ring position (open addressing, linear
  // probing), so that a lookup does not compare all 200 keys.
  static constexpr int kBuckets = 512;
  std::array<int16_t, kBuckets> buckets_;

  int Physical(int slot) const { return (head_ + slot) % kSlots; }
  static int BucketOf(int line) {
    return static_cast<int>((static_cast<uint32_t>(line) * 2654435761u) >> 23);
  }
  void Unlink(int position);
};

}  // namespace qb
