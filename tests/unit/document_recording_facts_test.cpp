// What a recording tells about itself: the facts gathered while a document
// indexes its lines, and the same facts from one plain read of the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/printed_date.h"
#include "document/record_document.h"
#include "document/record_file_scan.h"
#include "format/byte_order.h"
#include "format/option_text.h"
#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::OptionText;
using test::RecordFileBuilder;

std::string Linear() {
  std::string text = OptionText();
  return text.replace(text.find("overwrite_old"), 13, "stop_logger");
}

std::string WithReadFacts(const std::string& text, bool overwritten, bool full, bool rescue) {
  ReadFacts facts;
  facts.firstSector = 3;
  facts.lastSector = 99;
  facts.startSector = overwritten ? 40 : 3;
  facts.newestSector = 38;
  facts.overwritten = overwritten;
  facts.cardFull = full;
  facts.rescue = rescue;
  return text + ReadFactsText(facts);
}

std::string Skipped(uint32_t first, uint32_t count) {
  uint8_t data[kUnreadableRecordLength] = {kControlUnreadable};
  Put32(data + 1, first);
  Put32(data + 5, count);
  return std::string(reinterpret_cast<const char*>(data), sizeof data);
}

class RecordingFactsTest : public ::testing::Test {
 protected:
  // The facts of the bytes as the document gathers them while loading, held
  // to be the same as those of one plain read of the file, and of that read
  // fed to the record stream in small pieces.
  RecordingFacts Facts(const std::string& bytes) {
    std::string folder = dir_.File(std::to_string(++files_));
    std::filesystem::create_directory(folder);
    std::string path = folder + "/LOG.qbd";
    dir_.Write(std::to_string(files_) + "/LOG.qbd", bytes);
    RecordDocument document;
    EXPECT_TRUE(document.LoadRecordFile(path)) << host_.boxes.back();
    RecordFileScan scan;
    EXPECT_EQ(ScanRecordFile(path, scan), 0);
    EXPECT_TRUE(scan.facts == document.facts());
    EXPECT_EQ(scan.size, bytes.size());
    RecordingFacts pieces;
    RecordingFactsCollector collector(pieces);
    RecordStream stream(collector);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step % 13 + 1)
      stream.Feed(data + at, std::min(step, bytes.size() - at));
    stream.Finish(bytes.size());
    EXPECT_TRUE(pieces == document.facts());
    return document.facts();
  }

  test::TempDir dir_;
  test::RecordingHost host_;
  ScopedJobHost scoped_{&host_};
  int files_ = 0;
};

