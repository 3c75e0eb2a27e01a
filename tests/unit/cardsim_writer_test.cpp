#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

#include "cardsim/card_dump.h"
#include "cardsim/card_faults.h"
#include "cardsim/card_image.h"
#include "cardsim/card_writer.h"
#include "cardsim/recording.h"
#include "cardsim/transmissions.h"
#include "format/byte_order.h"
#include "format/master_block.h"
#include "format/record_kind.h"
#include "format/sector.h"
#include "support/temp_dir.h"

namespace qb::cardsim {
namespace {

constexpr uint32_t kMaster = 0x6543210Fu;
constexpr uint32_t kFirst = 2;  // cards here have no comment

// A card as the preparation leaves it: reserved sector, master sector, and
// the first data sector F holding "(init)" with sequence number F.
void Prepare(MemoryCardImage& image, uint32_t sectors, bool ring) {
  EncodeReservedSector(image.Sector(0));
  MasterBlock block;
  block.master = kMaster;
  block.firstData = kFirst;
  block.sectors = sectors;
  block.flags = ring ? 1 : 0;
  EncodeMasterBlock(block, image.Sector(1));
  SealSector(image.Sector(1), kMaster, 1);
  EncodeInitDataSector(image.Sector(kFirst));
  SealSector(image.Sector(kFirst), kMaster, kFirst);
}

struct Record {
  uint8_t kind;
  std::vector<uint8_t> data;
  bool operator==(const Record&) const = default;
};

void PrintTo(const Record& record, std::ostream* out) {
  *out << "kind " << int(record.kind) << ", " << record.data.size() << " bytes";
  if (!record.data.empty()) *out << " from " << int(record.data[0]);
}

const Record kInit{kKindControl, {kControlInit}};
const Record kStart{kKindControl, {kControlStart}};

// Reads a card back the way the reading job does: the newest sector by a
// binary search over the sequence numbers, then every record from the
// sector after the one behind the newest, round to the newest.
struct ReadBack {
  std::string failure;  // empty when the walk ended normally
  std::vector<Record> records;
  uint32_t start = 0;
  uint32_t newest = 0;
  bool select = false;  // the alternative copy was taken
};

ReadBack ReadCard(MemoryCardImage& image) {
  ReadBack result;
  MasterBlock m;
  if (!DecodeMasterBlock(image.Sector(1), m)) {
    result.failure = "no master";
    return result;
  }
  const uint32_t F = m.firstData, L = m.sectors - 1;
  const bool ring = m.flags & 1;
  auto valid = [&](uint32_t n) {
    return n <= L && Get32(image.Sector(n)) == m.master && SectorWordSum(image.Sector(n)) == 0;
  };
  auto probe = [&](uint32_t n) { return n >= F && valid(n); };
  auto seq = [&](uint32_t n) { return Get32(image.Sector(n) + kSequenceOffset); };
  auto fill = [&](uint32_t n) { return probe(n) ? SectorFillLevel(image.Sector(n)) : 0; };

  uint32_t F0 = F, E = 0;
  if (probe(F) && !(seq(F) & kAlternateSequenceBit)) {
    E = seq(F);
    for (uint32_t step = 1u << 27; step > 0; step >>= 1) {
      F0 += step;
      E += step;
      if (!(probe(F0) && seq(F0) == E)) {
        F0 -= step;
        E -= step;
      }
    }
  } else if (probe(F)) {
    F0 = L;
    E = seq(F);
  } else if (probe(F + 1) && (seq(F + 1) & kAlternateSequenceBit)) {
    E = seq(F + 1);
  } else if (probe(L)) {
    F0 = L;
    E = seq(L);
  } else {
    result.failure = "Focus search at sector " + std::to_string(L);
    return result;
  }
  uint32_t F1 = F0 + 1;
  if (F1 > L) {
    if (!ring) {
      result.failure = "Unexpected end of focus search";
      return result;
    }
    F1 = F;
  }
  const size_t fill0 = fill(F0);
  result.select = probe(F1) && seq(F1) == (E | kAlternateSequenceBit) && fill(F1) >= fill0;
  if (fill0 == 0 && (!result.select || fill(F1) == 0)) {
    result.failure = "Focus search failed";
    return result;
  }
  auto after = [&](uint32_t n) { return n >= L ? F : n + 1; };
  result.start = valid(after(F1)) ? after(F1) : F;
  result.newest = F0;

  uint32_t current = result.start;
  size_t cursor = 502, remaining = 0;
  bool first = true, end = false;
  const uint8_t* area = nullptr;
  while (true) {
    while (cursor > kLastRecordStart) {
      if (end) return result;
      if (current == F0) {
        end = true;
        if (result.select) current = F1;
      }
      if (!probe(current)) {
        result.failure = "Reading record sector " + std::to_string(current);
        return result;
      }
      area = image.Sector(current) + kRecordAreaOffset;
      cursor = 0;
      current = after(current);
      if (first && area[2] == kKindContinuation) cursor = (Get16(area) + 4) & 0xFFFE;
    }
    first = false;
    const uint16_t length = Get16(area + cursor);
    const uint8_t kind = area[cursor + 2];
    if (kind == kKindFree) return result;
    if (length > kMaxCardRecordLength) {
      result.failure = "Illegal record length";
      return result;
    }
    if (kind != kKindContinuation) {
      if (remaining > 0) {
        result.failure = "record cut short";
        return result;
      }
      result.records.push_back({kind, {}});
      remaining = length;
    } else if (remaining == 0) {
      result.failure = "stray continuation";
      return result;
    }
    if (kind == kKindContinuation && length != remaining) {
      result.failure = "continuation length " + std::to_string(length) + " for " +
                       std::to_string(remaining) + " bytes";
      return result;
    }
    cursor += 3;
    for (; remaining > 0 && cursor < kRecordAreaSize; --remaining)
      result.records.back().data.push_back(area[cursor++]);
    cursor = (cursor + 1) & ~size_t{1};
  }
}

class ListSource : public TransmissionSource {
 public:
  explicit ListSource(std::vector<std::vector<uint8_t>> items) : items_(std::move(items)) {}
  bool Next(std::vector<uint8_t>& out) override {
    if (next_ == items_.size()) return false;
    out = items_[next_++];
    return true;
  }

