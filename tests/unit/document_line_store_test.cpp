#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/job_host.h"
#include "base/messages.h"
#include "document/line_index.h"
#include "document/printer_codes.h"
#include "document/record_cache.h"
#include "document/record_document.h"
#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::RecordFileBuilder;

std::string Numbered(int i) {
  return "line " + std::to_string(i);
}

class LineStore : public ::testing::Test {
 protected:
  void Load(const std::string& bytes) {
    ASSERT_TRUE(document_.LoadRecordFile(dir_.Write("doc.qbd", bytes)));
  }
  void LoadLines(int count) {
    RecordFileBuilder file;
    file.Head();
    for (int i = 0; i < count; ++i) file.Line(Numbered(i));
    Load(file.End().bytes());
  }
  // A clock that makes every progress timer due at each look.
  void EveryLookDue() {
    document_.SetClock([t = int64_t{0}]() mutable { return t += 1000; });
  }

  test::TempDir dir_;
  test::RecordingHost host_;
  ScopedJobHost scoped_{&host_};
  RecordDocument document_;
};

TEST_F(LineStore, IndexEntriesAndHeaderReadsPerFetch) {
  RecordFileBuilder file;
  file.Head();
  for (int i = 0; i < 25; ++i) {
    file.Line(Numbered(i));
    if (i == 12 || i == 15) file.Control();  // records between lines 10 and 19
  }
  Load(file.End().bytes());
  const LineIndex& index = document_.lineIndex();
  EXPECT_EQ(index.step(), 10u);
  EXPECT_EQ(index.lineCount(), 25u);
  EXPECT_EQ(index.filledEntries(), 3u);

  // Line 10 is entry 1: only its own header is read.
  uint64_t before = document_.reader().HeadersRead();
  EXPECT_EQ(document_.GetLineText(10), "line 10");
  EXPECT_EQ(document_.reader().HeadersRead() - before, 1u);

  // Line 19 from entry 1: the entry's header, nine data headers and the two
  // control records' headers on the way, then the record itself.
  RecordDocument fresh;
  ASSERT_TRUE(fresh.LoadRecordFile(dir_.File("doc.qbd")));
  before = fresh.reader().HeadersRead();
  EXPECT_EQ(fresh.GetLineText(19), "line 19");
  EXPECT_EQ(fresh.reader().HeadersRead() - before, 1u + 9u + 2u + 1u);
  EXPECT_EQ(fresh.GetLineText(24), "line 24");
  EXPECT_EQ(fresh.GetLineText(3), "line 3");
}

TEST_F(LineStore, StepFromAvailableMemory) {
  const struct {
    uint64_t records;
    uint64_t memory;
    uint32_t step;
  } table[] = {
      {2000000, 1ull << 32, 10},
      {1000000, 8000000, 10},
      {1000000, 4000000, 20},
      {5, 0, 40},
      {0, 0, 10},
  };
  for (const auto& row : table)
    EXPECT_EQ(LineIndex::StepFor(row.records, row.memory), row.step) << row.records;
}

TEST_F(LineStore, IndexGrowsCoarserInsteadOfGrowingPastItsMemory) {
  // The end record claims 5 records; 2000 lines would need 200 entries where
  // the memory allows 100.
  RecordFileBuilder file;
  file.Head();
  for (int i = 0; i < 2000; ++i) file.Line(Numbered(i));
  document_.SetIndexMemory(8000);
  Load(file.EndNumbered(5).bytes());
  EXPECT_EQ(document_.lineIndex().step(), 20u);
  EXPECT_LE(document_.lineIndex().filledEntries(), 100u);
  // The file spans many reads: headers and records cross the read buffer's
  // ends, forward and from every entry.
  for (int line : {1999, 0, 19, 20, 1234}) EXPECT_EQ(document_.GetLineText(line), Numbered(line));
  for (int line = 0; line < 2000; ++line) ASSERT_EQ(document_.GetLineText(line), Numbered(line));
  EXPECT_EQ(document_.GetLineText(2000), "");
}

TEST_F(LineStore, CacheKeepsTheLast200FetchedRecords) {
  LoadLines(260);
  for (int line = 0; line <= 200; ++line) ASSERT_EQ(document_.GetLineText(line), Numbered(line));
  EXPECT_EQ(document_.cache().KeyAt(0), 200);
  EXPECT_EQ(document_.cache().KeyAt(199), 1);
  uint64_t reads = document_.reader().RecordsRead();
  EXPECT_EQ(document_.GetLineText(5), "line 5");  // still cached
  EXPECT_EQ(document_.reader().RecordsRead(), reads);
  EXPECT_EQ(document_.GetLineText(0), "line 0");  // dropped: read again
  EXPECT_EQ(document_.reader().RecordsRead(), reads + 1);
  EXPECT_EQ(document_.cache().KeyAt(0), 0);
}

TEST(LineStoreCache, MatchesAPlainFirstInFirstOutList) {
  // Lines fetched in a pattern that mixes runs, jumps and repeats, checked
  // against a list kept the plain way.
  RecordCache cache;
  std::vector<int> model;  // model[0] is slot 0
  uint32_t seed = 12345;
  for (int step = 0; step < 20000; ++step) {
    seed = seed * 1103515245u + 12345u;
    int line = step % 3 == 0 ? static_cast<int>(seed >> 16) % 700 : step / 3 % 450;
    bool cached = false;
    for (int key : model) cached |= key == line;
    DocRecord* found = cache.Find(line);
    ASSERT_EQ(found != nullptr, cached) << step;
    if (!cached) {
      cache.Add(line, DocRecord());
      model.insert(model.begin(), line);
      if (model.size() > RecordCache::kSlots) model.pop_back();
    }
  }
  for (int slot = 0; slot < RecordCache::kSlots; ++slot) EXPECT_EQ(cache.KeyAt(slot), model[slot]);
  cache.Clear();
  EXPECT_EQ(cache.Find(model[0]), nullptr);
  EXPECT_EQ(cache.KeyAt(0), -1);
}

