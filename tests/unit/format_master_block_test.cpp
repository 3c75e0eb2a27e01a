#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "format/byte_order.h"
#include "format/master_block.h"
#include "format/sector.h"

namespace qb {
namespace {

using Sector = std::array<uint8_t, kSectorSize>;

MasterBlock SampleBlock() {
  MasterBlock block;
  block.master = 0x5F3A1B2Cu;
  block.firstData = 3;
  block.sectors = 0x0001E848u;
  block.flags = 3;
  block.baudrate = 500000;
  block.parameterCode = 0x102F;
  block.protocolCode = 128;
  block.timeout = 10000;
  return block;
}

bool SameBlock(const MasterBlock& a, const MasterBlock& b) {
  return a.master == b.master && a.firstData == b.firstData && a.sectors == b.sectors &&
         a.flags == b.flags && a.baudrate == b.baudrate && a.parameterCode == b.parameterCode &&
         a.protocolCode == b.protocolCode && a.timeout == b.timeout;
}

TEST(FormatMasterBlock, EncodesEveryFieldAtItsOffsetAndZeroesTheRest) {
  Sector sector;
  sector.fill(0xEE);
  EncodeMasterBlock(SampleBlock(), sector.data());

  const uint8_t head[] = {
      0x2C, 0x1B, 0x3A, 0x5F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // header, not sealed
      0xF3, 0x01, 0x01,                                            // length 499, kind 1
  };
  EXPECT_EQ(std::memcmp(sector.data(), head, sizeof head), 0);
  EXPECT_EQ(std::memcmp(sector.data() + 13, "QUILLBANK CARD V01", 19), 0);  // with its zero
  const uint8_t fields[] = {
      0x00, 0x01, 0x20, 0x00,              // fixed words 256 and 32
      0x03, 0x00, 0x00, 0x00,              // F
      0x48, 0xE8, 0x01, 0x00,              // S
      0x03, 0x00,                          // flags
      0x20, 0xA1, 0x07, 0x00,              // baud rate
      0x2F, 0x10, 0x80, 0x00, 0x10, 0x27,  // parameter, protocol, timeout
  };
  EXPECT_EQ(std::memcmp(sector.data() + 32, fields, sizeof fields), 0);
  for (size_t i = 56; i < kSectorSize; ++i) ASSERT_EQ(sector[i], 0) << "offset " << i;
}

TEST(FormatMasterBlock, SealedSectorDecodesToTheSameBlock) {
  Sector sector;
  EncodeMasterBlock(SampleBlock(), sector.data());
  SealSector(sector.data(), SampleBlock().master, kMasterSector);
  ASSERT_EQ(SectorWordSum(sector.data()), 0);

  MasterBlock decoded;
  ASSERT_TRUE(DecodeMasterBlock(sector.data(), decoded));
  EXPECT_TRUE(SameBlock(decoded, SampleBlock()));
}

TEST(FormatMasterBlock, OnlyTheSignatureDecidesWhetherItDecodes) {
  Sector sector;
  EncodeMasterBlock(SampleBlock(), sector.data());
  // Length, kind, fixed words and checksum are not looked at.
  sector[8] ^= 0x55;
  Put16(sector.data() + 10, 12);
  sector[12] = 3;
  Put16(sector.data() + 32, 0);
  MasterBlock decoded;
  EXPECT_TRUE(DecodeMasterBlock(sector.data(), decoded));

  for (size_t offset : {size_t{13}, size_t{22}, size_t{30}, size_t{31}}) {
    SCOPED_TRACE(offset);
    Sector damaged = sector;
    damaged[offset] ^= 0x20;
    MasterBlock untouched = SampleBlock();
    EXPECT_FALSE(DecodeMasterBlock(damaged.data(), untouched));
    EXPECT_TRUE(SameBlock(untouched, SampleBlock()));
  }
}

}  // namespace
}  // namespace qb
