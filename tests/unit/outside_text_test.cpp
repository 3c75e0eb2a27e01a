// Texts that come from outside - option values, driver paths, card IDs and
// record-file comments - show literally in messages, logs, record files,
// card information and titles: never read as formats, never cut at a quote
// or a high byte.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error_report.h"
#include "document/record_document.h"
#include "support/card_image.h"
#include "support/record_file_builder.h"

namespace qb {
namespace {

// Format directives, quotes, slashes, a parent folder, control characters and
// bytes from 0x80 up.
const std::vector<std::string> kHostile = {"%s%n%x%p",         "\"quoted\" 'and' `this`",
                                           "../../etc/passwd", "a\x01\x1b[31mb\x7f",
                                           "M\xE4rz \xFF\xFE", "%1 %2 {0} $(id)"};

bool AnyErrorHolds(const std::string& text) {
  for (const std::string& error : ErrorList())
    if (error.find(text) != std::string::npos) return true;
  return false;
}

class OutsideTextTest : public test::CardJobTest {};

TEST_F(OutsideTextTest, OptionValuesAndDriverPathsShowLiterally) {
  for (const std::string& text : kHostile) {
    SCOPED_TRACE(text);
    ClearErrors();
    EXPECT_FALSE(Read({text}));  // no "=": an option the job cannot take
    EXPECT_TRUE(AnyErrorHolds(text)) << JoinErrors(true);

    ClearErrors();
    std::string driver = dir_.File("missing " + std::to_string(text.size())) + "/" + text;
    JobArgs args = Args("READCARD.EXE", {"driver=" + driver, "prompt=0", "logfile=NUL"});
    EXPECT_FALSE(RunJob(ReadCardMain, args));
    EXPECT_TRUE(AnyErrorHolds("Error while opening PC Card on '" + driver + "'"))
        << JoinErrors(true);
  }
}

TEST_F(OutsideTextTest, CardIdsTravelByteForByte) {
  for (const std::string& id : kHostile) {
    SCOPED_TRACE(id);
    image_.Create(32, 0x00);
    ASSERT_TRUE(Init({"comment=" + dir_.Write("id.txt", id)})) << JoinErrors(true);
    CardInfo info;
    ASSERT_TRUE(Info(info)) << JoinErrors(true);
    EXPECT_EQ(std::string(info.comment), id);

    ASSERT_TRUE(Read()) << JoinErrors(true);
    bool found = false;
    for (const test::FileRecord& record : OutRecords())
      if (record.kind == kKindComment) found = record.data == id;
    EXPECT_TRUE(found);
  }
}

TEST(OutsideTextTitles, CommentsShowLiterallyInTheTitle) {
  test::TempDir dir;
  for (const std::string& comment : kHostile) {
    SCOPED_TRACE(comment);
    std::string path =
        dir.Write("r.qbd", test::RecordFileBuilder().Head(comment).Lines({"x"}).End().bytes());
    test::RecordingHost host;
    ScopedJobHost scoped(&host);
    RecordDocument document;
    ASSERT_TRUE(document.LoadRecordFile(path));
    EXPECT_EQ(document.comment(), comment);
    EXPECT_EQ(document.GetTitle(), TitleFor("r.qbd", comment));
    EXPECT_NE(document.GetTitle().find(comment.substr(1, comment.size() - 2)), std::string::npos);
  }
}

}  // namespace
}  // namespace qb