 private:
  std::vector<std::vector<uint8_t>> items_;
  size_t next_ = 0;
};

// Transmissions of varied lengths, each different from the others.
std::vector<std::vector<uint8_t>> Transmissions(size_t count, size_t salt = 0) {
  std::vector<std::vector<uint8_t>> items;
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> item(3 + (i * 37 + salt * 11) % 140);
    for (size_t j = 0; j < item.size(); ++j) item[j] = static_cast<uint8_t>(i * 7 + j + salt);
    items.push_back(item);
  }
  return items;
}

// What a session of `items` adds to the card's records.
void ExpectSession(const std::vector<std::vector<uint8_t>>& items, std::vector<Record>& records) {
  records.push_back(kStart);
  for (const auto& item : items) records.push_back({kKindData, item});
}

bool RecordItems(MemoryCardImage& image, const std::vector<std::vector<uint8_t>>& items,
                 RecordReport& report, bool fillLast = false) {
  ListSource source(items);
  std::string error;
  RecordOptions options;
  options.fillLast = fillLast;
  bool ok = RecordSession(image, source, options, report, error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

// The read-back records are the last ones of `expected`, in order.
void ExpectTail(const std::vector<Record>& read, const std::vector<Record>& expected) {
  ASSERT_FALSE(read.empty());
  ASSERT_LE(read.size(), expected.size());
  EXPECT_TRUE(std::equal(read.begin(), read.end(), expected.end() - read.size()));
}

// -- packing --------------------------------------------------------------

struct Piece {
  uint32_t sector;  // counted from F
  size_t offset;    // record-area offset
  uint16_t length;  // length field
  uint8_t kind;
  size_t bytes;  // data bytes in this piece
};

struct PackingCase {
  const char* name;
  size_t startOffset;  // where the record begins in F (a full sector: 500)
  size_t length;
  std::vector<Piece> pieces;
  uint32_t endSector;  // newest afterwards, counted from F
  size_t endFill;
};

class CardSimPacking : public testing::TestWithParam<PackingCase> {};

TEST_P(CardSimPacking, RecordIsLaidOutAsTheDeviceDoes) {
  const PackingCase& c = GetParam();
  MemoryCardImage image(12);
  Prepare(image, 12, false);
  // A filler record after "(init)" brings F's fill level to the start offset.
  const uint16_t filler = static_cast<uint16_t>(c.startOffset - 8);
  uint8_t* area = image.Sector(kFirst) + kRecordAreaOffset;
  Put16(area + 4, filler);
  area[6] = kKindData;
  std::memset(area + 7, 0x55, filler);
  SealSector(image.Sector(kFirst), kMaster, kFirst);

  CardLayout layout;
  WritePosition position;
  std::string error;
  ASSERT_TRUE(ReadCardLayout(image, layout, error)) << error;
  ASSERT_TRUE(FindWritePosition(image, layout, position, error)) << error;
  ASSERT_EQ(position.fill, c.startOffset);
  std::vector<uint8_t> data(c.length);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
  CardWriter writer(image, layout, position);
  ASSERT_EQ(writer.AppendRecord(kKindData, data.data(), data.size()), CardWriter::Result::kWritten);
  ASSERT_TRUE(writer.Finish()) << writer.error();

  size_t copied = 0;
  for (const Piece& piece : c.pieces) {
    SCOPED_TRACE(piece.sector);
    const uint8_t* at = image.Sector(kFirst + piece.sector) + kRecordAreaOffset + piece.offset;
    EXPECT_EQ(Get16(at), piece.length);
    EXPECT_EQ(at[2], piece.kind);
    EXPECT_TRUE(std::equal(at + 3, at + 3 + piece.bytes, data.begin() + copied));
    copied += piece.bytes;
  }
  EXPECT_EQ(copied, c.length);
  EXPECT_EQ(writer.newest(), kFirst + c.endSector);
  EXPECT_EQ(writer.sequence(), kFirst + c.endSector);
  const uint8_t* last = image.Sector(kFirst + c.endSector);
  EXPECT_EQ(SectorFillLevel(last), c.endFill);
  // Unused bytes behind the record are free, and every sector is sealed.
  for (size_t i = kRecordAreaOffset + c.endFill; i < kSectorSize; ++i) ASSERT_EQ(last[i], 0xFF);
  for (uint32_t s = 0; s <= c.endSector; ++s) {
    EXPECT_EQ(SectorWordSum(image.Sector(kFirst + s)), 0);
    EXPECT_EQ(ReadSectorHeader(image.Sector(kFirst + s)).master, kMaster);
  }
  EXPECT_TRUE(IsReservedSector(image.Sector(kFirst + c.endSector + 1)));  // untouched

  ReadBack back = ReadCard(image);
  ASSERT_EQ(back.failure, "");
  ASSERT_EQ(back.records.size(), 3u);
  EXPECT_EQ(back.records[2], (Record{kKindData, data}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardSimPacking,
    testing::Values(
        PackingCase{
            "Cut300At400", 400, 300, {{0, 400, 300, 3, 99}, {1, 0, 201, 0x80, 201}}, 1, 204},
        PackingCase{"EndsExactlyAtSectorEnd", 400, 99, {{0, 400, 99, 3, 99}}, 0, 502},
        PackingCase{"OneByteOver", 400, 100, {{0, 400, 100, 3, 99}, {1, 0, 1, 0x80, 1}}, 1, 4},
        PackingCase{"OneByteAtLastStart", 498, 1, {{0, 498, 1, 3, 1}}, 0, 502},
        PackingCase{"EmptyRecord", 400, 0, {{0, 400, 0, 3, 0}}, 0, 404},
        PackingCase{
            "Full500AtLastStart", 498, 500, {{0, 498, 500, 3, 1}, {1, 0, 499, 0x80, 499}}, 1, 502},
        PackingCase{
            "Full500InFullSector", 500, 500, {{1, 0, 500, 3, 499}, {2, 0, 1, 0x80, 1}}, 2, 4},
        PackingCase{"OddLengthPadsToEven", 496, 2, {{0, 496, 2, 3, 2}}, 0, 502}),
    [](const testing::TestParamInfo<PackingCase>& info) { return std::string(info.param.name); });

// -- sessions -------------------------------------------------------------

TEST(CardSimRecording, SessionsAppendStartAndDataRecordsAndReadBackWhole) {
  MemoryCardImage image(40);
  Prepare(image, 40, false);
  std::vector<Record> expected{kInit};
  RecordReport report;
  auto first = Transmissions(60);
  ASSERT_TRUE(RecordItems(image, first, report));
  ExpectSession(first, expected);
  EXPECT_EQ(report.transmissions, 60u);
  EXPECT_EQ(report.records, 61u);
  EXPECT_FALSE(report.full);
  EXPECT_FALSE(report.wrapped);
  EXPECT_EQ(report.start, kFirst);

  // The next session continues behind the last record of the newest sector.
  const uint32_t newest = report.newest;
  const size_t fill = report.fill;
  ASSERT_LT(fill, 490u);
  auto second = Transmissions(3, 5);
  ASSERT_TRUE(RecordItems(image, second, report));
  ExpectSession(second, expected);
  const uint8_t* area = image.Sector(newest) + kRecordAreaOffset;
  EXPECT_EQ(Get16(area + fill), 1);
  EXPECT_EQ(area[fill + 2], kKindControl);
  EXPECT_EQ(area[fill + 3], kControlStart);
  EXPECT_EQ(ReadSectorHeader(image.Sector(newest)).sequence, newest);
  EXPECT_EQ(report.sequence, report.newest);

  ReadBack back = ReadCard(image);
  ASSERT_EQ(back.failure, "");
  EXPECT_EQ(back.records, expected);
  EXPECT_EQ(back.newest, report.newest);
  EXPECT_EQ(SectorFillLevel(image.Sector(report.newest)), report.fill);
  for (uint32_t s = kFirst; s <= report.newest; ++s) {
    EXPECT_EQ(SectorWordSum(image.Sector(s)), 0);
    EXPECT_EQ(ReadSectorHeader(image.Sector(s)).sequence, s);
  }
}

TEST(CardSimRecording, LongTransmissionBecomesRecordsOf500) {
  MemoryCardImage image(12);
  Prepare(image, 12, false);
  std::vector<uint8_t> longOne(1200);
  for (size_t i = 0; i < longOne.size(); ++i) longOne[i] = static_cast<uint8_t>(i * 13);
  RecordReport report;
  ASSERT_TRUE(RecordItems(image, {longOne}, report));
  EXPECT_EQ(report.transmissions, 1u);
  ReadBack back = ReadCard(image);
  ASSERT_EQ(back.failure, "");
  ASSERT_EQ(back.records.size(), 5u);  // (init), (start), 500, 500, 200
  std::vector<uint8_t> joined;
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(back.records[i].data.size(), i < 4 ? 500u : 200u);
    joined.insert(joined.end(), back.records[i].data.begin(), back.records[i].data.end());
  }
  EXPECT_EQ(joined, longOne);
}

// A ring card recorded with ever more transmissions: whatever the write
// position, the sequence numbers run on by one per sector in ring order and
// the card reads back as the newest records, complete and in order.
TEST(CardSimRecording, RingWrapsWithConsecutiveSequenceNumbersAndReadsBackTheNewest) {
  constexpr uint32_t kSectors = 9;  // data sectors 2..8: a ring of 7
  const uint32_t ringSize = kSectors - kFirst;
  bool sawNewestAtLast = false, sawWrap = false;
  for (size_t count = 0; count < 120; count += 3) {
    SCOPED_TRACE(count);
    MemoryCardImage image(kSectors);
    Prepare(image, kSectors, true);
    auto items = Transmissions(count);
    std::vector<Record> expected{kInit};
    ExpectSession(items, expected);
    RecordReport report;
    ASSERT_TRUE(RecordItems(image, items, report));
    EXPECT_EQ(report.transmissions, count);
    EXPECT_FALSE(report.full);

    const uint32_t top = report.sequence;
    EXPECT_EQ(report.wrapped, top >= kSectors);
    // Walking back from the newest sector: sequence numbers one less each.
    uint32_t sector = report.newest;
    for (uint32_t back = 0; back < ringSize && back <= top - kFirst; ++back) {
      ASSERT_EQ(SectorWordSum(image.Sector(sector)), 0) << sector;
      ASSERT_EQ(ReadSectorHeader(image.Sector(sector)).sequence, top - back) << sector;
      sector = sector == kFirst ? kSectors - 1 : sector - 1;
    }
    sawNewestAtLast |= report.newest == kSectors - 1 && report.wrapped;
    sawWrap |= report.wrapped;

    ReadBack back = ReadCard(image);
    ASSERT_EQ(back.failure, "");
    EXPECT_EQ(back.newest, report.newest);
    EXPECT_EQ(back.start, report.start);
    // Until the newest sector reaches L the reader starts from F and sees
    // everything; from then on the sector behind the newest is given up.
    if (report.newest < kSectors - 1 && !report.wrapped) {
      EXPECT_EQ(report.start, kFirst);
      EXPECT_EQ(back.records, expected);
    } else {
      ExpectTail(back.records, expected);
    }

    // A further session continues behind the newest record, wrapped or not.
    auto more = Transmissions(4, 9);
    ExpectSession(more, expected);
    ASSERT_TRUE(RecordItems(image, more, report));
    back = ReadCard(image);
    ASSERT_EQ(back.failure, "");
    ExpectTail(back.records, expected);
  }
  EXPECT_TRUE(sawWrap);
  EXPECT_TRUE(sawNewestAtLast);
}

// A linear card takes records until the next sector would be its last one;
// what does not fit is dropped whole, and the card still reads back.
TEST(CardSimRecording, LinearCardStopsOneSectorBeforeItsEnd) {
  constexpr uint32_t kSectors = 8;  // data sectors 2..7, L = 7
  for (size_t count : {20, 35, 200}) {
    SCOPED_TRACE(count);
    MemoryCardImage image(kSectors);
    Prepare(image, kSectors, false);
    auto items = Transmissions(count);
    RecordReport report;
    ASSERT_TRUE(RecordItems(image, items, report));
    EXPECT_EQ(report.transmissions + report.dropped, count);
    EXPECT_EQ(report.full, report.dropped > 0);
    EXPECT_LE(report.newest, kSectors - 2);
    EXPECT_TRUE(IsReservedSector(image.Sector(kSectors - 1)));  // L never written

    items.resize(report.transmissions);
    std::vector<Record> expected{kInit};
    ExpectSession(items, expected);
    ReadBack back = ReadCard(image);
    ASSERT_EQ(back.failure, "");
    EXPECT_EQ(back.records, expected);
  }

  // Later sessions use up the rest of the newest sector; once not even a
  // "(start)" fits, a session changes nothing.
  MemoryCardImage image(kSectors);
  Prepare(image, kSectors, false);
  RecordReport report;
  std::vector<uint8_t> before;
  do {
    before = image.bytes();
    ASSERT_TRUE(RecordItems(image, Transmissions(2), report));
    ASSERT_LE(report.newest, kSectors - 2);
  } while (report.records > 0);
  EXPECT_TRUE(report.full);
  EXPECT_EQ(report.dropped, 2u);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(ReadCard(image).failure, "");
}

TEST(CardSimRecording, FillLastWritesTheLastSectorAndTheReaderRefusesIt) {
  constexpr uint32_t kSectors = 8;
  MemoryCardImage image(kSectors);
  Prepare(image, kSectors, false);
  RecordReport report;
  ASSERT_TRUE(RecordItems(image, Transmissions(200), report, true));
  EXPECT_TRUE(report.full);
  EXPECT_EQ(report.newest, kSectors - 1);
  EXPECT_EQ(ReadCard(image).failure, "Unexpected end of focus search");
}

// -- faults ---------------------------------------------------------------

TEST(CardSimFaults, AlternateCopyIsTakenInPlaceOfTheNewestSector) {
  // The newest sector in the middle of a ring, and at L (the copy goes to F).
  for (size_t count : {10, 0}) {
    SCOPED_TRACE(count);
    constexpr uint32_t kSectors = 9;
    MemoryCardImage image(kSectors);
    Prepare(image, kSectors, true);
    RecordReport report;
    size_t n = count;
    // Without a count, record until the newest sector is L after a wrap.
    do {
      Prepare(image, kSectors, true);
      ASSERT_TRUE(RecordItems(image, Transmissions(count ? n : ++n), report));
    } while (count == 0 && !(report.wrapped && report.newest == kSectors - 1));
    const std::vector<Record> before = ReadCard(image).records;

    std::string error;
    ASSERT_TRUE(WriteAlternateCopy(image, report.layout, report.newest, error)) << error;
    const uint32_t copy = report.layout.After(report.newest);
    EXPECT_EQ(ReadSectorHeader(image.Sector(copy)).sequence,
              report.sequence | kAlternateSequenceBit);
    EXPECT_EQ(SectorWordSum(image.Sector(copy)), 0);
    ReadBack back = ReadCard(image);
    ASSERT_EQ(back.failure, "");
    EXPECT_TRUE(back.select);
    EXPECT_EQ(back.records, before);

    // The device finds its place again and writes over the copy.
    ASSERT_TRUE(RecordItems(image, Transmissions(30, 3), report));
    back = ReadCard(image);
    ASSERT_EQ(back.failure, "");
    EXPECT_FALSE(back.select);
  }
}

TEST(CardSimFaults, FaultsSpoilTheSectorTheReaderMeets) {
  constexpr uint32_t kSectors = 20;
  constexpr uint32_t kVictim = kFirst + 2;
  struct Case {
    const char* name;
    bool (*apply)(CardImage&, const CardLayout&, uint32_t, std::string&);
    const char* failure;
  };
  const Case cases[] = {
      {"damage", DamageSector, "Reading record sector 4"},
      {"foreign master", ForeignMasterSector, "Reading record sector 4"},
      {"bad length", BadLengthSector, "Illegal record length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCardImage image(kSectors);
    Prepare(image, kSectors, false);
    RecordReport report;
    ASSERT_TRUE(RecordItems(image, Transmissions(80), report));
    ASSERT_GT(report.newest, kVictim);
    std::vector<uint8_t> before(image.Sector(kVictim), image.Sector(kVictim) + kSectorSize);
    std::string error;
    ASSERT_TRUE(c.apply(image, report.layout, kVictim, error)) << error;
    EXPECT_EQ(ReadCard(image).failure, c.failure);
    // Only the header or the first length changed; the records stay.
    EXPECT_EQ(std::memcmp(image.Sector(kVictim) + kRecordAreaOffset + 2,
                          before.data() + kRecordAreaOffset + 2, kRecordAreaSize - 2),
              0);
  }
  MemoryCardImage image(kSectors);
  Prepare(image, kSectors, false);
  CardLayout layout;
  std::string error;
  ASSERT_TRUE(ReadCardLayout(image, layout, error));
  EXPECT_FALSE(BadLengthSector(image, layout, kFirst + 1, error));       // holds no record
  EXPECT_FALSE(DamageSector(image, layout, kSectors, error));            // beyond S
  EXPECT_FALSE(ForeignMasterSector(image, layout, 1, error));            // the master sector
  EXPECT_FALSE(WriteAlternateCopy(image, layout, kSectors - 1, error));  // nothing after L
}

// -- untrusted cards ------------------------------------------------------

TEST(CardSimCardCheck, UnusableCardsAreRefusedWithAReason) {
  struct Case {
    const char* name;
    void (*spoil)(MemoryCardImage&);
    const char* needle;
  };
  const Case cases[] = {
      {"signature", [](MemoryCardImage& i) { i.Sector(1)[kMasterSignatureOffset] ^= 1; },
       "not prepared"},
      {"F below 2", [](MemoryCardImage& i) { Put32(i.Sector(1) + kMasterFirstDataOffset, 1); },
       "first data sector 1"},
      {"too few data sectors",
       [](MemoryCardImage& i) { Put32(i.Sector(1) + kMasterSectorsOffset, kFirst + 3); },
       "fewer than 4"},
      {"S beyond the image",
       [](MemoryCardImage& i) { Put32(i.Sector(1) + kMasterSectorsOffset, 0xFFFFFFFFu); },
       "image holds 16"},
      {"F foreign", [](MemoryCardImage& i) { i.Sector(kFirst)[0] ^= 1; }, "does not belong"},
      {"F damaged", [](MemoryCardImage& i) { i.Sector(kFirst)[100] ^= 1; }, "does not belong"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCardImage image(16);
    Prepare(image, 16, true);
    c.spoil(image);
    ListSource source({{1, 2, 3}});
    RecordReport report;
    std::string error;
    EXPECT_FALSE(RecordSession(image, source, RecordOptions(), report, error));
    EXPECT_NE(error.find(c.needle), std::string::npos) << error;
  }
  MemoryCardImage tiny(1);
  CardLayout layout;
  std::string error;
  EXPECT_FALSE(ReadCardLayout(tiny, layout, error));
}

// Random sector contents behind a valid master sector: the device finds some
// place to continue, or refuses, but never reads or writes out of bounds.
TEST(CardSimCardCheck, RandomSectorsNeverLeadOutOfBounds) {
  uint64_t state = 12345;
  auto next = [&]() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint8_t>(state >> 56);
  };
  for (int round = 0; round < 40; ++round) {
    MemoryCardImage image(24);
    Prepare(image, 24, round % 2 == 0);
    for (uint32_t s = kFirst; s < 24; ++s) {
      if (round % 3 == 0 && s > kFirst + 3) continue;
      for (size_t i = 0; i < kSectorSize; ++i) image.Sector(s)[i] = next();
      // Mostly sectors of this recording, sealed, with plausible numbers.
      if (next() % 4 != 0) SealSector(image.Sector(s), kMaster, s + (next() % 3) * 22);
    }
    ListSource source(Transmissions(30));
    RecordReport report;
    std::string error;
    if (RecordSession(image, source, RecordOptions(), report, error)) {
      EXPECT_GE(report.newest, kFirst);
      EXPECT_LT(report.newest, 24u);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

// -- the image file and the account of a card -----------------------------

TEST(CardSimImageFile, BlankImageIsAllFreeAndTakesWritesWithinItsSectors) {
  test::TempDir dir;
  const std::string path = dir.File("card.img");
  std::string error;
  ASSERT_TRUE(CreateBlankImage(path, 2049, error)) << error;  // more than one write chunk
  FileCardImage image;
  ASSERT_TRUE(image.Open(path, true)) << image.error();
  EXPECT_EQ(image.SectorCount(), 2049u);
  std::vector<uint8_t> sectors(3 * kSectorSize);
  ASSERT_TRUE(image.ReadSectors(2046, sectors.data(), 3));
  EXPECT_EQ(sectors, std::vector<uint8_t>(3 * kSectorSize, 0xFF));

  uint8_t sector[kSectorSize];
  std::memset(sector, 0x5A, sizeof sector);
  ASSERT_TRUE(image.Write(2048, sector, 1));
  EXPECT_FALSE(image.Write(2048, sectors.data(), 2));
  EXPECT_FALSE(image.Read(2049, sector));
  EXPECT_NE(image.error().find("beyond"), std::string::npos);
  ASSERT_TRUE(image.Close());
  EXPECT_EQ(dir.Read("card.img").substr(2048 * kSectorSize), std::string(kSectorSize, 0x5A));

  FileCardImage missing;
  EXPECT_FALSE(missing.Open(dir.File("none.img"), false));
  EXPECT_FALSE(CreateBlankImage(dir.File("no/such/folder"), 1, error));
}

std::string Dump(CardImage& image, bool& ok) {
  std::FILE* out = std::tmpfile();
  std::string error;
  ok = DumpCard(image, out, error);
  std::string text(static_cast<size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  return ok ? text : error;
}

TEST(CardSimDump, ListsTheRecordsOfEachSectorAndTheNewest) {
  MemoryCardImage image(12);
  Prepare(image, 12, true);
  RecordReport report;
  ASSERT_TRUE(RecordItems(image, Transmissions(12), report));
  std::string error;
  ASSERT_TRUE(WriteAlternateCopy(image, report.layout, report.newest, error));
  bool ok = false;
  std::string text = Dump(image, ok);
  ASSERT_TRUE(ok) << text;
  const char* const lines[] = {
      "master: number 0x6543210F, first data sector 2, sectors in use 12, ring memory",
      "\n  2 seq 2 fill 536: C(init) C(start) D3 D40 D77 D114 D11 D48 (+2 more)\n",
      "\n  3 seq 3 fill 348: +33 D19 D56 D93 D130\n",
      "\n  4 seq 3 (copy) fill 348: +33 D19 D56 D93 D130\n",
      "\n  5..11 not of this recording (7 sectors)\n",
      "\nnewest: sector 3, sequence 3, fill 348; a reader starts at 2\n",
  };
  for (const char* line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << text;

  ASSERT_TRUE(DamageSector(image, report.layout, kFirst, error));
  text = Dump(image, ok);
  EXPECT_NE(text.find("\n  2 seq 2 checksum failure\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nnewest: not found (first data sector 2 does not belong"),
            std::string::npos)
      << text;

  image.Sector(1)[kMasterSignatureOffset] = 'X';
  EXPECT_NE(Dump(image, ok).find("not prepared"), std::string::npos);
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace qb::cardsim
