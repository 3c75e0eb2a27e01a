#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "format/byte_order.h"
#include "format/comment_sector.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb {
namespace {

using Sector = std::array<uint8_t, kSectorSize>;

TEST(FormatCommentSector, SectorCountPerCommentLength) {
  const struct {
    size_t length;
    size_t sectors;
  } table[] = {{0, 0}, {1, 1}, {499, 1}, {500, 2}, {998, 2}, {999, 3}, {65535, 132}};
  for (const auto& row : table)
    EXPECT_EQ(CommentSectorCount(row.length), row.sectors) << row.length;
}

// Encodes every sector of the comment, then reads the pieces back as a reader
// walks them: the first of kind 2, the rest continuations, until none remain.
TEST(FormatCommentSector, PiecesReassembleToTheComment) {
  for (size_t length : {size_t{1}, size_t{499}, size_t{500}, size_t{1200}, kMaxCommentLength}) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> comment(length);
    for (size_t i = 0; i < length; ++i) comment[i] = static_cast<uint8_t>(i * 7 + 1);

    std::vector<Sector> sectors(CommentSectorCount(length));
    for (size_t i = 0; i < sectors.size(); ++i)
      ASSERT_TRUE(EncodeCommentSector(comment.data(), length, i, sectors[i].data()));

    std::vector<uint8_t> read;
    for (size_t i = 0; i < sectors.size(); ++i) {
      CommentPiece piece = ReadCommentPiece(sectors[i].data());
      EXPECT_EQ(piece.kind, i == 0 ? kKindComment : kKindContinuation);
      EXPECT_EQ(piece.remaining, length - read.size());
      read.insert(read.end(), piece.bytes, piece.bytes + piece.count);
    }
    EXPECT_EQ(read, comment);
  }
}

TEST(FormatCommentSector, ShortLastPieceIsFollowedByFreeBytes) {
  std::vector<uint8_t> comment(500, 'x');
  Sector sector;
  sector.fill(0);
  ASSERT_TRUE(EncodeCommentSector(comment.data(), comment.size(), 1, sector.data()));
  const uint8_t expected[] = {0x01, 0x00, kKindContinuation, 'x', 0xFF};
  EXPECT_EQ(std::memcmp(sector.data() + kRecordAreaOffset, expected, sizeof expected), 0);
  EXPECT_EQ(sector[511], 0xFF);

  EXPECT_FALSE(EncodeCommentSector(comment.data(), comment.size(), 2, sector.data()));
  EXPECT_FALSE(EncodeCommentSector(comment.data(), 0, 0, sector.data()));
  std::vector<uint8_t> too_long(kMaxCommentLength + 1, 'y');
  EXPECT_FALSE(EncodeCommentSector(too_long.data(), too_long.size(), 0, sector.data()));
}

TEST(FormatCommentSector, ClaimedCountStaysInsideTheSector) {
  Sector sector;
  sector.fill(0);
  Put16(sector.data() + kCommentRemainingOffset, 0xFFFF);
  CommentPiece piece = ReadCommentPiece(sector.data());
  EXPECT_EQ(piece.remaining, 0xFFFF);
  EXPECT_EQ(piece.count, kCommentPieceSize);
  EXPECT_EQ(piece.bytes + piece.count, sector.data() + kSectorSize);
}

}  // namespace
}  // namespace qb
