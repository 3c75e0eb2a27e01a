#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/job_host.h"
#include "base/messages.h"
#include "document/record_document.h"
#include "document/text_export.h"
#include "support/record_file_builder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::RecordFileBuilder;

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

TEST(TextExport, DefaultNameRule) {
  const struct {
    std::string path;
    std::string folder;
    std::string name;
  } table[] = {
      {"/data/A+B.qbd", "/home/u/exports/", "/home/u/exports/A_B.txt"},
      {"LOG1.qbd", "", "LOG1.txt"},
      {"/d/a.b.qbd", "", "a.b.txt"},
      {"/d/NAME", "", "NAME.txt"},
      {"/d/\"*+:<>?\\|\x01\x1F.qbd", "", "___________.txt"},
      {"/d/M\xE4rz.qbd", "", "M\xE4rz.txt"},
  };
  for (const auto& row : table) EXPECT_EQ(DefaultExportName(row.path, row.folder), row.name);
}

class TextExportWriting : public ::testing::Test {
 protected:
  void Load(const std::string& bytes) {
    ASSERT_TRUE(document_.LoadRecordFile(dir_.Write("doc.qbd", bytes)));
  }
  bool Export() { return WriteTextExport(document_, out_, host_, clock_); }

  test::TempDir dir_;
  test::RecordingHost host_;
  ScopedJobHost scoped_{&host_};
  RecordDocument document_;
  std::string out_ = dir_.File("out.txt");
  std::function<int64_t()> clock_;
};

TEST_F(TextExportWriting, SequentialWalkWritesWhatEachLineFetchGives) {
  // More lines than one index step, control records in between, a broken
  // checksum and a last record cut short: the export's straight walk must
  // deliver exactly what fetching each line through the index delivers.
  RecordFileBuilder builder;
  builder.Head();
  for (int i = 0; i < 25; ++i) {
    builder.Line("line " + std::to_string(i) + "\r\n");
    if (i % 4 == 0) builder.Control();
    if (i == 13) builder.BreakChecksum();
  }
  builder.End();
  std::string bytes = builder.bytes();
  Load(bytes);
  ASSERT_TRUE(Export());
  std::string expected;
  for (int k = 0; k <= document_.GetLastLineIndex(); ++k) {
    expected += document_.IsLineValid(k) ? document_.GetRawText(k)
                                         : std::string(LoadMessage(msg::kManipulated)) + "\r\n";
  }
  EXPECT_EQ(dir_.Read("out.txt"), expected);
  EXPECT_NE(expected.find(LoadMessage(msg::kManipulated)), std::string::npos);
}

TEST_F(TextExportWriting, WritesRawTextsAndTheWarningForFailedLines) {
  Load(RecordFileBuilder()
           .Head()
           .Line("first\r\n")
           .Line("\x1B@second\r\n")
           .Line("third")
           .BreakChecksum()
           .Control()
           .Line("\x0C")
           .End()
           .bytes());
  ASSERT_TRUE(Export());
  EXPECT_EQ(dir_.Read("out.txt"),
            std::string("first\r\n\x1B@second\r\n") + LoadMessage(msg::kManipulated) + "\r\n\x0C");
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(host_.captions.size(), 1u);
  EXPECT_EQ(host_.range_high, 3);
  EXPECT_EQ(host_.progress_open, 0);
}

TEST_F(TextExportWriting, DocumentWithoutLinesWritesAnEmptyFile) {
  Load(RecordFileBuilder().Head().End().bytes());
  ASSERT_TRUE(Export());
  EXPECT_TRUE(Exists(out_));
  EXPECT_EQ(dir_.Read("out.txt"), "");
}

TEST_F(TextExportWriting, ProgressTextShowsSixtyCharacters) {
  std::string sixty(60, 's');
  std::string long_line = std::string(60, 'l') + "x";
  // The progress is shown every 64 lines at most: the long line is the 65th.
  RecordFileBuilder file;
  file.Head().Line(sixty);
  for (int i = 0; i < 63; ++i) file.Line("f");
  Load(file.Line(long_line).End().bytes());
  clock_ = [t = int64_t{0}]() mutable { return t += 1000; };
  ASSERT_TRUE(Export());
  ASSERT_EQ(host_.statuses.size(), 2u);
  EXPECT_EQ(host_.statuses[0], "Writing line 1 of 65\n" + sixty);
  EXPECT_EQ(host_.statuses[1], "Writing line 65 of 65\n" + std::string(60, 'l') + "...");
  ASSERT_EQ(host_.positions.size(), 2u);
  EXPECT_EQ(host_.positions[1], 64);

  Load(RecordFileBuilder().Head().Line("ab").End().bytes());
  host_.statuses.clear();
  ASSERT_TRUE(WriteTextExport(document_, dir_.File("short.txt"), host_, clock_));
  EXPECT_EQ(host_.statuses[0], "Writing line 1 of 1\nab" + std::string(58, ' '));
}

