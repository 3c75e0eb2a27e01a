#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/job_cleanup.h"
#include "base/job_status.h"
#include "format/comment_sector.h"
#include "format/option_text.h"
#include "format/record_crc.h"
#include "jobs/card_reader.h"
#include "jobs/console_prompt.h"
#include "jobs/focus_search.h"
#include "support/card_image.h"

namespace qb {
namespace {

using test::CardImage;
using test::CardJobTest;
using test::CardRecord;
using test::RecordArea;
using test::RecordPacker;
using test::SectorBytes;
using test::Trace;
using Texts = std::vector<std::string>;

std::string Pattern(size_t length, int seed) {
  std::string bytes;
  for (size_t i = 0; i < length; ++i) bytes += static_cast<char>((i * 7 + seed * 31) & 0xFF);
  return bytes;
}

std::vector<std::string> LogTexts(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);) texts.push_back(line.substr(20));
  return texts;
}

class ReadCardTest : public CardJobTest {
 protected:
  // A card whose data sectors hold `packer`'s areas from F on, numbered from F.
  void WriteRun(const RecordPacker& packer) {
    uint32_t first = image_.Master().firstData;
    WriteAreas(packer, 0, packer.areas().size(), first, first);
  }

  // Rewrites part of a sector of the recording with a new checksum.
  void Patch(uint32_t n, size_t offset, const std::string& bytes) {
    SectorBytes sector = image_.Read(n);
    std::memcpy(sector.data() + offset, bytes.data(), bytes.size());
    SealSector(sector.data(), ReadSectorHeader(sector.data()).master,
               ReadSectorHeader(sector.data()).sequence);
    image_.Write(n, sector);
  }

  std::string LastError() const { return ErrorList().empty() ? "" : ErrorList().back(); }
};

TEST_F(ReadCardTest, FreshCardHoldsOnlyTheInitRecord) {
  MakeCard(64);
  EXPECT_TRUE(IsEmpty());
  host_.statuses.clear();
  std::string log = dir_.File("read.log");
  ASSERT_TRUE(Read({"logfile=" + log})) << JoinErrors(true);
  EXPECT_NE(host_.out.find("READCARD V0.20"), std::string::npos);

  const CardReadState& state = ReadState();
  EXPECT_EQ(state.start, 2u);
  EXPECT_EQ(state.f0, 2u);
  EXPECT_EQ(state.f1, 3u);
  EXPECT_EQ(state.select, 0u);
  EXPECT_EQ(state.fill, 4);

  std::string bytes = dir_.Read("out.qbd");
  EXPECT_EQ(bytes.substr(0, 10), std::string("\0\0\0\0\x64\xE6\0\0\0\0", 10));
  EXPECT_EQ(bytes.substr(bytes.size() - 10), std::string("\x04\0\0\0\x25\x16\0\0\xFF\0", 10));
  auto records = test::ParseRecordFile(bytes);
  ASSERT_EQ(records.size(), 5u);
  const uint16_t kinds[] = {0, 1, 2, 4, 0xFF};
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].number, i);
    EXPECT_EQ(records[i].kind, kinds[i]);
  }
  EXPECT_EQ(records[2].data, "");
  EXPECT_EQ(records[3].data, "\x01");

  // The settings, then what the read found out.
  const std::string& text = records[1].data;
  ReadFacts facts;
  facts.firstSector = facts.startSector = facts.newestSector = 2;
  facts.lastSector = 63;
  EXPECT_EQ(text, BuildOptionText(image_.Master(), state.readTime) + ReadFactsText(facts));
  EXPECT_EQ(text.rfind("# option file created by READCARD\n# read date: ", 0), 0u);
  EXPECT_NE(text.find("\n\ncardsize=64\nbaudrate=9600\nparameter=8N1\nprotocol=0x3685E294\n"
                      "timeout=1000\nmemoryfull=stop_logger\nrtscontrol=recording\n\n"),
            std::string::npos);

  // Status texts and progress as the walk goes.
  Texts statuses;
  for (unsigned step = 0x04000000; step != 0; step /= 2) {
    char search[32];
    std::snprintf(search, sizeof search, "search %08X", step);
    statuses.push_back(search);
  }
  statuses.push_back("search 00000000");
  unsigned long written = 10 + (10 + text.size()) + 10 + 11;
  statuses.insert(statuses.end(),
                  {"read focus 0", "read focus 1", "read start", "option record", "comment record",
                   "record #00000004 (" + std::to_string(written) + " bytes)"});
  EXPECT_EQ(host_.statuses, statuses);
  EXPECT_EQ(host_.range_high, 512);
  EXPECT_EQ(host_.positions.back(), 512);

  EXPECT_EQ(LogTexts(log),
            (Texts{"Open logfile", "READCARD V0.20", "Open card driver " + image_.path(), "Start 2",
                   "focus 2/3@4, select=0",
                   "5 records (" + std::to_string(written) + " bytes total) written to " + Out(),
                   "Close logfile"}));
}

