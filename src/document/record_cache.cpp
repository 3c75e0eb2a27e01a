#include "document/record_cache.h"

namespace qb {
namespace {

constexpr int kMask = 511;

}  // namespace

static_assert((kMask + 1) == 512 && 512 >= 2 * RecordCache::kSlots);

RecordCache::RecordCache() {
  keys_.fill(-1);
  buckets_.fill(-1);
}

DocRecord* RecordCache::Find(int line) {
  if (line < 0) return nullptr;
  for (int b = BucketOf(line); buckets_[b] >= 0; b = (b + 1) & kMask) {
    if (keys_[buckets_[b]] == line) return &records_[buckets_[b]];
  }
  return nullptr;
}

void RecordCache::Unlink(int position) {
  int key = keys_[position];
  if (key < 0) return;
  int hole = BucketOf(key);
  while (buckets_[hole] != position) {
    if (buckets_[hole] < 0) return;  // not linked (cannot happen)
    hole = (hole + 1) & kMask;
  }
  // Moves later entries of the probe run back into the hole, so that every
  // entry stays reachable from its home bucket.
  for (int next = (hole + 1) & kMask; buckets_[next] >= 0; next = (next + 1) & kMask) {
    int home = BucketOf(keys_[buckets_[next]]);
    bool movable = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
    if (movable) {
      buckets_[hole] = buckets_[next];
      hole = next;
    }
  }
  buckets_[hole] = -1;
}

void RecordCache::Add(int line, const DocRecord& record) {
  head_ = (head_ + kSlots - 1) % kSlots;
  Unlink(head_);
  keys_[head_] = line;
  records_[head_] = record;
  if (line < 0) return;
  int b = BucketOf(line);
  while (buckets_[b] >= 0) b = (b + 1) & kMask;
  buckets_[b] = static_cast<int16_t>(head_);
}

void RecordCache::Clear() {
  keys_.fill(-1);
  buckets_.fill(-1);
  for (DocRecord& record : records_) record = DocRecord();
  head_ = 0;
}

}  // namespace qb
