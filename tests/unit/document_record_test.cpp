#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/messages.h"
#include "document/doc_record.h"
#include "document/printer_codes.h"
#include "document/record_file_reader.h"
#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::RecordFileBuilder;
using test::TempDir;
using test::WithBlockCheck;

std::string TextOf(const DocRecord& record) {
  return std::string(reinterpret_cast<const char*>(record.Text()), record.TextSize());
}

// Reads the first record of a file holding `bytes`.
class DocumentRecord : public ::testing::Test {
 protected:
  bool ReadFirst(const std::string& bytes, DocRecord& record) {
    // Closed first: an open reader keeps writers out where the system
    // enforces it.
    reader_.Close();
    std::string path = dir_.Write("r.qbd", bytes);
    EXPECT_EQ(reader_.Open(path), 0);
    return reader_.ReadRecord(record);
  }
  TempDir dir_;
  RecordFileReader reader_;
};

TEST_F(DocumentRecord, TextBoundsStatusAndValidity) {
  // Long enough for the block check to run over whole words and a tail.
  const std::string long_text = "The quick brown fox jumps over 13 lazy dogs";
  const std::string long_data = WithBlockCheck("\x02" + long_text + "\x03");
  std::string long_data_bad = long_data;
  long_data_bad.back() = static_cast<char>(long_data_bad.back() ^ 0x40);
  const struct {
    const char* name;
    std::string data;
    int start;
    int end;
    std::string text;
    int status_after_read;
    bool valid;
    int status_after_check;
  } table[] = {
      {"plain",
       WithBlockCheck("\x02"
                      "ABC\x03"),
       1, 3, "ABC", 0, true, 0},
      {"CAN after STX",
       WithBlockCheck("\x02\x18"
                      "A\x03"),
       2, 2, "A", 0, true, 0},
      {"empty text", WithBlockCheck("\x02\x03"), 1, 0, "", 0, true, 0},
      {"CAN and empty text", WithBlockCheck("\x02\x18\x03"), 2, 1, "", 0, true, 0},
      {"no ETX: one byte",
       WithBlockCheck("\x02"
                      "ABC"),
       1, 1, "A", 0, true, 0},
      {"bytes before STX",
       WithBlockCheck("xy\x02"
                      "AB\x03"),
       3, 4, "AB", 0, true, 0},
      {"long text", long_data, 1, 43, long_text, 0, true, 0},
      {"long text, wrong block check", long_data_bad, 1, 43, long_text, 0, false,
       kStatusBlockCheck},
      {"no STX", std::string("ABC\x03") + '\x00', 0, 2, "ABC", kStatusNoStx, false, kStatusNoStx},
      {"wrong block check",
       std::string("\x02"
                   "AB\x03") +
           'Z',
       1, 2, "AB", 0, false, kStatusBlockCheck},
      // The text would begin beyond the data: empty, and nothing read past it.
      {"STX last", "AB\x02", 3, 3, "", 0, false, kStatusBlockCheck},
      {"STX CAN last", "A\x02\x18", 3, 3, "", 0, false, kStatusBlockCheck},
      {"no data", "", 0, -1, "", 0, false, kStatusBlockCheck},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    DocRecord record;
    ASSERT_TRUE(ReadFirst(RecordFileBuilder().Add(kKindData, row.data).bytes(), record));
    EXPECT_EQ(record.textStart(), row.start);
    EXPECT_EQ(record.textEnd(), row.end);
    EXPECT_EQ(TextOf(record), row.text);
    EXPECT_EQ(record.recordStatus(), row.status_after_read);
    EXPECT_EQ(record.IsValid(), row.valid);
    EXPECT_EQ(record.recordStatus(), row.status_after_check);
  }
}

TEST_F(DocumentRecord, ChecksumCoversLengthKindAndDataAndTheFirstFaultStays) {
  DocRecord record;
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().Line("A").BreakChecksum().bytes(), record));
  EXPECT_FALSE(record.IsValid());
  EXPECT_EQ(record.recordStatus(), kStatusChecksum);

  // No STX and a wrong checksum: the missing STX was found first.
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().Add(kKindData, "AB").BreakChecksum().bytes(), record));
  EXPECT_FALSE(record.IsValid());
  EXPECT_EQ(record.recordStatus(), kStatusNoStx);

  // Records of other kinds need no STX nor block check and are text only.
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().Add(kKindComment, "no stx").bytes(), record));
  EXPECT_TRUE(record.IsValid());
  EXPECT_EQ(record.contentFlags(), kContentPrintable);
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().End().bytes(), record));
  EXPECT_TRUE(record.IsValid());
  EXPECT_FALSE(record.HasData());
}

// The block check against a byte-by-byte XOR, for every length up to a few
// words and the STX at every place: the check takes whole words and the
// last bytes from one overlapping load.
TEST(DocumentBlockCheck, MatchesTheByteByByteXorAtEveryLengthAndStxPlace) {
  for (size_t n = 1; n <= 40; ++n) {
    for (size_t stx = 0; stx < n; ++stx) {
      std::vector<uint8_t> data(n);
      for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(0x41 + (i * 37 + n) % 50);
      data[stx] = 0x02;
      uint8_t sum = 0;
      for (size_t i = stx + 1; i + 1 < n; ++i) sum ^= data[i];
      for (uint8_t last : {sum, static_cast<uint8_t>(sum ^ 0x10)}) {
        if (stx + 1 < n) data[n - 1] = last;
        bool expected = data[n - 1] == sum;
        ASSERT_EQ(BlockCheckHolds(data.data(), n), expected) << n << " " << stx;
      }
    }
  }
}