TEST_F(ReadCardTest, JoinsRecordsThatGoOnInTheNextSector) {
  MakeCard(32);
  // "(init)", a record of 392 bytes at offset 4, and one of 300 bytes at
  // offset 400 that puts 99 bytes into this sector and 201 into the next.
  std::string filler = Pattern(392, 1);
  std::string long_record = Pattern(300, 2);
  RecordArea first;
  first.fill(0xFF);
  Put16(&first[0], 1);
  first[2] = kKindControl;
  first[3] = kControlInit;
  Put16(&first[4], 392);
  first[6] = kKindData;
  std::memcpy(&first[7], filler.data(), 392);
  Put16(&first[400], 300);
  first[402] = kKindData;
  std::memcpy(&first[403], long_record.data(), 99);
  RecordArea second;
  second.fill(0xFF);
  Put16(&second[0], 201);
  second[2] = kKindContinuation;
  std::memcpy(&second[3], long_record.data() + 99, 201);

  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  packer.Add(kKindData, filler);
  packer.Add(kKindData, long_record);
  ASSERT_EQ(packer.areas().size(), 2u);
  EXPECT_EQ(packer.areas()[0], first);
  EXPECT_EQ(packer.areas()[1], second);

  // More records of every size that matters, across several sectors.
  for (size_t length : {0, 1, 2, 495, 496, 497, 498, 499, 500, 3, 250, 251}) {
    packer.Add(kKindData, Pattern(length, static_cast<int>(length)));
    packer.Add(kKindControl, "\x02");
  }
  WriteRun(packer);
  EXPECT_FALSE(IsEmpty());
  ASSERT_TRUE(Read()) << JoinErrors(true);
  EXPECT_EQ(CardRecords(OutRecords()), packer.records());
  EXPECT_EQ(ReadState().f0, 2u + packer.areas().size() - 1);
  EXPECT_EQ(ReadState().start, 2u);
}

TEST_F(ReadCardTest, RecordLengthIsLimited) {
  for (size_t length : {500, 501}) {
    SCOPED_TRACE(length);
    MakeCard(16);
    RecordPacker packer;
    packer.Add(kKindControl, "\x01");
    packer.Add(kKindData, Pattern(length, 3));
    WriteRun(packer);
    EXPECT_EQ(Read(), length == 500);
    if (length == 500) {
      EXPECT_EQ(CardRecords(OutRecords()), packer.records());
    } else {
      EXPECT_EQ(LastError(), "Illegal record length");
    }
  }
}

