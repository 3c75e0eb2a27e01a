#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/job_status.h"
#include "format/comment_sector.h"
#include "format/setting_codes.h"
#include "jobs/console_prompt.h"
#include "support/card_image.h"

namespace qb {
namespace {

using test::CardJobTest;
using test::SectorBytes;
using test::Trace;

class InitCardTest : public CardJobTest {
 protected:
  std::string Comment(size_t length) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) bytes += static_cast<char>('A' + i % 26);
    return bytes;
  }
};

TEST_F(InitCardTest, FreshCardLayout) {
  image_.Create(64, 0xAB);
  uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  ASSERT_TRUE(Init()) << JoinErrors(true);
  uint32_t after = static_cast<uint32_t>(std::time(nullptr));
  EXPECT_NE(host_.out.find("INITCARD V0.20"), std::string::npos);

  SectorBytes reserved = image_.Read(0);
  for (uint8_t byte : reserved) ASSERT_EQ(byte, 0xFF);

  SectorBytes master = image_.Read(1);
  EXPECT_EQ(SectorWordSum(master.data()), 0);
  SectorHeader header = ReadSectorHeader(master.data());
  EXPECT_GE(header.master, before);
  EXPECT_LE(header.master, after);
  EXPECT_EQ(header.sequence, 1u);
  MasterBlock block = image_.Master();
  EXPECT_EQ(block.firstData, 2u);
  EXPECT_EQ(block.sectors, 64u);
  EXPECT_EQ(block.flags, 0);
  EXPECT_EQ(block.baudrate, 9600u);
  EXPECT_EQ(block.parameterCode, 0x0001);
  EXPECT_EQ(block.protocolCode, 0);
  EXPECT_EQ(block.timeout, 1000);

  // The first data sector: one "(init)" record, free space behind it.
  SectorBytes first = image_.Read(2);
  EXPECT_EQ(SectorWordSum(first.data()), 0);
  EXPECT_EQ(ReadSectorHeader(first.data()).master, header.master);
  EXPECT_EQ(ReadSectorHeader(first.data()).sequence, 2u);
  const uint8_t init[] = {0x01, 0x00, 0x04, 0x01};
  EXPECT_EQ(std::memcmp(first.data() + kRecordAreaOffset, init, 4), 0);
  EXPECT_EQ(SectorFillLevel(first.data()), 4u);
  for (size_t i = kRecordAreaOffset + 4; i < kSectorSize; ++i) ASSERT_EQ(first[i], 0xFF);

  // Nothing behind it is touched.
  for (uint32_t n = 3; n < 64; ++n) ASSERT_EQ(image_.Read(n)[100], 0xAB) << n;
  EXPECT_EQ(Trace().writes, (std::vector<uint32_t>{0, 1, 2, 1}));
}

TEST_F(InitCardTest, CommentSectors) {
  struct Case {
    size_t length;
    uint32_t firstData;
  };
  for (Case c : {Case{0, 2}, Case{1, 3}, Case{499, 3}, Case{500, 4}, Case{1497, 5}}) {
    SCOPED_TRACE(c.length);
    std::string comment = Comment(c.length);
    std::string path = dir_.Write("comment.txt", comment);
    MakeCard(64, {"comment=" + path});
    MasterBlock block = image_.Master();
    ASSERT_EQ(block.firstData, c.firstData);
    std::string collected;
    for (uint32_t n = 2; n < c.firstData; ++n) {
      SectorBytes sector = image_.Read(n);
      EXPECT_EQ(SectorWordSum(sector.data()), 0);
      EXPECT_EQ(ReadSectorHeader(sector.data()).master, block.master);
      EXPECT_EQ(ReadSectorHeader(sector.data()).sequence, n);
      CommentPiece piece = ReadCommentPiece(sector.data());
      EXPECT_EQ(piece.remaining, c.length - collected.size());
      EXPECT_EQ(piece.kind, n == 2 ? kKindComment : kKindContinuation);
      collected.append(reinterpret_cast<const char*>(piece.bytes), piece.count);
      for (size_t i = kCommentBytesOffset + piece.count; i < kSectorSize; ++i)
        ASSERT_EQ(sector[i], 0xFF);
    }
    EXPECT_EQ(collected, comment);
    EXPECT_EQ(SectorFillLevel(image_.Read(c.firstData).data()), 4u);
  }
}

TEST_F(InitCardTest, CardNeedsFourSectorsFromTheFirstDataSector) {
  struct Case {
    size_t comment;
    uint64_t sectors;
    bool ok;
  };
  for (Case c : {Case{0, 6, true}, Case{0, 5, false}, Case{1497, 9, true}, Case{1497, 8, false}}) {
    SCOPED_TRACE(testing::Message() << c.comment << " bytes, " << c.sectors << " sectors");
    std::vector<std::string> options;
    if (c.comment > 0) options.push_back("comment=" + dir_.Write("c.txt", Comment(c.comment)));
    image_.Create(c.sectors, 0x5A);
    const std::string before = image_.Bytes();
    EXPECT_EQ(Init(options), c.ok);
    if (!c.ok) {
      EXPECT_EQ(ErrorList(), std::vector<std::string>{"Card is to small"});
      EXPECT_EQ(host_.boxes.back(), "ERROR!\nCard is to small\n");
      EXPECT_TRUE(image_.Bytes() == before) << "a card too small was changed";
    }
  }
}

