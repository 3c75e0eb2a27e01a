#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "format/record_crc.h"
#include "format/record_crc_paths.h"
#include "format/record_file.h"
#include "format/record_kind.h"

namespace qb {
namespace {

TEST(FormatRecordCrc, CheckValueAndContinuation) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(RecordCrc16(digits, sizeof digits), 0x3B7B);
  EXPECT_EQ(RecordCrc16(digits, 0), kRecordCrcStart);
  EXPECT_EQ(RecordCrc16(digits + 4, 5, RecordCrc16(digits, 4)), 0x3B7B);
}

// Reflected polynomial 0xA001 one bit at a time: the definition every way of
// computing the CRC is held to.
uint16_t BitwiseCrc(const uint8_t* data, size_t n, uint16_t crc) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

struct CrcPath {
  const char* name;
  uint16_t (*crc)(const uint8_t*, size_t, uint16_t);
};

// The tables, the folding where this processor has it, and RecordCrc16 with
// whichever it picked.
std::vector<CrcPath> CrcPaths() {
  std::vector<CrcPath> paths = {{"tables", RecordCrc16Table},
                                {"RecordCrc16", [](const uint8_t* data, size_t n, uint16_t crc) {
                                   return RecordCrc16(data, n, crc);
                                 }}};
  if (RecordCrcFoldingAvailable()) paths.push_back({"folding", RecordCrc16Folded});
  return paths;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

TEST(FormatRecordCrc, EveryPathMatchesTheBitwiseDefinition) {
  // Each input ends where its allocation ends, so that a load past the end
  // shows under the address sanitizer; at offset 0 it also starts where the
  // allocation starts, which shows a load before the start.
  const std::vector<uint8_t> pool = RandomBytes(600, 12345);
  for (size_t n = 0; n <= pool.size(); ++n) {
    for (size_t offset : {size_t{0}, size_t{1}, size_t{7}}) {
      std::vector<uint8_t> buffer(offset + n);
      std::copy(pool.end() - static_cast<long>(n), pool.end(),
                buffer.begin() + static_cast<long>(offset));
      const uint8_t* data = buffer.data() + offset;
      const uint16_t varied = static_cast<uint16_t>(kRecordCrcStart ^ (n * 0x9E37));
      for (uint16_t start : {kRecordCrcStart, uint16_t{0}, uint16_t{0xFFFF}, varied}) {
        const uint16_t expected = BitwiseCrc(data, n, start);
        for (const CrcPath& path : CrcPaths()) {
          ASSERT_EQ(path.crc(data, n, start), expected)
              << path.name << " n=" << n << " offset=" << offset << " start=" << start;
        }
      }
      // A CRC continued over a second piece, split around the block sizes.
      const uint16_t expected = BitwiseCrc(data, n, varied);
      for (size_t split :
           {size_t{1}, size_t{4}, size_t{8}, size_t{15}, size_t{16}, size_t{17}, n / 2, n - 1}) {
        if (split > n) continue;
        for (const CrcPath& path : CrcPaths()) {
          ASSERT_EQ(path.crc(data + split, n - split, path.crc(data, split, varied)), expected)
              << path.name << " n=" << n << " split=" << split;
        }
      }
    }
  }
}

TEST(FormatRecordCrc, LongInputsAgreeOnEveryPath) {
  // The longest record (its length and kind fields and 65535 data bytes), a
  // larger buffer, and both at every misalignment of a 16-byte block.
  const std::vector<uint8_t> data = RandomBytes((1u << 20) + 15, 777);
  for (size_t n : {size_t{65539}, size_t{1} << 20}) {
    const uint16_t expected = BitwiseCrc(data.data(), n, kRecordCrcStart);
    for (const CrcPath& path : CrcPaths()) {
      SCOPED_TRACE(path.name);
      EXPECT_EQ(path.crc(data.data(), n, kRecordCrcStart), expected) << n;
      for (size_t offset = 1; offset < 16; ++offset) {
        EXPECT_EQ(path.crc(data.data() + offset, n, 0xFFFF),
                  RecordCrc16Table(data.data() + offset, n, 0xFFFF))
            << n << "+" << offset;
      }
    }
  }
}

TEST(FormatRecordFile, FixedRecordsEncodeToTheirKnownBytes) {
  const struct {
    const char* name;
    uint32_t number;
    uint16_t kind;
    uint8_t bytes[kRecordFileHeaderSize];
  } table[] = {
      {"start of file",
       0,
       kKindStartOfFile,
       {0x00, 0x00, 0x00, 0x00, 0x64, 0xE6, 0x00, 0x00, 0x00, 0x00}},
      {"end of file 7",
       7,
       kKindEndOfFile,
       {0x07, 0x00, 0x00, 0x00, 0x25, 0x16, 0x00, 0x00, 0xFF, 0x00}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    uint8_t out[kRecordFileHeaderSize];
    EncodeRecordHeader(row.number, row.kind, nullptr, 0, out);
    EXPECT_EQ(std::memcmp(out, row.bytes, sizeof out), 0);

    RecordHeader header;
    DecodeRecordHeader(row.bytes, header);
    EXPECT_EQ(header.number, row.number);
    EXPECT_EQ(header.length, 0);
    EXPECT_EQ(header.kind, row.kind);
    EXPECT_TRUE(RecordCrcMatches(header, nullptr));
  }
}

// A control record "(init)" numbered 3, as it follows the comment record.
std::vector<uint8_t> InitRecord() {
  const uint8_t data[] = {kControlInit};
  std::vector<uint8_t> record(kRecordFileHeaderSize + sizeof data);
  EncodeRecordHeader(3, kKindControl, data, sizeof data, record.data());
  std::memcpy(record.data() + kRecordFileHeaderSize, data, sizeof data);
  return record;
}

TEST(FormatRecordFile, CrcCoversLengthKindAndDataButNotTheNumber) {
  std::vector<uint8_t> good = InitRecord();
  const uint8_t head[] = {0x03, 0x00, 0x00, 0x00};
  ASSERT_EQ(std::memcmp(good.data(), head, sizeof head), 0);
  const uint8_t tail[] = {0x01, 0x00, 0x04, 0x00, 0x01};
  ASSERT_EQ(std::memcmp(good.data() + 6, tail, sizeof tail), 0);

  const struct {
    const char* name;
    size_t offset;
    bool matches;
  } table[] = {
      {"number", 0, true},      {"crc low", 4, false},     {"crc high", 5, false},
      {"length low", 6, false}, {"length high", 7, false}, {"kind low", 8, false},
      {"kind high", 9, false},  {"data", 10, false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> record = good;
    record[row.offset] ^= 0x01;
    record.resize(kRecordFileHeaderSize + 0x10000);  // room for whatever length it claims now
    RecordHeader header;
    DecodeRecordHeader(record.data(), header);
    EXPECT_EQ(RecordCrcMatches(header, record.data() + kRecordFileHeaderSize), row.matches);
  }
}

TEST(FormatRecordFile, KnownKinds) {
  for (uint16_t kind : {0, 1, 2, 3, 4, 0xFF}) EXPECT_TRUE(RecordFileKindKnown(kind)) << kind;
  for (uint16_t kind : {5, 0x80, 0xFE, 0x100, 0xFF00, 0xFFFF})
    EXPECT_FALSE(RecordFileKindKnown(kind)) << kind;
}

}  // namespace
}  // namespace qb