// Pieces that do not fit the record they continue: a stray continuation
// adds nothing, and a chain of pieces claiming more and more never passes the
// record's length (or the buffer behind it).
TEST_F(ReadCardTest, ContinuationPiecesNeverPassTheirRecord) {
  MakeCard(200);
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  packer.Add(kKindData, "abc");
  packer.Add(kKindContinuation, "xyz");
  packer.Add(kKindData, "def");
  packer.Add(kKindData, std::string(500, '\x11'));
  ASSERT_EQ(packer.areas().size(), 2u);
  size_t rest = Get16(&packer.areas()[1][0]);
  WriteAreas(packer, 0, 1, 2, 2);
  // The rest of the 500-byte record: every sector claims 500 more bytes, for
  // far more than 64 KiB, until a last piece of one byte.
  RecordArea area;
  area.fill(0xAA);
  Put16(&area[0], 500);
  area[2] = kKindContinuation;
  uint32_t n = 3;
  for (; n < 190; ++n) image_.WriteData(n, n, area);
  area.fill(0xFF);
  Put16(&area[0], 1);
  area[2] = kKindContinuation;
  area[3] = 0xAA;
  image_.WriteData(n, n, area);

  ASSERT_TRUE(Read()) << JoinErrors(true);
  std::vector<CardRecord> records = CardRecords(OutRecords());
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].data, "abc");
  EXPECT_EQ(records[2].data, "def");
  EXPECT_EQ(records[3].data, std::string(500 - rest, '\x11') + std::string(rest, '\xAA'));
}

// A host that notes how many sectors had been read when a status text showed.
class MarkingHost : public test::RecordingHost {
 public:
  void ShowStatus(const std::string& text) override {
    RecordingHost::ShowStatus(text);
    marks[text] = Trace().reads.size();
  }
  std::map<std::string, size_t> marks;
};

TEST_F(ReadCardTest, WrappedRingIsReadFromItsOldestSector) {
  // Ten data sectors (2 to 11). The device filled them once (areas 0-9) and
  // has gone round into sectors 2-4 again (areas 10-12).
  image_.Create(12);
  ASSERT_TRUE(Init({"memoryfull=overwrite_old"}));
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  for (int i = 0; packer.areas().size() < 13; ++i)
    packer.Add(i % 5 == 4 ? kKindControl : kKindData, Pattern(300 + i % 3, i));
  ASSERT_EQ(packer.areas().size(), 13u);
  WriteAreas(packer, 0, 10, 2, 2);
  WriteAreas(packer, 10, 13, 2, 12);

  // Sector 5 (area 3) is the one behind the newest; the walk starts at 6, and
  // a record that began in area 3 has lost its start.
  std::vector<CardRecord> expected;
  bool cut = false;
  for (size_t i = 0; i < packer.records().size(); ++i) {
    if (packer.spans()[i].first >= 4) expected.push_back(packer.records()[i]);
    cut = cut || (packer.spans()[i].first == 3 && packer.spans()[i].last == 4);
  }
  ASSERT_TRUE(cut) << "no record crosses into the first sector read";

  std::string before = image_.Bytes();
  MarkingHost host;
  ScopedJobHost scoped(&host);
  ASSERT_TRUE(Read()) << JoinErrors(true);
  EXPECT_EQ(ReadState().f0, 4u);
  EXPECT_EQ(ReadState().f1, 5u);
  EXPECT_EQ(ReadState().start, 6u);
  EXPECT_EQ(CardRecords(OutRecords()), expected);
  EXPECT_EQ(image_.Bytes(), before);
  // After the comment sector, each sector from the oldest round to the newest
  // is read once, in order.
  std::vector<uint32_t> walk(Trace().reads.begin() + host.marks["comment record"],
                             Trace().reads.end());
  EXPECT_EQ(walk, (std::vector<uint32_t>{2, 6, 7, 8, 9, 10, 11, 2, 3, 4}));
}

TEST_F(ReadCardTest, AlternativeCopyOfTheNewestSector) {
  // Sectors 2-4 hold a run; sector 5 carries sector 4's number with bit 31:
  // it is taken in place of 4 when it holds at least as much.
  RecordPacker base;
  base.Add(kKindControl, "\x01");
  for (int i = 0; i < 4; ++i) base.Add(kKindData, Pattern(330, i));
  base.Add(kKindData, "last in the run");
  ASSERT_EQ(base.areas().size(), 3u);
  ASSERT_EQ(base.spans().back().first, 2u);

  RecordPacker more = base;
  more.Add(kKindData, "one more");
  more.Add(kKindControl, "\x02");
  RecordPacker less;
  for (size_t i = 0; i + 1 < base.records().size(); ++i)
    less.Add(base.records()[i].kind, base.records()[i].data);
  ASSERT_EQ(more.areas().size(), 3u);
  ASSERT_EQ(less.areas().size(), 3u);

  struct Case {
    const RecordPacker* copy;
    unsigned select;
    const RecordPacker* expected;
  };
  for (Case c : {Case{&more, 1, &more}, Case{&less, 0, &base}}) {
    SCOPED_TRACE(c.select);
    MakeCard(16);
    WriteAreas(base, 0, 3, 2, 2);
    image_.WriteData(5, 4 | kAlternateSequenceBit, c.copy->areas()[2]);
    ASSERT_TRUE(Read()) << JoinErrors(true);
    EXPECT_EQ(ReadState().f0, 4u);
    EXPECT_EQ(ReadState().f1, 5u);
    EXPECT_EQ(ReadState().select, c.select);
    EXPECT_EQ(CardRecords(OutRecords()), c.expected->records());
  }
}

