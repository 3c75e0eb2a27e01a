#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "base/error_report.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "document/record_document.h"
#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::OptionText;
using test::RecordFileBuilder;

std::string Box(const Message<>& message) {
  return std::string("ERROR\n") + LoadMessage(message);
}

class DocumentLoading : public ::testing::Test {
 protected:
  // Each load gets a folder of its own: the document keeps its last file
  // open, and where the system enforces that, nobody may write it meanwhile.
  bool Load(const std::string& bytes, const std::string& name = "LOG1.qbd") {
    host_.boxes.clear();
    std::string folder = std::to_string(++loads_);
    std::filesystem::create_directory(dir_.File(folder));
    return document_.LoadRecordFile(dir_.Write(folder + "/" + name, bytes));
  }
  std::string LastBox() const { return host_.boxes.empty() ? "(none)" : host_.boxes.back(); }

  test::TempDir dir_;
  test::RecordingHost host_;
  ScopedJobHost scoped_{&host_};
  RecordDocument document_;
  int loads_ = 0;
};

TEST_F(DocumentLoading, SoundFileLoads) {
  ASSERT_TRUE(Load(
      RecordFileBuilder().Head("  Line 4\r\n").Line("one").Control().Line("two").End().bytes()));
  EXPECT_TRUE(document_.loaded());
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(document_.recordCount(), 6u);
  EXPECT_EQ(document_.GetLastLineIndex(), 1);
  EXPECT_EQ(document_.comment(), "  Line 4\r\n");
  EXPECT_EQ(document_.GetTitle(), "LOG1.qbd / Line 4");
  EXPECT_EQ(document_.GetFileName(), "LOG1.qbd");
  EXPECT_EQ(document_.GetLineText(1), "two");
}

TEST_F(DocumentLoading, OptionRecordChecks) {
  const struct {
    const char* name;
    std::string option;
    const Message<>* message;  // null: loads
  } table[] = {
      {"7E1", OptionText("7E1"), nullptr},
      {"8E2", OptionText("8E2"), nullptr},
      {"7O1", OptionText("7O1"), nullptr},
      {"8O2", OptionText("8O2"), nullptr},
      {"8N1", OptionText("8N1"), &msg::kWrongParity},
      {"8N2", OptionText("8N2"), &msg::kWrongParity},
      {"lower-case parity", OptionText("8e1"), &msg::kWrongParity},
      {"one character", OptionText("8"), &msg::kWrongParity},
      {"blank after =", OptionText(" 8E1"), &msg::kWrongParity},
      {"parity behind a byte above 0x7F",
       OptionText("8\xC5"
                  "E1"),
       &msg::kWrongParity},
      {"lower-case protocol", OptionText("7E1", "protocol=0x3685e294"), &msg::kUnsupportedProtocol},
      {"other protocol", OptionText("7E1", "protocol=0x1A0A5085"), &msg::kUnsupportedProtocol},
      {"no parameter", "protocol=0x3685E294\n", &msg::kInconsistentOptions},
      {"no = after parameter", "protocol=0x3685E294\nparameter 7E1\n", &msg::kInconsistentOptions},
      {"protocol anywhere", "parameter=8O1 protocol=0x3685E294", nullptr},
      {"empty option record", "", &msg::kUnsupportedProtocol},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    bool loaded =
        Load(RecordFileBuilder().Start().Option(row.option).Comment("c").Line("x").End().bytes());
    EXPECT_EQ(loaded, row.message == nullptr);
    EXPECT_EQ(document_.loaded(), row.message == nullptr);
    if (row.message != nullptr) {
      EXPECT_EQ(LastBox(), Box(*row.message));
    }
  }
}

