// Every sector of a recording spoiled in turn, in each way a card goes bad
// (checksum, a flipped bit of the master number, another master number, a
// record length no record has): READCARD must then either fail with a message
// or give exactly the records of the undamaged card, never a shorter or a
// different recording that it calls a success. Through the image file, the
// card driver and the serial drive.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cardsim/card_faults.h"
#include "cardsim/card_image.h"
#include "cardsim/card_writer.h"
#include "format/byte_order.h"
#include "format/record_kind.h"
#include "format/sector.h"
#include "support/card_servers.h"
#include "support/record_file_reader.h"
#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::FileRecord;
using test::ProgramResult;
using test::RunProgram;

// The records of a record file without the option text's read date, the
// only part that differs between two reads of one card.
std::vector<FileRecord> Records(const std::string& path) {
  std::vector<FileRecord> records;
  std::string why;
  if (!test::ParseRecordFile(test::SlurpFile(path), records, why)) return {};
  for (FileRecord& record : records) {
    size_t at = record.data.find("# read date:");
    if (at != std::string::npos) record.data.erase(at, record.data.find('\n', at) - at);
  }
  return records;
}

bool SameRecords(const std::vector<FileRecord>& a, const std::vector<FileRecord>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].number != b[i].number || a[i].kind != b[i].kind || a[i].data != b[i].data)
      return false;
  return true;
}

using Fault = bool (*)(cardsim::CardImage&, const cardsim::CardLayout&, uint32_t, std::string&);

struct FaultKind {
  const char* name;
  Fault put;
};

// One bit of the master number flipped, as a failing card does it: the
// sector's word sum fails too.
bool FlipMasterBit(cardsim::CardImage& image, const cardsim::CardLayout&, uint32_t sector,
                   std::string& error) {
  uint8_t bytes[kSectorSize];
  if (!image.Read(sector, bytes)) {
    error = image.error();
    return false;
  }
  bytes[2] ^= 0x10;
  return image.Write(sector, bytes, 1);
}

const FaultKind kFaults[] = {
    {"checksum", cardsim::DamageSector},
    {"flipped master bit", FlipMasterBit},
    {"foreign master", cardsim::ForeignMasterSector},
    {"bad length", cardsim::BadLengthSector},
};

struct Tally {
  int tried = 0;
  int loud = 0;
  int full = 0;
  std::vector<std::string> silent;
};

class DamageSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    kdv_dir_ = dir_.File("kdv");
    ASSERT_EQ(mkdir(kdv_dir_.c_str(), 0700), 0);
    env_.Set("DD_KDVDIR", kdv_dir_);
    // Short waits keep the serial drive's failing runs quick.
    env_.Set("DD_TSOHSTX", "100");
    env_.Set("DD_TCMDACK", "100");
    env_.Set("DD_TCMDRSP", "500");
    env_.Set("DD_TBYTBYT", "100");
    env_.Set("DD_COM", "1");
  }

  ProgramResult Run(const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(program, args, dir_.path(), dir_.path());
  }

  // A card of `sectors` sectors, prepared with a comment and holding the
  // demo series' first `printouts` printouts.
  void MakeCard(uint32_t sectors, const char* memory, int printouts) {
    image_ = dir_.File("card.img");
    ASSERT_EQ(Run("cardsim", {"blank", "--sectors", std::to_string(sectors), image_}).status, 0);
    ProgramResult result =
        Run("initcard", {"driver=" + image_, "prompt=0", "protocol=0x3685e294",
                         "memoryfull=" + std::string(memory),
                         "comment=" + dir_.Write("id.txt", "Balance 3, room 12")});
    ASSERT_EQ(result.status, 0) << result.err;
    result = Run("cardsim", {"record", "--card", image_, "--demo", std::to_string(printouts)});
    ASSERT_EQ(result.status, 0) << result.err;
    summary_ = result.out;
    ASSERT_EQ(Run("readcard", {"driver=" + image_, "prompt=0", "recordoutput=ref.qbd"}).status, 0);
    reference_ = Records(dir_.File("ref.qbd"));
    ASSERT_GT(reference_.size(), 20u);
    ASSERT_TRUE(card_.Open(image_, true)) << card_.error();
    std::string error;
    ASSERT_TRUE(cardsim::ReadCardLayout(card_, layout_, error)) << error;
  }

  // Spoils each written sector in turn with each fault, reads the card with
  // `driver` and restores the sector.
  Tally Sweep(const std::string& driver) {
    Tally tally;
    written_ = 0;
    for (const FaultKind& fault : kFaults) {
      for (uint32_t n = kFirstCommentSector; n <= layout_.Last(); ++n) {
        uint8_t clean[kSectorSize];
        if (!card_.Read(n, clean) || !cardsim::IsRecordingSector(clean, layout_)) continue;
        if (&fault == &kFaults[0]) ++written_;
        std::string error;
        if (!fault.put(card_, layout_, n, error)) continue;
        ++tally.tried;
        std::remove(dir_.File("out.qbd").c_str());
        ProgramResult result =
            Run("readcard", {"driver=" + driver, "prompt=0", "recordoutput=out.qbd"});
        if (result.status != 0) {
          ++tally.loud;
          EXPECT_NE(result.err.find("ERROR"), std::string::npos) << fault.name << " at " << n;
        } else if (SameRecords(Records(dir_.File("out.qbd")), reference_)) {
          ++tally.full;
        } else {
          tally.silent.push_back(std::string(fault.name) + " at " + std::to_string(n));
        }
        EXPECT_TRUE(card_.Write(n, clean, 1)) << card_.error();
      }
    }
    return tally;
  }

  // Sweeps through the image file, the card driver and the serial drive.
  void SweepAllDrives(const char* card_name) {
    struct Drive {
      const char* name;
      std::function<std::string()> start;  // the driver path, empty on failure
    };
    std::unique_ptr<test::CardDriverServer> driver;
    std::unique_ptr<test::SerialCardServer> serial;
    const Drive drives[] = {
        {"image file", [&] { return image_; }},
        {"card driver",
         [&] {
           driver =
               std::make_unique<test::CardDriverServer>("Sweep", image_, dir_.File("server.err"));
           return driver->Ready() ? std::string("\\\\.\\Sweep") : std::string();
         }},
        {"serial drive",
         [&] {
           serial = std::make_unique<test::SerialCardServer>(image_, dir_.File("server.err"));
           if (serial->slave().empty()) return std::string();
           env_.Set("DD_DEVICE", serial->slave());
           return std::string("****");
         }},
    };
    for (const Drive& drive : drives) {
      SCOPED_TRACE(drive.name);
      std::string path = drive.start();
      ASSERT_FALSE(path.empty()) << test::SlurpFile(dir_.File("server.err"));
      Tally tally = Sweep(path);
      driver.reset();
      serial.reset();
      std::printf(
          "damage sweep, %s, %s: %d sectors spoiled, %d failed loudly, %d read in full, "
          "%zu silent losses\n",
          card_name, drive.name, tally.tried, tally.loud, tally.full, tally.silent.size());
      // Every written sector takes the first three faults.
      EXPECT_GE(tally.tried, 3 * written_);
      EXPECT_EQ(tally.loud + tally.full + static_cast<int>(tally.silent.size()), tally.tried);
      for (const std::string& loss : tally.silent) ADD_FAILURE() << "silent loss: " << loss;
    }
  }

  // Spoils the checksum of each data sector in turn and reads the card with
  // rescue=1: the read must succeed, and give the undamaged card's records
  // with only those that touch the spoiled sector replaced by one control
  // record naming it - or all of them, when the read does not take what
  // that sector holds (the oldest sector of a wrapped ring, which the
  // device overwrites next).
  void RescueSweep() {
    const std::vector<FileRecord> cards(reference_.begin() + 3, reference_.end() - 1);
    int swept = 0;
    for (uint32_t n = layout_.firstData; n <= layout_.Last(); ++n) {
      uint8_t clean[kSectorSize];
      if (!card_.Read(n, clean) || !cardsim::IsRecordingSector(clean, layout_)) continue;
      std::string error;
      ASSERT_TRUE(cardsim::DamageSector(card_, layout_, n, error)) << error;
      ++swept;
      std::remove(dir_.File("out.qbd").c_str());
      ProgramResult result =
          Run("readcard", {"driver=" + image_, "prompt=0", "recordoutput=out.qbd", "rescue=1"});
      ASSERT_EQ(result.status, 0) << "sector " << n << ": " << result.err;
      std::vector<FileRecord> out = Records(dir_.File("out.qbd"));
      ASSERT_GT(out.size(), 4u);
      std::vector<FileRecord> got(out.begin() + 3, out.end() - 1);
      // The marker of the skipped sector, and around it the records of the
      // undamaged card from its start and up to its end.
      size_t mark = 0;
      while (mark < got.size() &&
             !(got[mark].kind == kKindControl && got[mark].data.size() == kUnreadableRecordLength &&
               static_cast<uint8_t>(got[mark].data[0]) == kControlUnreadable))
        ++mark;
      if (mark == got.size()) {
        EXPECT_TRUE(SameRecords(got, cards)) << "no marker for sector " << n;
        EXPECT_TRUE(card_.Write(n, clean, 1)) << card_.error();
        continue;
      }
      EXPECT_EQ(Get32(reinterpret_cast<const uint8_t*>(got[mark].data.data()) + 1), n);
      EXPECT_EQ(Get32(reinterpret_cast<const uint8_t*>(got[mark].data.data()) + 5), 1u);
      const size_t after = got.size() - mark - 1;
      ASSERT_LE(mark + after, cards.size()) << "sector " << n;
      for (size_t i = 0; i < mark; ++i)
        EXPECT_TRUE(got[i].kind == cards[i].kind && got[i].data == cards[i].data)
            << "sector " << n << ", record " << i;
      for (size_t i = 0; i < after; ++i) {
        const FileRecord& a = got[mark + 1 + i];
        const FileRecord& b = cards[cards.size() - after + i];
        EXPECT_TRUE(a.kind == b.kind && a.data == b.data) << "sector " << n << ", from the end";
      }
      EXPECT_TRUE(card_.Write(n, clean, 1)) << card_.error();
    }
    EXPECT_GT(swept, 4);
  }

  test::TempDir dir_;
  test::ScopedEnv env_;
  std::string kdv_dir_;
  std::string image_;
  std::string summary_;
  int written_ = 0;  // sectors of the recording, counted by the last sweep
  std::vector<FileRecord> reference_;
  cardsim::FileCardImage card_;
  cardsim::CardLayout layout_;
};

TEST_F(DamageSweep, LinearCard) {
  MakeCard(48, "stop_logger", 20);
  ASSERT_NE(summary_.find("wrapped=0 full=0"), std::string::npos) << summary_;
  SweepAllDrives("linear card");
}

TEST_F(DamageSweep, WrappedRingCard) {
  MakeCard(48, "overwrite_old", 45);
  ASSERT_NE(summary_.find("wrapped=1"), std::string::npos) << summary_;
  SweepAllDrives("wrapped ring card");
}

TEST_F(DamageSweep, RescueReadsSkipEachDamagedSector) {
  MakeCard(48, "stop_logger", 20);
  RescueSweep();
  MakeCard(48, "overwrite_old", 45);
  RescueSweep();
}

}  // namespace
}  // namespace qb