TEST_F(ReadCardTest, FullCard) {
  // Every data sector written once, in order.
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  while (packer.areas().size() < 6)
    packer.Add(kKindData, Pattern(280, static_cast<int>(packer.records().size())));
  ASSERT_EQ(packer.areas().size(), 6u);

  // Linear memory has no sector after the last: nothing to read up to.
  image_.Create(8);
  ASSERT_TRUE(Init());
  WriteAreas(packer, 0, 6, 2, 2);
  EXPECT_FALSE(Read());
  EXPECT_EQ(LastError(), "Unexpected end of focus search");

  // A ring goes round: the sector after the newest (2) is taken as overwritten
  // and the walk starts behind it.
  image_.Create(8);
  ASSERT_TRUE(Init({"memoryfull=overwrite_old"}));
  WriteAreas(packer, 0, 6, 2, 2);
  ASSERT_TRUE(Read()) << JoinErrors(true);
  EXPECT_EQ(ReadState().f0, 7u);
  EXPECT_EQ(ReadState().f1, 2u);
  EXPECT_EQ(ReadState().start, 3u);
  std::vector<CardRecord> expected;
  for (size_t i = 0; i < packer.records().size(); ++i)
    if (packer.spans()[i].first >= 1) expected.push_back(packer.records()[i]);
  EXPECT_EQ(CardRecords(OutRecords()), expected);
}

TEST_F(ReadCardTest, DamagedCommentSectorFailsTheJob) {
  MakeCard(16, {"comment=" + dir_.Write("c.txt", "balance 7")});
  SectorBytes sector = image_.Read(2);
  sector[100] ^= 0x01;
  image_.Write(2, sector);
  EXPECT_FALSE(Read());
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0], "ERROR!\nChecksum failure at sector 2\nReading comment sector\n");
  CardInfo info;
  EXPECT_FALSE(Info(info));
}