// Settings are checked in order, before anything is written.
TEST_F(InitCardTest, SettingsOutOfRangeLeaveTheCardUntouched) {
  struct Case {
    std::vector<std::string> options;
    const char* error;  // nullptr: accepted
  };
  const char* baud = "\"baudrate\" must be between 600 and 500000";
  const char* timeout = "\"timeout\" must be between 10 and 10000";
  const char* parameter = "\"parameter\" must be one of 8N1,8E1,8O1,7E1,7O1,8N2,8E2,8O2,7E2 or 7O2";
  const char* protocol = "Illegal value for \"protocol\"";
  const Case cases[] = {
      {{"baudrate=600", "timeout=10"}, nullptr},
      {{"baudrate=500000", "timeout=10000"}, nullptr},
      {{"baudrate=599"}, baud},
      {{"baudrate=500001"}, baud},
      {{"timeout=9"}, timeout},
      {{"timeout=10001"}, timeout},
      {{"parameter=7N1"}, parameter},
      {{"protocol=0"}, protocol},
      {{"protocol=2"}, protocol},
      // The first failing check wins.
      {{"baudrate=1", "parameter=xyz", "protocol=0", "timeout=0"}, baud},
      {{"parameter=xyz", "protocol=0", "timeout=0"}, parameter},
      {{"protocol=0", "timeout=0"}, protocol},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.front());
    ResetJobOptions();
    image_.Create(16, 0x5A);
    std::string before = image_.Bytes();
    Trace() = {};
    EXPECT_EQ(Init(c.options), c.error == nullptr);
    if (c.error != nullptr) {
      EXPECT_EQ(ErrorList(), std::vector<std::string>{c.error});
      EXPECT_EQ(image_.Bytes(), before);
      EXPECT_TRUE(Trace().writes.empty());
    }
  }
  // Without a protocol option the default value 0 is not valid.
  ResetJobOptions();
  JobArgs args = Args("INITCARD.EXE", {"driver=" + image_.path(), "prompt=0"});
  EXPECT_FALSE(RunJob(InitCardMain, args));
  EXPECT_EQ(ErrorList(), std::vector<std::string>{protocol});
}

TEST_F(InitCardTest, StoresTheSettingCodes) {
  MakeCard(16, {"baudrate=19200", "parameter=7e2", "protocol=1", "timeout=250",
                "memoryfull=overwrite_old", "rtscontrol=outofmemory"});
  MasterBlock block = image_.Master();
  EXPECT_EQ(block.baudrate, 19200u);
  EXPECT_EQ(block.parameterCode, 0x002B);
  EXPECT_EQ(block.protocolCode, 1);
  EXPECT_EQ(block.timeout, 250);
  EXPECT_EQ(block.flags, 3);
  // The option image that INITCARD seals matches the card's master sector.
  SectorBytes master = image_.Read(1);
  EXPECT_EQ(std::memcmp(MasterImage(), master.data(), kSectorSize), 0);
}

TEST_F(InitCardTest, BootRecordLosesItsFirstPartition) {
  struct Case {
    uint32_t partition;
    bool cleared;
  };
  for (Case c : {Case{40, true}, Case{63, true}, Case{64, false}, Case{0xFFFFFFF0u, false}}) {
    SCOPED_TRACE(c.partition);
    image_.Create(64, 0x11);
    SectorBytes boot;
    boot.fill(0);
    boot[0] = 0xFA;
    boot[510] = 0x55;
    boot[511] = 0xAA;
    Put32(boot.data() + 454, c.partition);
    image_.Write(0, boot);
    Trace() = {};
    ASSERT_TRUE(Init()) << JoinErrors(true);
    EXPECT_EQ(image_.Bytes().size(), 64u * kSectorSize);
    if (c.cleared) {
      SectorBytes sector = image_.Read(c.partition);
      for (uint8_t byte : sector) ASSERT_EQ(byte, 0xFF);
      EXPECT_EQ(Trace().writes, (std::vector<uint32_t>{0, 1, c.partition, 2, 1}));
    } else {
      EXPECT_EQ(Trace().writes, (std::vector<uint32_t>{0, 1, 2, 1}));
    }
  }
}

