// Printouts end to end: instruments' printer output recorded by cardsim
// from raw transmissions onto a prepared card, read by readcard, and given
// as text by qbd text, with the printer's character table, its bit images
// and a record manipulated in the middle of a graphic.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/messages.h"
#include "format/byte_order.h"
#include "format/record_file.h"
#include "format/record_kind.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_printouts.h"

namespace qb {
namespace {

using test::RunProgram;
using test::TestPrintout;

class RecordedPrintout : public ::testing::Test {
 protected:
  test::ProgramResult Run(const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(program, args, dir_.path(), dir_.path());
  }
  void MustRun(const std::string& program, const std::vector<std::string>& args) {
    test::ProgramResult result = Run(program, args);
    ASSERT_EQ(result.status, 0) << program << ": " << result.err;
  }
  // The printout recorded as a user does it; the record file's path.
  std::string Record(const TestPrintout& printout) {
    const std::string card = dir_.File(printout.name + ".img");
    dir_.Write(printout.name + ".raw", test::FrameForRecording(printout.bytes));
    MustRun("cardsim", {"blank", "--sectors", "256", card});
    MustRun("initcard", {"driver=" + card, "prompt=0", "protocol=0x3685e294", "parameter=8E1"});
    MustRun("cardsim", {"record", "--card", card, "--from-raw", printout.name + ".raw", "--quiet"});
    MustRun("readcard", {"driver=" + card, "prompt=0", "recordoutput=" + printout.name + ".qbd"});
    return dir_.File(printout.name + ".qbd");
  }
  std::vector<std::string> TextArgs(const TestPrintout& printout, const std::string& file) {
    std::vector<std::string> args = {"text", file};
    if (!printout.codepage.empty()) args.insert(args.end(), {"--codepage", printout.codepage});
    if (printout.twentyFourPin) args.insert(args.end(), {"--pins", "24"});
    return args;
  }
  test::TempDir dir_;
};

TEST_F(RecordedPrintout, TextOfEachPrintout) {
  for (const TestPrintout& printout : test::TestPrintouts()) {
    SCOPED_TRACE(printout.name);
    const std::string file = Record(printout);
    if (HasFatalFailure()) return;
    test::ProgramResult result = Run("qbd", TextArgs(printout, file));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, printout.text);
  }
  // The code page 850 report read with the default table 437: its 850-only
  // characters come out as 437 has them.
  const std::string out = Run("qbd", {"text", dir_.File("balance-850.qbd")}).out;
  EXPECT_NE(out.find("Lösung Nr. 4, ¥ 12 mm"), std::string::npos) << out;
  EXPECT_EQ(out.find("Ø"), std::string::npos);
  // The 24-dot plot on a 9-pin printer: modes it has not print nothing.
  const std::string nine = Run("qbd", {"text", dir_.File("plot-24dot.qbd")}).out;
  EXPECT_EQ(nine.find("[graphic"), std::string::npos) << nine;
}

TEST_F(RecordedPrintout, AManipulatedRecordInsideAGraphicIsFlagged) {
  const TestPrintout plot = test::ScopePlot(false);
  const std::string file = Record(plot);
  if (HasFatalFailure()) return;
  // Change one dot byte in the third line (a block of the plot's first
  // strip) without mending its checksum.
  std::string bytes = dir_.Read(plot.name + ".qbd");
  size_t pos = 0;
  int line = 0;
  while (pos + kRecordFileHeaderSize <= bytes.size()) {
    const uint8_t* header = reinterpret_cast<const uint8_t*>(bytes.data() + pos);
    const size_t length = Get16(header + 6);
    if (Get16(header + 8) == kKindData && line++ == 2) {
      ASSERT_GT(length, 100u);
      bytes[pos + kRecordFileHeaderSize + 50] ^= 0x10;
      break;
    }
    pos += kRecordFileHeaderSize + length;
  }
  ASSERT_EQ(line, 3);
  ::chmod(file.c_str(), 0644);
  dir_.Write(plot.name + ".qbd", bytes);

  test::ProgramResult result = Run("qbd", {"text", file});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Scope QB-OS 2042  CH1 2 V/div  5 ms/div\n" +
                            std::string(LoadMessage(msg::kManipulated)) +
                            "\n[graphic 480x64]\nTrigger CH1 rising 0.5 V   dt = 12.5 ms\n\f");
}

TEST_F(RecordedPrintout, TextUsageErrors) {
  const std::string file = Record(test::MixedPage());
  if (HasFatalFailure()) return;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"text"},
                                               {"text", file, "--codepage"},
                                               {"text", file, "--codepage", "866"},
                                               {"text", file, "--pins", "18"},
                                               {"text", dir_.File("missing.qbd")}}) {
    test::ProgramResult result = Run("qbd", args);
    EXPECT_EQ(result.status, 1) << args.back();
    EXPECT_TRUE(result.out.empty()) << args.back();
    EXPECT_FALSE(result.err.empty()) << args.back();
  }
}

}  // namespace
}  // namespace qb