TEST_F(ReadCardTest, BrokenCommentChains) {
  enum Damage { kClaimsTooMuch, kWrongKind, kRunsIntoData, kForeignPiece };
  struct Case {
    Damage damage;
    size_t length;
    const char* error;
  };
  const Case cases[] = {
      {kClaimsTooMuch, 65535, "Unexpected end of comment"},
      {kWrongKind, 600, "Unexpected end of comment"},
      {kRunsIntoData, 600, "Unexpected end of comment"},
      {kForeignPiece, 600, "Reading comment sector"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    MakeCard(140, {"comment=" + dir_.Write("c.txt", Pattern(c.length, 5))});
    switch (c.damage) {
      case kClaimsTooMuch: {
        // Every piece claims the longest comment, and one more piece ends the
        // chain: together they would pass 65535.
        for (uint32_t n = 2; n < 134; ++n) Patch(n, kCommentRemainingOffset, "\xFF\xFF");
        SectorBytes last = image_.Read(133);
        Put16(last.data() + kCommentRemainingOffset, 10);
        SealSector(last.data(), image_.Master().master, 134);
        image_.Write(134, last);
        break;
      }
      case kWrongKind:
        Patch(3, kCommentKindOffset, "\x03");
        break;
      case kRunsIntoData:
        // The last piece claims more to come: the next sector is the first data sector.
        Patch(3, kCommentRemainingOffset, "\x58\x02");
        break;
      case kForeignPiece: {
        SectorBytes sector = image_.Read(3);
        SealSector(sector.data(), image_.Master().master + 1, 3);
        image_.Write(3, sector);
        break;
      }
    }
    EXPECT_FALSE(Read());
    EXPECT_EQ(LastError(), c.error);
    CardInfo info;
    EXPECT_FALSE(Info(info));
  }
}

TEST_F(ReadCardTest, AsciiListing) {
  MakeCard(16);
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  packer.Add(kKindData, std::string("AB\rC\x7F\x80\xFF\0z\x1F", 10));
  packer.Add(kKindControl, "\x02");
  packer.Add(kKindControl, "\x09");
  packer.Add(kKindMaster, "xy");
  packer.Add(kKindData, "");
  packer.Add(kKindControl, "");
  WriteRun(packer);

  auto line = [](unsigned number, const std::string& body, const CardRecord& record) {
    char head[16];
    char tail[16];
    std::snprintf(head, sizeof head, "#%08u ", number);
    std::snprintf(tail, sizeof tail, " (%04X)\n",
                  RecordFileCrc(record.kind, reinterpret_cast<const uint8_t*>(record.data.data()),
                                static_cast<uint16_t>(record.data.size())));
    return head + body + tail;
  };
  const auto& r = packer.records();
  ASSERT_TRUE(Read({"format=ascii"})) << JoinErrors(true);
  EXPECT_EQ(dir_.Read("out.qbd"),
            line(0, "CTRL (init)", r[0]) + line(1, "DATA AB.C.\x80\xFF.z.", r[1]) +
                line(2, "CTRL (start)", r[2]) + line(3, "CTRL (?)", r[3]) + line(4, "????", r[4]) +
                line(5, "DATA ", r[5]) + line(6, "CTRL (?)", r[6]));

  ASSERT_TRUE(Read({"format=ascii", "filter=init_and_data"}));
  EXPECT_EQ(dir_.Read("out.qbd"), line(0, "DATA AB.C.\x80\xFF.z.", r[1]) + line(1, "DATA ", r[5]));
}

TEST_F(ReadCardTest, Filters) {
  MakeCard(16);
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  packer.Add(kKindData, "first");
  packer.Add(kKindControl, "\x02");
  packer.Add(kKindData, "second");
  WriteRun(packer);
  struct Case {
    const char* filter;
    std::vector<uint16_t> kinds;
  };
  const Case cases[] = {
      {"all", {0, 1, 2, 4, 3, 4, 3, 0xFF}},
      {"init_and_data", {0, 1, 2, 3, 3, 0xFF}},
      {"init_only", {0, 1, 2, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    ASSERT_TRUE(Read({std::string("filter=") + c.filter})) << JoinErrors(true);
    auto records = OutRecords();
    std::vector<uint16_t> kinds;
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].number, i);
      kinds.push_back(records[i].kind);
    }
    EXPECT_EQ(kinds, c.kinds);
  }
}

TEST_F(ReadCardTest, OverwriteQuestion) {
  MakeCard(16);
  struct Case {
    std::string prompt;
    std::vector<int> keys;
    bool ok;
    std::string answer;  // what the console shows after the question
  };
  const Case cases[] = {
      {"prompt=1", {'x', 'n'}, false, "N\n"},
      {"prompt=1", {'q', 'Y'}, true, "Y\n"},
      {"prompt=1", {kKeyNoConsole}, false, "\n"},
      {"prompt=2", {}, true, ""},  // only 1 asks
  };
  const std::string question = "WARNING: file " + Out() + " exists. Overwrite (y/n)? ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys.size());
    dir_.Write("out.qbd", "keep me");
    host_.out.clear();
    host_.keys.assign(c.keys.begin(), c.keys.end());
    EXPECT_EQ(Read({c.prompt}), c.ok);
    EXPECT_TRUE(host_.keys.empty());
    if (c.answer.empty()) {
      EXPECT_EQ(host_.out.find("WARNING"), std::string::npos);
    } else {
      EXPECT_NE(host_.out.find(question + c.answer), std::string::npos) << host_.out;
    }
    if (c.ok) {
      EXPECT_EQ(OutRecords().size(), 5u);
    } else {
      EXPECT_EQ(ErrorList(), Texts{"User abort"});
      EXPECT_EQ(dir_.Read("out.qbd"), "keep me");
    }
  }
}