TEST_F(RecordingFactsTest, SessionsAndWhetherTheRingHadComeRound) {
  // A ring card read from its first sector: "(init)", then two sessions.
  RecordingFacts facts = Facts(RecordFileBuilder()
                                   .Head()
                                   .Control(kControlInit)
                                   .Control(kControlStart)
                                   .Lines({"a", "b"})
                                   .Control(kControlStart)
                                   .Lines({"c", "d", "e"})
                                   .End()
                                   .bytes());
  EXPECT_EQ(facts.lines, 5u);
  EXPECT_EQ(facts.sessionCount, 2u);
  EXPECT_EQ(facts.sessions, (std::vector<RecordingSession>{{4, 0, 2}, {7, 2, 3}}));
  EXPECT_EQ(facts.linesBeforeFirstSession, 0u);
  EXPECT_EQ(facts.overwritten, Answer::kNo);
  EXPECT_EQ(facts.cardFull, Answer::kNo);
  EXPECT_TRUE(facts.Sound());

  const struct {
    const char* name;
    std::string bytes;
    Answer overwritten;
    Answer full;
    uint32_t before_first_session;
  } cases[] = {
      {"ring without its (init): the first sector was overwritten",
       RecordFileBuilder().Head().Lines({"x", "y"}).Control().Line("z").End().bytes(), Answer::kYes,
       Answer::kNo, 2},
      {"no control record at all: a read that left them out",
       RecordFileBuilder().Head().Lines({"x", "y"}).End().bytes(), Answer::kUnknown, Answer::kNo,
       2},
      {"linear card",
       RecordFileBuilder().Start().Option(Linear()).Comment("c").Line("x").End().bytes(),
       Answer::kNo, Answer::kUnknown, 1},
      {"the reader's own lines decide",
       RecordFileBuilder()
           .Start()
           .Option(WithReadFacts(Linear(), false, true, false))
           .Comment("c")
           .Control(kControlInit)
           .Line("x")
           .End()
           .bytes(),
       Answer::kNo, Answer::kYes, 1},
      {"a ring that came round, by the reader's lines",
       RecordFileBuilder()
           .Start()
           .Option(WithReadFacts(OptionText(), true, false, false))
           .Comment("c")
           .Control(kControlInit)
           .End()
           .bytes(),
       Answer::kYes, Answer::kNo, 0},
      {"settings that fail their check tell nothing",
       RecordFileBuilder().Start().Option().BreakChecksum().Comment("c").Line("x").End().bytes(),
       Answer::kUnknown, Answer::kUnknown, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A broken option record does not load: its facts come from the scan.
    if (c.overwritten == Answer::kUnknown && c.full == Answer::kUnknown) {
      std::string path = dir_.Write("broken.qbd", c.bytes);
      RecordFileScan scan;
      ASSERT_EQ(ScanRecordFile(path, scan), 0);
      facts = scan.facts;
      EXPECT_EQ(NotARecordFile(facts), &msg::kRecordChecksum);
    } else {
      facts = Facts(c.bytes);
      EXPECT_EQ(NotARecordFile(facts), nullptr);
    }
    EXPECT_EQ(facts.overwritten, c.overwritten);
    EXPECT_EQ(facts.cardFull, c.full);
    EXPECT_EQ(facts.linesBeforeFirstSession, c.before_first_session);
  }
}

TEST_F(RecordingFactsTest, GapsManipulatedRecordsAndSkippedSectors) {
  RecordingFacts facts =
      Facts(RecordFileBuilder()
                .Head()
                .Control(kControlStart)                        // 3
                .Line("a")                                     // line 0
                .AddNumbered(9, kKindData, test::Framed("b"))  // 5 to 8 missing
                .Line("c")
                .BreakChecksum()  // line 2
                .Add(kKindData, "no stx")
                .Add(kKindControl, Skipped(120, 2))
                .Line("d")                                      // line 4
                .AddNumbered(40, kKindData, test::Framed("e"))  // one wrong number
                .AddNumbered(15, kKindData, test::Framed("f"))
                .Control()
                .BreakChecksum()
                .AddNumbered(20, kKindEndOfFile, "")  // 17 to 19 missing at the end
                .bytes());
  EXPECT_EQ(facts.gaps, (std::vector<RecordGap>{{1, 5, 4}, {7, 17, 3}}));
  EXPECT_EQ(facts.gapCount, 2u);
  EXPECT_EQ(facts.missingRecords, 7u);
  EXPECT_EQ(facts.numberBreaks, 4u);
  EXPECT_EQ(facts.manipulatedLines, (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(facts.manipulated, 3u);
  EXPECT_EQ(facts.checksumFailures, 1u);
  EXPECT_EQ(facts.noStx, 1u);
  EXPECT_EQ(facts.otherFailures, 1u);
  EXPECT_EQ(facts.skipped, (std::vector<SkippedSectors>{{4, 120, 2}}));
  EXPECT_EQ(facts.skippedSectors, 2u);
  EXPECT_EQ(facts.endProblem, RecordingFacts::EndProblem::kNumber);
  EXPECT_FALSE(facts.Sound());
}

TEST_F(RecordingFactsTest, FirstAndLastPrintedDate) {
  RecordingFacts facts = Facts(RecordFileBuilder()
                                   .Head()
                                   .Line("Weight  12.5 g")
                                   .Line("Datum 07.12.2026   Zeit 22:06:34\r\n")
                                   .Line("Date 2026-12-08   Time 06:01")
                                   .BreakChecksum()
                                   .Line("Date 2026-12-08   Time 07:15:00")
                                   .Line("Duration 00:12:30")
                                   .End()
                                   .bytes());
  EXPECT_EQ(facts.firstPrinted, "2026-12-07 22:06:34");
  EXPECT_EQ(facts.lastPrinted, "2026-12-08 07:15:00");
  EXPECT_TRUE(Facts(test::RecordFileWithLines({"12:30", "no date"})).firstPrinted.empty());
}

TEST(PrintedDate, OnlyWhatCannotBeMisread) {
  const struct {
    const char* text;
    const char* found;  // null: none
  } cases[] = {
      {"Date 2026-12-07   Time 22:06:34", "2026-12-07 22:06:34"},
      {"07.12.2026 08:15", "2026-12-07 08:15"},
      {"2026-02-29 8:15", nullptr},      // an hour needs two digits
      {"12/07/2026 08:15", nullptr},     // month and day cannot be told apart
      {"07.12.26 08:15", nullptr},       // a two-digit year
      {"2026-13-01 08:15", nullptr},     // no 13th month
      {"2026-12-07 24:00", nullptr},     // no hour 24
      {"12026-12-07 10:00", nullptr},    // part of a longer number
      {"2026-12-07\r\n10:00", nullptr},  // the time on another printed line
      {"08:00 before 2026-12-07 and 09:30:61", "2026-12-07 09:30"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string found;
    bool ok = FindPrintedDateTime(reinterpret_cast<const uint8_t*>(c.text), strlen(c.text), found);
    EXPECT_EQ(ok, c.found != nullptr);
    if (c.found != nullptr) {
      EXPECT_EQ(found, c.found);
    }
  }
}

// The facts are gathered after the load returns: a second load, or the
// document's end, waits for those of the first, which never land in the
// second's.
TEST_F(RecordingFactsTest, ALoadWaitsForTheFactsOfTheOneBefore) {
  RecordFileBuilder big;
  big.Head();
  for (int i = 0; i < 50000; ++i) big.Line("line " + std::to_string(i));
  const std::string big_path = dir_.Write("big.qbd", big.End().bytes());
  const std::string small_path =
      dir_.Write("small.qbd", RecordFileBuilder().Head().Line("a").End().bytes());
  RecordFileScan small;
  ASSERT_EQ(ScanRecordFile(small_path, small), 0);
  for (int round = 0; round < 3; ++round) {
    RecordDocument document;
    ASSERT_TRUE(document.LoadRecordFile(big_path));
    ASSERT_TRUE(document.LoadRecordFile(small_path));
    EXPECT_TRUE(document.facts() == small.facts);
    EXPECT_TRUE(document.FactsReady());
    ASSERT_TRUE(document.LoadRecordFile(big_path));  // and dropped while gathering
  }
}

}  // namespace
}  // namespace qb