TEST_F(TextExportWriting, CancelKeepsOrDiscardsAsAnswered) {
  Load(test::RecordFileWithLines({"a", "b", "c"}));
  const struct {
    const char* name;
    std::deque<bool> answers;
    bool exists;
    std::string content;
  } table[] = {
      {"go on", {false}, true, "abc"},
      {"stop, discard", {true, false}, false, ""},
      {"stop, keep", {true, true}, true, "a"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    ::unlink(out_.c_str());
    host_.questions.clear();
    host_.cancels = 1;
    host_.answers = row.answers;
    EXPECT_TRUE(Export());
    EXPECT_EQ(Exists(out_), row.exists);
    if (row.exists) {
      EXPECT_EQ(dir_.Read("out.txt"), row.content);
    }
    ASSERT_GE(host_.questions.size(), 1u);
    EXPECT_EQ(host_.questions[0], LoadMessage(msg::kAbortFunction));
    if (row.answers.front()) {
      ASSERT_EQ(host_.questions.size(), 2u);
      EXPECT_EQ(host_.questions[1], LoadMessage(msg::kHoldResults));
    }
    EXPECT_EQ(host_.progress_open, 0);
  }
  // What was not kept never takes the name: an earlier file stays.
  dir_.Write("out.txt", "earlier");
  host_.cancels = 1;
  host_.answers = {true, false};
  EXPECT_TRUE(Export());
  EXPECT_EQ(dir_.Read("out.txt"), "earlier");
}

TEST_F(TextExportWriting, ExistingTargetAndCreateFailure) {
  Load(test::RecordFileWithLines({"new"}));
  dir_.Write("out.txt", "old");
  // No: nothing is written.
  host_.answers = {false};
  EXPECT_FALSE(ExportText(document_, out_, host_));
  EXPECT_EQ(dir_.Read("out.txt"), "old");
  ASSERT_EQ(host_.questions.size(), 1u);
  EXPECT_EQ(host_.questions[0],
            "WARNING!\nDestination file already exists!\n\nAre you sure to overwrite the file\n" +
                out_ + " ?");
  // Yes: replaced.
  host_.answers = {true};
  EXPECT_TRUE(ExportText(document_, out_, host_));
  EXPECT_EQ(dir_.Read("out.txt"), "new");

  // A target that cannot be deleted (a folder with something in it).
  std::string folder = dir_.File("folder");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  dir_.Write("folder/x", "x");
  host_.answers = {true};
  EXPECT_FALSE(ExportText(document_, folder, host_));
  ASSERT_FALSE(host_.boxes.empty());
  EXPECT_EQ(host_.boxes.back(), "ERROR!\nCannot overwrite target file\n" + folder + "\n\n(" +
                                    std::strerror(EISDIR) + ")");

  EXPECT_FALSE(WriteTextExport(document_, dir_.File("no/such/folder.txt"), host_));
  EXPECT_EQ(host_.boxes.back(), LoadMessage(msg::kCannotCreateDocument));
}

TEST_F(TextExportWriting, TheDocumentItselfIsNoExportTarget) {
  std::string bytes = test::RecordFileWithLines({"kept"});
  Load(bytes);
  const std::string link = dir_.File("link.qbd");
  ASSERT_EQ(::symlink("doc.qbd", link.c_str()), 0);
  for (const std::string& target : {dir_.File("doc.qbd"), link}) {
    SCOPED_TRACE(target);
    EXPECT_FALSE(WriteTextExport(document_, target, host_));
    ASSERT_FALSE(host_.boxes.empty());
    EXPECT_EQ(host_.boxes.back(),
              "ERROR!\nThe export file\n" + target + "\nis the document itself.");
    EXPECT_EQ(dir_.Read("doc.qbd"), bytes);
  }
}

// A record file cut or rewritten while it is exported: the export fails with
// one message instead of writing a warning line for every record it lost,
// and the export file keeps what it held.
TEST_F(TextExportWriting, ARecordFileChangedUnderTheExportFailsIt) {
  std::vector<std::string> lines;
  for (int i = 0; i < 20000; ++i)
    lines.push_back("line " + std::to_string(i) + " of the printout\r\n");
  const std::string bytes = test::RecordFileWithLines(lines);
  const struct {
    const char* name;
    std::function<void(const std::string&)> change;
  } table[] = {
      {"cut short", [&](const std::string& path) { ASSERT_EQ(::truncate(path.c_str(), 1000), 0); }},
      {"rewritten",
       [&](const std::string& path) {
         std::string other = bytes;
         std::replace(other.begin(), other.end(), 'l', 'L');
         std::ofstream(path, std::ios::binary | std::ios::trunc) << other;
       }},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Load(bytes);
    dir_.Write("out.txt", "earlier");
    host_.boxes.clear();
    row.change(dir_.File("doc.qbd"));
    EXPECT_FALSE(Export());
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(host_.boxes[0],
              "ERROR!\nThe record file\n" + dir_.File("doc.qbd") + "\nchanged while it was read.");
    EXPECT_EQ(dir_.Read("out.txt"), "earlier");
    EXPECT_EQ(host_.progress_open, 0);
  }
}

TEST_F(TextExportWriting, WriteFailureIsReported) {
  if (!Exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Load(test::RecordFileWithLines({"a"}));
  EXPECT_FALSE(WriteTextExport(document_, "/dev/full", host_));
  ASSERT_FALSE(host_.boxes.empty());
  EXPECT_EQ(host_.boxes.back(), std::string("ERROR\n") + std::strerror(ENOSPC));
}

}  // namespace
}  // namespace qb
