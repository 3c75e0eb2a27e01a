#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "format/byte_order.h"
#include "format/record_kind.h"
#include "format/sector.h"

namespace qb {
namespace {

using Sector = std::array<uint8_t, kSectorSize>;

TEST(FormatByteOrder, ValuesAreLittleEndian) {
  uint8_t bytes[4];
  Put32(bytes, 0x12345678u);
  EXPECT_EQ(bytes[0], 0x78);
  EXPECT_EQ(bytes[3], 0x12);
  EXPECT_EQ(Get32(bytes), 0x12345678u);
  EXPECT_EQ(Get16(bytes + 2), 0x1234);
  Put16(bytes, 0xBEEF);
  EXPECT_EQ(bytes[0], 0xEF);
  EXPECT_EQ(bytes[1], 0xBE);
  EXPECT_EQ(Get32(bytes), 0x1234BEEFu);
}

TEST(FormatSector, WordSumAddsLittleEndianWordsModulo65536) {
  Sector sector{};
  sector[0] = 0x01;
  sector[511] = 0x02;
  EXPECT_EQ(SectorWordSum(sector.data()), 0x0201);
  sector.fill(0xFF);  // 256 words of 0xFFFF
  EXPECT_EQ(SectorWordSum(sector.data()), static_cast<uint16_t>(256u * 0xFFFFu));
}

TEST(FormatSector, SealingMakesTheWordSumZeroWhateverTheChecksumWordHeld) {
  Sector sector;
  for (size_t i = 0; i < kSectorSize; ++i) sector[i] = static_cast<uint8_t>(i * 37 + 11);

  SealSector(sector.data(), 0x5F3A1B2Cu, 7);
  EXPECT_EQ(SectorWordSum(sector.data()), 0);
  SectorHeader header = ReadSectorHeader(sector.data());
  EXPECT_EQ(header.master, 0x5F3A1B2Cu);
  EXPECT_EQ(header.sequence, 7u);
  EXPECT_EQ(header.checksum, Get16(sector.data() + 8));

  // Resealing an already sealed sector with another sequence number.
  SealSector(sector.data(), 0x5F3A1B2Cu, 0x80000008u);
  EXPECT_EQ(SectorWordSum(sector.data()), 0);
  EXPECT_EQ(ReadSectorHeader(sector.data()).sequence, 0x80000008u);
  EXPECT_EQ(sector[100], static_cast<uint8_t>(100 * 37 + 11));  // the record area is untouched
}

TEST(FormatSector, FreshFirstDataSectorHoldsTheInitRecord) {
  Sector sector;
  sector.fill(0xAA);
  EncodeInitDataSector(sector.data());
  const uint8_t expected[] = {0x01, 0x00, 0x04, 0x01, 0xFF};
  EXPECT_EQ(std::memcmp(sector.data() + kRecordAreaOffset, expected, sizeof expected), 0);
  EXPECT_EQ(sector[511], 0xFF);
  EXPECT_EQ(SectorFillLevel(sector.data()), 4u);
}

struct CardRecord {
  uint16_t length;
  uint8_t kind;
};

struct FillCase {
  const char* name;
  std::vector<CardRecord> records;  // laid out from record-area offset 0
  size_t fill;
};

// A sector whose record area holds the given record headers, each at the
// offset the one before it steps to, and 0xFF everywhere else.
Sector SectorWithRecords(const std::vector<CardRecord>& records) {
  Sector sector;
  sector.fill(0xFF);
  size_t offset = 0;
  for (const CardRecord& record : records) {
    uint8_t* at = sector.data() + kRecordAreaOffset + offset;
    Put16(at, record.length);
    at[2] = record.kind;
    offset += RecordStep(record.length);
  }
  return sector;
}

TEST(FormatSector, FillLevelStepsOverRecordsToTheFirstFreeSlotOrPastTheLastStart) {
  const FillCase cases[] = {
      {"all free", {}, 0},
      {"odd and even lengths round up", {{1, kKindData}, {2, kKindData}, {3, kKindControl}}, 16},
      {"free slot at the last start", {{494, kKindData}}, 498},
      {"record at the last start", {{494, kKindData}, {0, kKindControl}}, 502},
      {"continuing into the next sector", {{400, kKindData}, {300, kKindData}}, 708},
      {"continuation piece first", {{201, kKindContinuation}, {1, kKindControl}}, 208},
      {"untrusted length", {{0xFFFF, kKindData}}, 0x10002},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    Sector sector = SectorWithRecords(c.records);
    EXPECT_EQ(SectorFillLevel(sector.data()), c.fill);
  }
}

TEST(FormatSector, ReservedSectorIsRecognisedByItsFirstFourBytes) {
  Sector sector{};
  EncodeReservedSector(sector.data());
  EXPECT_TRUE(IsReservedSector(sector.data()));
  EXPECT_EQ(sector[511], 0xFF);
  sector[3] = 0xFE;
  EXPECT_FALSE(IsReservedSector(sector.data()));
}

}  // namespace
}  // namespace qb
