// Comment sectors: the card's comment (its identification text) in pieces of
// up to 499 bytes, one piece per sector from sector 2 on. Each sector's
// record area holds the u16 count of comment bytes still to come from this
// sector on, the kind (kKindComment in the first sector, kKindContinuation in
// every further one) and its piece; unused bytes are 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb {

constexpr size_t kCommentPieceSize = 499;
constexpr size_t kMaxCommentLength = 65535;

// Sector offsets of the comment piece.
constexpr size_t kCommentRemainingOffset = 10;  // u16
constexpr size_t kCommentKindOffset = 12;       // u8
constexpr size_t kCommentBytesOffset = 13;

// The number of comment sectors a comment of `length` bytes takes (0 for an
// empty comment).
size_t CommentSectorCount(size_t length);

// Fills the comment sector `index` (0 for the first) of a comment of `length`
// bytes (at most kMaxCommentLength): header bytes 0, the remaining count, the
// kind, the piece, 0xFF behind it. The caller seals it. False when the
// comment is too long or has no piece with this index.
bool EncodeCommentSector(const uint8_t* comment, size_t length, size_t index, uint8_t* sector);

struct CommentPiece {
  uint16_t remaining = 0;  // comment bytes from this sector on, as the sector says
  uint8_t kind = 0;
  const uint8_t* bytes = nullptr;  // inside the sector
  size_t count = 0;                // min(remaining, kCommentPieceSize)
};

// Reads the piece of a comment sector; the count never reaches past the sector.
CommentPiece ReadCommentPiece(const uint8_t* sector);

}  // namespace qb