TEST_F(ReadCardTest, EscapeBreaksTheWalk) {
  MakeCard(16);
  RecordPacker packer;
  packer.Add(kKindControl, "\x01");
  for (int i = 0; i < 4; ++i) packer.Add(kKindData, Pattern(20, i));
  WriteRun(packer);
  // The key is looked at from the focus search on (every few milliseconds);
  // the step it breaks adds its own failure after it.
  host_.keys = {kKeyEscape};
  dir_.Write("out.qbd", "an earlier read");
  EXPECT_FALSE(Read());
  EXPECT_EQ(ErrorList().front(), "User break");
  // The earlier file of that name stays as it was, and nothing unfinished is
  // left beside it.
  EXPECT_EQ(dir_.Read("out.qbd"), "an earlier read");
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".out.qbd"), std::string::npos);
}

// A key the user pressed while the card is searched ends the search before
// its next read, and the break holds for the rest of the job: nothing more
// is read, however slow the card.
TEST_F(ReadCardTest, EscapeEndsTheFocusSearchBeforeItsNextRead) {
  image_.Create(5000);
  ASSERT_TRUE(Init());
  RecordArea area;
  area.fill(0xFF);
  Put16(&area[0], 1);
  area[2] = kKindData;
  for (uint32_t i = 1; i < 4097; ++i) image_.WriteData(2 + i, 2 + i, area);
  ClearErrors();
  ClearCleanups();
  ASSERT_TRUE(OpenSectorDevice(image_.path(), 0, 0));
  ASSERT_TRUE(ReadMasterSector());
  Trace().reads.clear();
  host_.keys = {kKeyEscape};
  EXPECT_FALSE(FocusSearch());
  EXPECT_EQ(Trace().reads.size(), 0u);
  ASSERT_FALSE(ErrorList().empty());
  EXPECT_EQ(ErrorList().front(), "User break");
  std::vector<uint8_t> sector(kSectorSize);
  EXPECT_FALSE(ReadValidSector(sector.data(), 3));
  EXPECT_EQ(Trace().reads.size(), 0u);
  RunCleanups();
}

TEST_F(ReadCardTest, FocusSearchCostsAtMost32Reads) {
  struct Case {
    uint64_t sectors;
    uint32_t run;      // sectors written from F on
    uint32_t wrapped;  // of those, how many were written again in a second round
    bool ring;
  };
  const Case cases[] = {
      {16, 1, 0, false},          {16, 13, 0, false},       {5000, 4097, 0, false},
      {1u << 22, 3000, 0, false}, {3000, 2998, 1234, true}, {20000, 19998, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sectors << "/" << c.run << "/" << c.wrapped);
    image_.Create(c.sectors);
    ASSERT_TRUE(Init(c.ring ? Texts{"memoryfull=overwrite_old"} : Texts{}));
    const uint32_t first = 2;
    RecordArea area;
    area.fill(0xFF);
    Put16(&area[0], 1);
    area[2] = kKindData;
    for (uint32_t i = 1; i < c.run; ++i) image_.WriteData(first + i, first + i, area);
    for (uint32_t i = 0; i < c.wrapped; ++i)
      image_.WriteData(first + i, static_cast<uint32_t>(c.sectors) + i, area);

    ClearErrors();
    ClearCleanups();
    ASSERT_TRUE(OpenSectorDevice(image_.path(), 0, 0));
    ASSERT_TRUE(ReadMasterSector());
    Trace().reads.clear();
    ASSERT_TRUE(FocusSearch()) << JoinErrors(true);
    RunCleanups();
    EXPECT_LE(Trace().reads.size(), 32u);
    uint32_t newest = c.wrapped > 0 ? first + c.wrapped - 1 : first + c.run - 1;
    EXPECT_EQ(ReadState().f0, newest);
  }
}

