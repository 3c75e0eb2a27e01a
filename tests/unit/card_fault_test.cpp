// A card that fails in the middle of a job: every read and every write the
// card jobs make is failed in turn on a small card holding a recording.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/master_block.h"
#include "support/card_image.h"

namespace qb {
namespace {

using test::CardJobTest;
using test::RecordPacker;
using test::Trace;

class CardFaultTest : public CardJobTest {
 protected:
  // A 48-sector card with a comment, prepared and holding records over
  // several sectors, one of them going on into the next sector.
  void MakeRecordedCard() {
    std::string comment = dir_.Write("id.txt", std::string(700, 'c'));
    MakeCard(48, {"comment=" + comment});
    RecordPacker packer;
    for (int i = 0; i < 12; ++i) packer.Add(kKindData, std::string(90 + i * 17, 'a' + i));
    packer.Add(kKindData, std::string(400, 'z'));
    uint32_t first = image_.Master().firstData;
    WriteAreas(packer, 0, packer.areas().size(), first, first);
  }

  static bool MasterIsValid(const test::SectorBytes& sector) {
    MasterBlock block;
    return DecodeMasterBlock(sector.data(), block);
  }
};

TEST_F(CardFaultTest, ReadcardFailsOnEveryFailingReadAndLeavesTheCardAlone) {
  MakeRecordedCard();
  const std::string card = image_.Bytes();
  Trace() = {};
  ASSERT_TRUE(Read()) << JoinErrors(true);
  ASSERT_EQ(CardRecords(OutRecords()).size(), 13u);
  const size_t reads = Trace().reads.size();
  ASSERT_GT(reads, 5u);

  for (size_t call = 0; call < reads; ++call) {
    SCOPED_TRACE(call);
    Trace() = {};
    Trace().failReadCall = static_cast<long>(call);
    EXPECT_FALSE(Read({"prompt=0"})) << "sector " << Trace().reads[call];
    EXPECT_FALSE(ErrorList().empty());
    EXPECT_TRUE(Trace().writes.empty());
    EXPECT_EQ(image_.Bytes(), card);
  }
}

TEST_F(CardFaultTest, CardChecksFailCleanlyOnEveryFailingRead) {
  MakeRecordedCard();
  Trace() = {};
  CardInfo info;
  ASSERT_TRUE(Info(info)) << JoinErrors(true);
  const size_t reads = Trace().reads.size();
  for (size_t call = 0; call < reads; ++call) {
    SCOPED_TRACE(call);
    Trace() = {};
    Trace().failReadCall = static_cast<long>(call);
    EXPECT_FALSE(Info(info));
    EXPECT_TRUE(ErrorsPending());
  }
  Trace() = {};
  ASSERT_FALSE(IsEmpty());
  const size_t check_reads = Trace().reads.size();
  for (size_t call = 0; call < check_reads; ++call) {
    SCOPED_TRACE(call);
    Trace() = {};
    Trace().failReadCall = static_cast<long>(call);
    // A check that could not look at the card says so in pending messages.
    bool empty = IsEmpty();
    EXPECT_TRUE(!empty || ErrorsPending());
  }
}

// A failed INITCARD leaves either the old layout, whole, or no valid master
// sector; never a valid master over a layout it did not finish.
TEST_F(CardFaultTest, InitcardNeverLeavesAValidMasterOverAnUnfinishedLayout) {
  MakeRecordedCard();
  const std::string old_card = image_.Bytes();
  const std::string comment = dir_.Write("new.txt", std::string(600, 'n'));
  Trace() = {};
  ASSERT_TRUE(Init({"comment=" + comment})) << JoinErrors(true);
  const size_t writes = Trace().writes.size();

  for (size_t call = 0; call < writes; ++call) {
    SCOPED_TRACE(call);
    std::ofstream(image_.path(), std::ios::binary | std::ios::trunc) << old_card;
    Trace() = {};
    Trace().failWriteCall = static_cast<long>(call);
    EXPECT_FALSE(Init({"comment=" + comment}));
    EXPECT_EQ(ErrorList().size(), 1u);
    if (MasterIsValid(image_.Read(kMasterSector))) {
      EXPECT_EQ(image_.Bytes(), old_card);
    }
  }
}

}  // namespace
}  // namespace qb