TEST_F(InitCardTest, PromptWaitsForReturnOrEscape) {
  struct Case {
    std::vector<int> keys;
    bool ok;
  };
  const Case cases[] = {
      {{'x', ' ', 'y', kKeyReturn}, true},
      {{'n', 'x', kKeyEscape}, false},
      {{kKeyNoConsole}, false},
  };
  for (const Case& c : cases) {
    image_.Create(16, 0x33);
    std::string before = image_.Bytes();
    host_.out.clear();
    host_.keys.assign(c.keys.begin(), c.keys.end());
    EXPECT_EQ(Init({"prompt=1"}), c.ok);
    EXPECT_TRUE(host_.keys.empty());
    EXPECT_NE(host_.out.find("WARNING: All data on the PC Card will be overwritten!\n"
                             "Press ESC to cancel (INITCARD will be aborted)\n"
                             "Press RETURN to continue (data on card will be lost)\n"),
              std::string::npos);
    if (!c.ok) {
      EXPECT_EQ(ErrorList(), std::vector<std::string>{"User abort"});
      EXPECT_EQ(image_.Bytes(), before);
    }
  }
}

// A comment that cannot be used stops the job before its first write: the
// card stays byte for byte as it was. Nothing that is not a regular file is
// read, so a pipe without a writer cannot hold the job up.
TEST_F(InitCardTest, CommentFileProblemsLeaveTheCardUntouched) {
  const std::string folder = dir_.File("folder");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = dir_.File("missing.txt");
  const struct {
    std::string comment;
    uint64_t sectors;
    std::string error;
    std::string reason;  // the coded value's text
  } cases[] = {
      {missing, 200, "Comment file " + missing + " not found", "No such file or directory"},
      {folder, 200, "Comment file " + folder + " not found", "Is a directory"},
      {fifo, 200, "Comment file " + fifo + " not found", "Not a regular file"},
      {dir_.Write("big.txt", Comment(65536)), 200, "Comment file to large (max. 65535 bytes)", ""},
      // The longest comment needs 132 sectors, the card four more.
      {dir_.Write("max.txt", Comment(65535)), 135, "Card is to small", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comment);
    ClearErrors();
    image_.Create(c.sectors, 0x5A);
    const std::string before = image_.Bytes();
    Trace() = {};
    EXPECT_FALSE(Init({"comment=" + c.comment}));
    EXPECT_EQ(ErrorList(), std::vector<std::string>{c.error});
    if (!c.reason.empty()) {
      EXPECT_EQ(ErrorText(ErrorCode()), c.reason);
    }
    EXPECT_TRUE(Trace().writes.empty());
    EXPECT_TRUE(image_.Bytes() == before) << "the card was changed";
  }

  // The longest comment fills 132 sectors.
  image_.Create(138);
  ASSERT_TRUE(Init({"comment=" + dir_.File("max.txt")})) << JoinErrors(true);
  EXPECT_EQ(image_.Master().firstData, 134u);
}

// Every write INITCARD makes can fail; each reports where it stopped, and the
// master sector is never valid before the last write.
TEST_F(InitCardTest, EveryFailingWriteIsReported) {
  std::string comment = dir_.Write("c.txt", Comment(600));  // two comment sectors
  const std::vector<const char*> expected = {"Writing reserved sector",   "Writing reserved sector",
                                             "Writing comment sector",    "Writing comment sector",
                                             "Writing first data sector", "Writing master sector"};
  for (size_t call = 0; call < expected.size(); ++call) {
    SCOPED_TRACE(call);
    image_.Create(32, 0x00);
    Trace() = {};
    Trace().failWriteCall = static_cast<long>(call);
    EXPECT_FALSE(Init({"comment=" + comment}));
    EXPECT_EQ(ErrorList(), std::vector<std::string>{expected[call]});
    EXPECT_EQ(Trace().writes.size(), call + 1);
    MasterBlock block;
    EXPECT_FALSE(DecodeMasterBlock(image_.Read(1).data(), block));
  }
}

// Prepared again at once, a card still gets a new master number, so that
// the sectors of its last recording no longer count.
TEST_F(InitCardTest, PreparedTwiceInOneSecondGetsANewMasterNumber) {
  image_.Create(16);
  ASSERT_TRUE(Init()) << JoinErrors(true);
  const uint32_t first = image_.Master().master;
  ASSERT_TRUE(Init()) << JoinErrors(true);
  EXPECT_GT(image_.Master().master, first);
}

TEST_F(InitCardTest, LogsItsSteps) {
  image_.Create(16);
  std::string log = dir_.File("job.log");
  ASSERT_TRUE(Init({"logfile=" + log}));
  uint32_t master = image_.Master().master;
  std::ifstream in(log);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);) texts.push_back(line.substr(20));
  char number[40];
  std::snprintf(number, sizeof number, "Master number is 0x%08lX",
                static_cast<unsigned long>(master));
  EXPECT_EQ(texts, (std::vector<std::string>{"Open logfile", "INITCARD V0.20",
                                             "Open card driver " + image_.path(), number,
                                             "Close logfile"}));
}

TEST_F(InitCardTest, HelpDoesNothingElse) {
  image_.Create(16, 0x77);
  std::string before = image_.Bytes();
  EXPECT_TRUE(Init({"-h"}));
  EXPECT_NE(host_.out.find("OPTIONS:"), std::string::npos);
  EXPECT_EQ(image_.Bytes(), before);
}

}  // namespace
}  // namespace qb
