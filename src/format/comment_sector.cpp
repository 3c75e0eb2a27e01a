#include "format/comment_sector.h"

#include <algorithm>
#include <cstring>

#include "format/byte_order.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb {

static_assert(kCommentBytesOffset + kCommentPieceSize == kSectorSize);

size_t CommentSectorCount(size_t length) {
  return (length + kCommentPieceSize - 1) / kCommentPieceSize;
}

bool EncodeCommentSector(const uint8_t* comment, size_t length, size_t index, uint8_t* sector) {
  if (length > kMaxCommentLength || index >= CommentSectorCount(length)) return false;
  size_t remaining = length - index * kCommentPieceSize;
  size_t count = std::min(remaining, kCommentPieceSize);
  std::memset(sector, 0, kRecordAreaOffset);
  std::memset(sector + kRecordAreaOffset, 0xFF, kRecordAreaSize);
  Put16(sector + kCommentRemainingOffset, static_cast<uint16_t>(remaining));
  sector[kCommentKindOffset] = index == 0 ? kKindComment : kKindContinuation;
  std::memcpy(sector + kCommentBytesOffset, comment + index * kCommentPieceSize, count);
  return true;
}

CommentPiece ReadCommentPiece(const uint8_t* sector) {
  CommentPiece piece;
  piece.remaining = Get16(sector + kCommentRemainingOffset);
  piece.kind = sector[kCommentKindOffset];
  piece.bytes = sector + kCommentBytesOffset;
  piece.count = std::min<size_t>(piece.remaining, kCommentPieceSize);
  return piece;
}

}  // namespace qb