TEST_F(DocumentLoading, FailuresShowTheirMessage) {
  std::string sound = RecordFileBuilder().Head().Line("a").Line("b").End().bytes();
  std::string cut = sound.substr(0, sound.size() - 15);  // inside the last data record
  const struct {
    const char* name;
    std::string bytes;
    std::string box;
  } table[] = {
      {"1 byte", "\x01", Box(msg::kWrongFormat)},
      {"9 bytes", std::string(9, '\0'), Box(msg::kWrongFormat)},
      {"no option record", RecordFileBuilder().Start().Comment("c").Line("a").End().bytes(),
       Box(msg::kWrongFormat)},
      {"option checksum", RecordFileBuilder().Start().Option().BreakChecksum().End().bytes(),
       Box(msg::kRecordChecksum)},
      {"cut inside a data record", cut, Box(msg::kUnexpectedRecordNumber)},
      {"end record numbered 0", RecordFileBuilder().Head().Line("a").EndNumbered(0).bytes(),
       Box(msg::kUnexpectedRecordNumber)},
      {"end record checksum", RecordFileBuilder().Head().Line("a").End().BreakChecksum().bytes(),
       Box(msg::kUnexpectedRecordNumber)},
      // The record at the end carries the expected number but is no end
      // record, and nothing else is pending.
      {"no end record, nothing pending",
       RecordFileBuilder().Start().Option().Add(kKindControl, "").bytes(), Box(msg::kWrongFormat)},
      {"last record runs past the end",
       RecordFileBuilder().Head().Line("a").Add(kKindData, "\x02xyz").SetLength(65535).bytes(),
       Box(msg::kUnexpectedRecordNumber)},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(Load(row.bytes));
    EXPECT_FALSE(document_.loaded());
    EXPECT_EQ(LastBox(), row.box);
  }

  EXPECT_FALSE(document_.LoadRecordFile(dir_.File("missing.qbd")));
  EXPECT_EQ(LastBox(), std::string("ERROR\n") + std::strerror(ENOENT));

  // An empty file is no document, and nothing is said about it.
  host_.boxes.clear();
  EXPECT_FALSE(Load(""));
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(DocumentLoading, NumberingAndEndRecordFaults) {
  // A wrong number in one data record: loads, nothing shown.
  ASSERT_TRUE(Load(RecordFileBuilder()
                       .Head()
                       .Line("a")
                       .AddNumbered(99, kKindData, test::Framed("b"))
                       .AddNumbered(5, kKindData, test::Framed("c"))
                       .End()
                       .bytes()));
  EXPECT_TRUE(host_.boxes.empty());
  EXPECT_EQ(document_.GetLastLineIndex(), 2);
  EXPECT_TRUE(document_.IsLineValid(1));

  // An end record that claims fewer records than there are hides no line; one
  // that claims more adds none.
  for (uint32_t claim : {4u, 500u}) {
    SCOPED_TRACE(claim);
    RecordFileBuilder file;
    file.Head();
    for (int i = 0; i < 30; ++i) file.Line("line " + std::to_string(i));
    ASSERT_TRUE(Load(file.EndNumbered(claim).bytes()));
    EXPECT_EQ(document_.recordCount(), claim);
    EXPECT_EQ(document_.GetLastLineIndex(), 29);
    EXPECT_EQ(document_.GetLineText(29), "line 29");
    EXPECT_EQ(document_.GetLineText(30), "");
  }

  // A data record in the middle whose length runs past the end: the lines
  // before it stay, it is shown as manipulated, nothing after it is invented.
  ASSERT_TRUE(Load(RecordFileBuilder()
                       .Head()
                       .Line("a")
                       .Add(kKindData, test::Framed("b"))
                       .SetLength(65535)
                       .Line("c")
                       .End()
                       .bytes()));
  EXPECT_EQ(document_.GetLastLineIndex(), 1);
  EXPECT_EQ(document_.GetLineText(0), "a");
  EXPECT_FALSE(document_.IsLineValid(1));
  EXPECT_EQ(document_.GetLineText(1), LoadMessage(msg::kManipulated));
}

TEST_F(DocumentLoading, CommentAndTitle) {
  const struct {
    const char* name;
    std::string bytes;
    std::string comment;
    std::string title;
  } table[] = {
      {"trimmed, CR LF removed", RecordFileBuilder().Head("  Line 4\r\n").End().bytes(),
       "  Line 4\r\n", "LOG1.qbd / Line 4"},
      {"inner line ends removed", RecordFileBuilder().Head("\tab\r\ncd \n").End().bytes(),
       "\tab\r\ncd \n", "LOG1.qbd / abcd"},
      {"no comment record", RecordFileBuilder().Start().Option().Line("x").End().bytes(),
       "<<empty>>", "LOG1.qbd / <<empty>>"},
      {"empty comment", RecordFileBuilder().Head("").End().bytes(), "", "LOG1.qbd"},
      {"200 characters", RecordFileBuilder().Head(std::string(200, 'c')).End().bytes(),
       std::string(200, 'c'), "LOG1.qbd / " + std::string(80, 'c')},
      {"manipulated comment",
       RecordFileBuilder().Start().Option().Comment("secret").BreakChecksum().End().bytes(),
       LoadMessage(msg::kManipulated), std::string("LOG1.qbd / ") + LoadMessage(msg::kManipulated)},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Load(row.bytes));
    EXPECT_EQ(document_.comment(), row.comment);
    EXPECT_EQ(document_.GetTitle(), row.title);
  }
  EXPECT_EQ(TitleFor("A.qbd", " \r\n "), "A.qbd / ");
}

TEST_F(DocumentLoading, ScanningProgressOnlyForLargeFiles) {
  ASSERT_TRUE(Load(test::RecordFileWithLines({"a", "b"})));
  EXPECT_TRUE(host_.captions.empty());

  RecordFileBuilder file;
  file.Head();
  for (int i = 0; i < 1000; ++i) file.Line("x");
  ASSERT_TRUE(Load(file.End().bytes()));
  ASSERT_EQ(host_.captions.size(), 1u);
  EXPECT_EQ(host_.captions[0], LoadMessage(msg::kAppName));
  ASSERT_FALSE(host_.statuses.empty());
  EXPECT_EQ(host_.statuses[0], "Scanning input file.\n\nPlease wait . . .");
  EXPECT_EQ(host_.range_low, 0);
  EXPECT_EQ(host_.range_high, 1003);
  EXPECT_EQ(host_.progress_open, 0);
  EXPECT_EQ(document_.GetLastLineIndex(), 999);
}

}  // namespace
}  // namespace qb