TEST_F(DocumentRecord, CutDataCountsAsReadButIsCutShort) {
  std::string bytes = RecordFileBuilder().Line("ABCDEF").bytes();
  bytes.resize(bytes.size() - 3);
  DocRecord record;
  ClearErrors();
  EXPECT_TRUE(ReadFirst(bytes, record));
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kUnexpectedEnd.id);
  EXPECT_EQ(record.recordStatus(), kStatusCutShort);
  EXPECT_FALSE(record.HasData());
  EXPECT_EQ(record.TextSize(), 0u);
  EXPECT_FALSE(record.IsValid());

  // A header cut short fails the read.
  ClearErrors();
  EXPECT_FALSE(ReadFirst(std::string("\0\0\0\0\0", 5), record));
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kUnexpectedEnd.id);
}

TEST_F(DocumentRecord, LongestRecordIsReadWhole) {
  std::string text(65532, 'x');
  DocRecord record;
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().Line(text).bytes(), record));
  EXPECT_EQ(record.length(), 65535);
  EXPECT_EQ(record.TextSize(), text.size());
  EXPECT_TRUE(record.IsValid());
}

TEST_F(DocumentRecord, CopiesAreDeep) {
  DocRecord record;
  ASSERT_TRUE(ReadFirst(RecordFileBuilder().Line("copy me").bytes(), record));
  DocRecord copy(record);
  ASSERT_TRUE(copy.HasData());
  EXPECT_NE(copy.Data(), record.Data());
  record.MutableData()[1] = 'K';
  record.Clear();
  EXPECT_EQ(TextOf(copy), "copy me");
  EXPECT_TRUE(copy.IsValid());
  DocRecord assigned;
  assigned = copy;
  EXPECT_EQ(TextOf(assigned), "copy me");
}

TEST(DocumentReader, SequenceCheckNotesABreakAndFollowsTheExpectedNumbers) {
  TempDir dir;
  // Numbers 0, 1, 7, 3: one wrong number is one break.
  std::string path = dir.Write("s.qbd", RecordFileBuilder()
                                            .Start()
                                            .Line("a")
                                            .AddNumbered(7, kKindData, test::Framed("b"))
                                            .AddNumbered(3, kKindData, test::Framed("c"))
                                            .bytes());
  RecordFileReader reader;
  ASSERT_EQ(reader.Open(path), 0);
  ASSERT_TRUE(reader.Rewind());
  DocRecord record;
  ClearErrors();
  ASSERT_TRUE(reader.ReadRecord(record));
  ASSERT_TRUE(reader.ReadRecord(record));
  EXPECT_EQ(ErrorCode(), 0u);
  ASSERT_TRUE(reader.ReadRecord(record));
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kUnexpectedRecordNumber.id);
  ClearErrors();
  ASSERT_TRUE(reader.ReadRecord(record));
  EXPECT_EQ(ErrorCode(), 0u);
  EXPECT_EQ(reader.ExpectedNumber(), 3);

  // Rewind: the first record must carry 0 again.
  ASSERT_TRUE(reader.Rewind());
  ASSERT_TRUE(reader.FindRecordOfKind(record, kKindData));
  EXPECT_EQ(ErrorCode(), 0u);
  EXPECT_EQ(record.number(), 1u);
  EXPECT_FALSE(reader.FindRecordOfKind(record, kKindComment));
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kUnexpectedEnd.id);
}

TEST(DocumentReader, SeekAndOperationsWithoutFile) {
  TempDir dir;
  RecordFileReader reader;
  DocRecord record;
  ClearErrors();
  EXPECT_FALSE(reader.Rewind());
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kFileNotOpened.id);
  ClearErrors();
  EXPECT_EQ(reader.Seek(0, SEEK_SET), -1);
  EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kFileNotOpened.id);
  for (bool (RecordFileReader::*read)(DocRecord&) :
       {&RecordFileReader::ReadHeader, &RecordFileReader::ReadRecord}) {
    ClearErrors();
    EXPECT_FALSE((reader.*read)(record));
    EXPECT_EQ(ErrorCode(), kCustomErrorBit + msg::kFileNotOpened.id);
  }

  ASSERT_EQ(reader.Open(dir.Write("f.qbd", std::string(25, 'x'))), 0);
  EXPECT_EQ(reader.Seek(-10, SEEK_END), 15);
  EXPECT_EQ(reader.Seek(5, SEEK_CUR), 20);
  EXPECT_EQ(reader.Seek(-21, SEEK_CUR), -1);
  EXPECT_EQ(reader.Seek(100, SEEK_SET), 100);  // beyond the end is allowed
  EXPECT_FALSE(reader.ReadHeader(record));
  EXPECT_EQ(reader.Seek(-26, SEEK_END), -1);

  EXPECT_EQ(reader.Open(dir.File("missing.qbd")), ENOENT);
  EXPECT_EQ(reader.Open(dir.path()), EISDIR);
  EXPECT_EQ(reader.Open("/dev/null"), EINVAL);
}

}  // namespace
}  // namespace qb