TEST_F(ReadCardTest, CardInfoAndProtocolValue) {
  std::string comment("Lab 7 balance\0tail", 18);
  MakeCard(16,
           {"protocol=1", "comment=" + dir_.Write("c.txt", comment), "parameter=8o2",
            "memoryfull=overwrite_old", "rtscontrol=outofmemory", "baudrate=4800", "timeout=77"});
  CardInfo info;
  info.comment[0] = 'x';
  ASSERT_TRUE(Info(info)) << JoinErrors(true);
  EXPECT_EQ(info.master, image_.Master().master);
  EXPECT_EQ(info.sectors, 16u);
  EXPECT_EQ(info.baudrate, 4800u);
  EXPECT_STREQ(info.parameter, "8O2");
  EXPECT_EQ(info.protocol, 0x1A0A5085u);
  EXPECT_EQ(info.timeout, 77);
  EXPECT_STREQ(info.memoryfull, "overwrite_old");
  EXPECT_STREQ(info.rtscontrol, "outofmemory");
  EXPECT_STREQ(info.comment, "Lab 7 balance");

  ASSERT_TRUE(Read());
  EXPECT_NE(OutRecords()[1].data.find("\nprotocol=0x1A0A5085\n"), std::string::npos);
  EXPECT_EQ(OutRecords()[2].data, comment);

  MakeCard(16, {"comment=" + dir_.Write("c.txt", std::string(100, 'c'))});
  ASSERT_TRUE(Info(info));
  EXPECT_EQ(std::string(info.comment), std::string(79, 'c'));
}

TEST_F(ReadCardTest, OptionFileServesInitcardAgain) {
  std::string comment = "identification 42";
  MakeCard(40, {"baudrate=19200", "parameter=7E1", "protocol=1", "timeout=250",
                "memoryfull=overwrite_old", "rtscontrol=outofmemory",
                "comment=" + dir_.Write("c.txt", comment)});
  std::string log = dir_.File("read.log");
  ASSERT_TRUE(Read({"optionoutput=" + dir_.File("opt.txt"), "commentoutput=" + dir_.File("c.bin"),
                    "logfile=" + log}))
      << JoinErrors(true);
  MasterBlock original = image_.Master();
  // The record file's option text adds what the read found out.
  const std::string options = dir_.Read("opt.txt");
  EXPECT_EQ(OutRecords()[1].data.substr(0, options.size()), options);
  EXPECT_EQ(OutRecords()[1].data.find("# sectors read: ", options.size()), options.size());
  EXPECT_EQ(dir_.Read("c.bin"), comment);
  char master_line[80];
  std::snprintf(master_line, sizeof master_line, "Master record (0x%08lX) written to %s",
                static_cast<unsigned long>(original.master), dir_.File("opt.txt").c_str());
  Texts log_texts = LogTexts(log);
  EXPECT_NE(std::find(log_texts.begin(), log_texts.end(), master_line), log_texts.end());
  EXPECT_NE(std::find(log_texts.begin(), log_texts.end(),
                      "Comment record (17 bytes) written to " + dir_.File("c.bin")),
            log_texts.end());

  ResetJobOptions();
  CardImage other(dir_.File("other.img"));
  other.Create(40);
  JobArgs args = Args("INITCARD.EXE",
                      {"driver=" + other.path(), "prompt=0", "optionfile=" + dir_.File("opt.txt")});
  ASSERT_TRUE(RunJob(InitCardMain, args)) << JoinErrors(true);
  MasterBlock copy = other.Master();
  EXPECT_EQ(copy.sectors, original.sectors);
  EXPECT_EQ(copy.baudrate, original.baudrate);
  EXPECT_EQ(copy.parameterCode, original.parameterCode);
  EXPECT_EQ(copy.protocolCode, original.protocolCode);
  EXPECT_EQ(copy.timeout, original.timeout);
  EXPECT_EQ(copy.flags, original.flags);
}