TEST_F(LineStore, LineTextsValidityAndCodeTests) {
  Load(RecordFileBuilder()
           .Head()
           .Line("plain")
           .Line("\x1B@")
           .Line("\x0C")
           .Line("broken")
           .BreakChecksum()
           .Add(kKindData, "no stx")
           .Line("AB\x07\r\n")
           .End()
           .bytes());
  const std::string manipulated = LoadMessage(msg::kManipulated);
  const struct {
    int line;
    std::string text;
    bool valid;
    std::string raw;
    int line_class;  // 0: none
    bool ff;
    bool reset;
  } table[] = {
      {0, "plain", true, "plain", kClassTextOnly, false, false},
      {1, "<ESC>@", true, "\x1B@", kClassCodesOnly, false, true},
      {2, "<FF>", true, "\x0C", kClassCodesOnly, true, false},
      {3, manipulated, false, "broken", kClassTextOnly, false, false},
      {4, manipulated, false, "", kClassTextOnly, false, false},
      {5, "AB<0x07>\r\n", true, "AB\x07\r\n", kClassMixed, false, false},
      {6, "", false, "", 0, false, false},
      {-1, "", false, "", 0, false, false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(document_.GetLineText(row.line), row.text);
    EXPECT_EQ(document_.IsLineValid(row.line), row.valid);
    EXPECT_EQ(document_.GetRawText(row.line), row.raw);
    for (int line_class : {kClassTextOnly, kClassCodesOnly, kClassMixed})
      EXPECT_EQ(document_.LineHasClass(row.line, line_class), line_class == row.line_class);
    EXPECT_EQ(document_.LineHoldsCode(row.line, kCodeFormFeed), row.ff);
    EXPECT_EQ(document_.LineHoldsCode(row.line, kCodeInitialise), row.reset);
  }
  EXPECT_EQ(document_.GetLineRecord(6), nullptr);
}

TEST_F(LineStore, FindSearchesForwardWithoutWrapping) {
  std::vector<std::string> texts(10, "nothing here");
  texts[2] = "Needle in two";
  texts[3] = "a needle in three";
  texts[5] = "x\x1B@y";
  texts[9] = "needle last";
  RecordFileBuilder file;
  file.Head().Lines(texts);
  file.Line("needle, manipulated").BreakChecksum();
  Load(file.End().bytes());
  int line = 0;
  int position = 0;

  document_.SetFindText("needle");
  EXPECT_EQ(document_.FindNext(line, position), 3);
  EXPECT_EQ(line, 3);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(document_.FindNext(line, position), 9);
  // The last line holds no hit (its text is the warning) ...
  EXPECT_EQ(document_.FindNext(line, position), -1);
  EXPECT_EQ(line, -1);
  EXPECT_EQ(position, -1);
  // ... and after a miss the search starts again at the first line.
  EXPECT_EQ(document_.FindNext(line, position), 3);

  document_.SetFindText("<ESC>@");
  EXPECT_EQ(document_.FindNext(line, position), 5);
  EXPECT_EQ(position, 1);
  document_.SetFindText("manipulated");
  EXPECT_EQ(document_.FindNext(line, position), 10);
  // A hit in the last line: the next search starts at the first line again.
  EXPECT_EQ(document_.FindNext(line, position), 10);
  document_.SetFindText("NEEDLE");
  EXPECT_EQ(document_.FindNext(line, position), -1);
  EXPECT_TRUE(host_.captions.empty());  // quick searches show no progress
}

TEST_F(LineStore, FindWithoutLinesOrTextEndsAtOnce) {
  Load(RecordFileBuilder().Head().Control().End().bytes());
  EXPECT_EQ(document_.GetLastLineIndex(), -1);
  int line = 0;
  int position = 0;
  document_.SetFindText("x");
  EXPECT_EQ(document_.FindNext(line, position), -1);
  LoadLines(3);
  document_.SetFindText("");
  EXPECT_EQ(document_.FindNext(line, position), -1);
}

TEST_F(LineStore, FindShowsProgressAndStopsOnCancel) {
  LoadLines(10);
  EveryLookDue();
  document_.SetFindText("absent");
  int line = 0;
  int position = 0;
  EXPECT_EQ(document_.FindNext(line, position), -1);
  ASSERT_EQ(host_.captions.size(), 1u);
  EXPECT_EQ(host_.range_high, 9);
  ASSERT_EQ(host_.statuses.size(), 10u);
  EXPECT_EQ(host_.statuses[0], "Searching \"absent\"\nLine 0 of 9");
  EXPECT_EQ(host_.statuses[9], "Searching \"absent\"\nLine 9 of 9");
  EXPECT_EQ(host_.progress_open, 0);

  host_.statuses.clear();
  host_.cancels = 1;
  EXPECT_EQ(document_.FindNext(line, position), -1);
  EXPECT_EQ(host_.statuses.size(), 1u);
  EXPECT_EQ(document_.findLine(), -1);
}

}  // namespace
}  // namespace qb
