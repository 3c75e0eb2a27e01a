// The record walk: the recording's records, one whole record at a time, from
// the start sector round to the newest sector found by the focus search.
// Records that go on in the next sector are joined from their pieces.
#pragma once

namespace qb {

enum class WalkResult { kRecord, kEnd, kError };

// Starts the walk at the focus search's start sector.
void BeginRecordWalk();

// Delivers the next record into the record buffer (kind, length and data).
// kEnd after the newest sector or at the first free slot; kError, reported,
// for a sector that cannot be read, a record longer than 500 bytes, or a
// record that goes on beyond the newest sector. With the rescue option a
// sector that cannot be read or fails its check is skipped instead, and
// each run of skipped sectors is delivered as a control record of
// kControlUnreadable before the records after it.
WalkResult NextRecord();

}  // namespace qb