// Master sectors that no INITCARD wrote fail cleanly or read what is there.
TEST_F(ReadCardTest, AbsurdMasterSectors) {
  struct Case {
    const char* name;
    uint32_t first;
    uint32_t sectors;
    const char* error;  // nullptr: the card reads
  };
  const char* invalid = "Invalid format (master sector)";
  const Case cases[] = {
      {"F=0", 0, 16, invalid},
      {"F=1", 1, 16, invalid},
      {"F=S", 16, 16, invalid},
      {"F>S", 20, 16, invalid},
      {"S=0", 2, 0, invalid},
      {"S beyond the card", 2, 0xFFFFFFFFu, nullptr},
      {"one data sector", 2, 3, "Unexpected end of focus search"},
      {"F far beyond the card", 0xFFFFFFF0u, 0xFFFFFFFFu, "Focus search at sector 4294967294"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeCard(16);
    SectorBytes master = image_.Read(1);
    Put32(master.data() + kMasterFirstDataOffset, c.first);
    Put32(master.data() + kMasterSectorsOffset, c.sectors);
    image_.Write(1, master);
    EXPECT_EQ(Read(), c.error == nullptr);
    if (c.error != nullptr) {
      EXPECT_EQ(LastError(), c.error);
    } else {
      EXPECT_EQ(OutRecords().size(), 5u);
    }
  }

  MakeCard(16);
  SectorBytes reserved = image_.Read(0);
  reserved[3] = 0;
  image_.Write(0, reserved);
  EXPECT_FALSE(Read());
  EXPECT_EQ(LastError(), "Invalid format (reserved sector)");
  EXPECT_TRUE(IsEmpty());  // a card that cannot be read counts as empty

  MakeCard(16);
  SectorBytes master = image_.Read(1);
  master[kMasterSignatureOffset + 3] ^= 0x20;
  image_.Write(1, master);
  EXPECT_FALSE(Read());
  EXPECT_EQ(LastError(), invalid);
}

// Random cards: sectors that pass every check but hold random records,
// random sequence numbers and random master fields. Nothing may crash, read
// out of bounds or hang; a failure always says why.
TEST_F(ReadCardTest, RandomCardsFailCleanly) {
  std::mt19937 random(20240611);
  auto pick = [&](uint32_t below) { return static_cast<uint32_t>(random() % below); };
  const uint32_t kSectors = 24;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    image_.Create(kSectors);
    ASSERT_TRUE(Init({pick(2) ? "memoryfull=overwrite_old" : "memoryfull=stop_logger"}));
    MasterBlock block = image_.Master();
    for (uint32_t n = 2; n < kSectors; ++n) {
      SectorBytes sector;
      for (uint8_t& byte : sector) byte = static_cast<uint8_t>(random());
      uint32_t kind = pick(4);
      if (kind == 3) continue;  // leave what INITCARD wrote or the old content
      if (kind >= 1) {
        // Short records with lengths and kinds near the interesting values.
        size_t offset = kRecordAreaOffset;
        while (offset + 3 <= kSectorSize && pick(8) != 0) {
          uint16_t length = static_cast<uint16_t>(pick(3) == 0 ? pick(65536) : pick(520));
          Put16(sector.data() + offset, length);
          const uint8_t kinds[] = {3, 4, 0x80, 0xFF, 2, 0};
          sector[offset + 2] = kinds[pick(6)];
          offset += (length & 0xFFFE) + 4;
        }
        uint32_t sequence = pick(4) == 0 ? static_cast<uint32_t>(random()) : n + pick(3) * kSectors;
        if (pick(5) == 0) sequence |= kAlternateSequenceBit;
        SealSector(sector.data(), block.master, sequence);
      }
      image_.Write(n, sector);
    }
    if (pick(4) == 0) {
      SectorBytes master = image_.Read(1);
      Put32(master.data() + kMasterFirstDataOffset, pick(30));
      Put32(master.data() + kMasterSectorsOffset,
            pick(3) == 0 ? static_cast<uint32_t>(random()) : pick(40));
      image_.Write(1, master);
    }
    const char* format = pick(2) ? "format=ascii" : "format=binary";
    if (!Read({format})) {
      EXPECT_FALSE(ErrorList().empty());
    }
    IsEmpty();
    CardInfo info;
    Info(info);
  }
}

}  // namespace
}  // namespace qb
