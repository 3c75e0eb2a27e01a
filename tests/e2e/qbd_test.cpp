// qbd as scripts use it: its JSON, its exit statuses and the files it writes.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "format/record_kind.h"
#include "support/record_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using test::RecordFileBuilder;
using test::RunProgram;

class Qbd : public ::testing::Test {
 protected:
  test::ProgramResult Run(const std::vector<std::string>& args) {
    return RunProgram("qbd", args, dir_.path());
  }
  std::string Write(const std::string& bytes, const std::string& name = "LOG1.qbd") {
    return dir_.Write(name, bytes);
  }
  test::TempDir dir_;
};

TEST_F(Qbd, InfoJson) {
  std::string path = Write(RecordFileBuilder()
                               .Head("  Caf\xE9 \"1\"\\\x01\r\n")
                               .Line("a")
                               .Control()
                               .Line("b")
                               .End()
                               .bytes());
  auto result = Run({"info", "--json", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "{\"loaded\":true,\"records\":6,\"lines\":2,"
            "\"comment\":\"  Caf\xC3\xA9 \\\"1\\\"\\\\\\u0001\\r\\n\","
            "\"title\":\"LOG1.qbd / Caf\xC3\xA9 \\\"1\\\"\\\\\\u0001\","
            "\"sessions\":1,\"overwritten\":\"yes\",\"cardFull\":\"no\",\"missingRecords\":0,"
            "\"manipulatedRecords\":0,\"manipulatedLines\":[],\"skippedSectors\":0,"
            "\"firstPrinted\":\"\",\"lastPrinted\":\"\"}\n");

  const struct {
    const char* name;
    std::string bytes;
    std::string error;
  } failures[] = {
      {"parity", RecordFileBuilder().Start().Option(test::OptionText("8N1")).End().bytes(),
       "ERROR\\nERROR!\\nWrong parity setting detected.\\n\\nLoading of data aborted."},
      {"empty", "", ""},
  };
  for (const auto& row : failures) {
    SCOPED_TRACE(row.name);
    result = Run({"info", "--json", Write(row.bytes, "bad.qbd")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "{\"loaded\":false,\"error\":\"" + row.error + "\"}\n");
  }
  result = Run({"info", "--json", dir_.File("missing.qbd")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "{\"loaded\":false,\"error\":\"ERROR\\nNo such file or directory\"}\n");
}

TEST_F(Qbd, ShowJson) {
  std::string path = Write(RecordFileBuilder()
                               .Head()
                               .Line("plain\x80\xFF")
                               .Line("\x0C")
                               .Line("\x1B@")
                               .Line("\x1B\x0F")
                               .Line("AB\x07")
                               .Line("broken")
                               .BreakChecksum()
                               .End()
                               .bytes());
  auto result = Run({"show", "--json", path});
  EXPECT_EQ(result.status, 0);
  const std::string all =
      "{\"line\":0,\"valid\":true,\"class\":257,\"ff\":false,\"reset\":false,\"condensed\":false,"
      "\"text\":\"plain\xC2\x80\xC3\xBF\"}\n"
      "{\"line\":1,\"valid\":true,\"class\":258,\"ff\":true,\"reset\":false,\"condensed\":false,"
      "\"text\":\"<FF>\"}\n"
      "{\"line\":2,\"valid\":true,\"class\":258,\"ff\":false,\"reset\":true,\"condensed\":false,"
      "\"text\":\"<ESC>@\"}\n"
      "{\"line\":3,\"valid\":true,\"class\":258,\"ff\":false,\"reset\":false,\"condensed\":true,"
      "\"text\":\"<ESC><SI>\"}\n"
      "{\"line\":4,\"valid\":true,\"class\":259,\"ff\":false,\"reset\":false,\"condensed\":false,"
      "\"text\":\"AB<0x07>\"}\n"
      "{\"line\":5,\"valid\":false,\"class\":257,\"ff\":false,\"reset\":false,\"condensed\":false,"
      "\"text\":\"!!!WARNING!!! This record was manipulated !!!WARNING!!!\"}\n";
  EXPECT_EQ(result.out, all);

  auto line_of = [&](int k) {
    size_t begin = 0;
    for (int i = 0; i < k; ++i) begin = all.find('\n', begin) + 1;
    return all.substr(begin, all.find('\n', begin) + 1 - begin);
  };
  const struct {
    std::vector<std::string> window;
    std::string out;
  } windows[] = {
      {{"--from", "4"}, line_of(4) + line_of(5)},
      {{"--from", "1", "--count", "2"}, line_of(1) + line_of(2)},
      {{"--count", "0"}, ""},
      {{"--from", "6"}, ""},
      {{"--from", "5", "--count", "9223372036854775807"}, line_of(5)},
  };
  for (const auto& row : windows) {
    std::vector<std::string> args = {"show", "--json", path};
    args.insert(args.end(), row.window.begin(), row.window.end());
    result = Run(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, row.out);
  }
  EXPECT_EQ(Run({"show", "--json", path, "--from", "-1"}).status, 1);
  EXPECT_EQ(Run({"show", "--json", path, "--count"}).status, 1);
}

TEST_F(Qbd, ExportWritesTheExportBytesAndKeepsExistingFiles) {
  std::string path = Write(RecordFileBuilder()
                               .Head()
                               .Line("one\r\n")
                               .Line("\x1B@two\x0C")
                               .Line("bad")
                               .BreakChecksum()
                               .End()
                               .bytes());
  std::string out = dir_.File("out.txt");
  auto result = Run({"export", path, out});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string expected =
      "one\r\n\x1B@two\x0C!!!WARNING!!! This record was manipulated !!!WARNING!!!\r\n";
  EXPECT_EQ(dir_.Read("out.txt"), expected);

  dir_.Write("out.txt", "keep me");
  result = Run({"export", path, out});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("exists"), std::string::npos);
  EXPECT_EQ(dir_.Read("out.txt"), "keep me");
  result = Run({"export", path, out, "--force"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(dir_.Read("out.txt"), expected);
  EXPECT_EQ(result.err, "");  // no progress line without a terminal

  result = Run({"export", path, dir_.File("no/folder/out.txt")});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Cannot create document."), std::string::npos);
}

// --force replaces a regular file only; a FIFO (like a device) is written
// through and stays what it is, and the record file itself is never the
// export's target, through any name.
TEST_F(Qbd, ExportOfADemoRecordingHasOnePrintedLinePerLine) {
  // The demo printouts as a user makes them: a prepared card, recorded by
  // cardsim, read by readcard, exported.
  const std::string card = dir_.File("card.img");
  auto run = [this](const std::string& program, const std::vector<std::string>& args) {
    test::ProgramResult result = RunProgram(program, args, dir_.path(), dir_.path());
    EXPECT_EQ(result.status, 0) << program << ": " << result.err;
  };
  run("cardsim", {"blank", "--sectors", "256", card});
  run("initcard", {"driver=" + card, "prompt=0", "protocol=0x3685e294", "parameter=7E1"});
  run("cardsim", {"record", "--card", card, "--demo", "5", "--quiet"});
  run("readcard", {"driver=" + card, "prompt=0", "recordoutput=demo.qbd"});
  run("qbd", {"export", "demo.qbd", "demo.txt"});
  const std::string info = Run({"info", dir_.File("demo.qbd")}).out;
  const size_t lines_at = info.find("lines: ");
  ASSERT_NE(lines_at, std::string::npos) << info;
  const int lines = std::stoi(info.substr(lines_at + 7));

  // Each printout has three transmissions of printer codes alone (reset,
  // condensed print, form feed); every other line is one printed line, ended
  // by CR LF. The codes lead the printed line that follows them, and the
  // last form feed ends the export.
  const std::string text = test::SlurpFile(dir_.File("demo.txt"));
  std::vector<std::string> pieces;
  for (size_t begin = 0;;) {
    size_t end = text.find("\r\n", begin);
    pieces.push_back(text.substr(begin, end == std::string::npos ? end : end - begin));
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  EXPECT_EQ(static_cast<int>(pieces.size()), lines - 5 * 3 + 1);
  for (const std::string& piece : pieces)
    EXPECT_EQ(piece.find_first_of("\r\n"), std::string::npos) << piece;
  EXPECT_EQ(pieces.front().substr(0, 2), "\x1B@");
  EXPECT_NE(pieces.front().find("QB-LAB"), std::string::npos) << pieces.front();
  EXPECT_EQ(pieces.back(), "\x0C");
}

TEST_F(Qbd, ExportForceWritesThroughAFifoAndSparesTheRecordFile) {
  const std::string bytes = test::RecordFileWithLines({"one\r\n", "two\r\n"});
  std::string path = Write(bytes);
  ASSERT_EQ(::symlink("LOG1.qbd", dir_.File("link.qbd").c_str()), 0);
  for (const std::string& out : {path, dir_.File("link.qbd")}) {
    SCOPED_TRACE(out);
    auto result = Run({"export", path, out, "--force"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("is the document itself"), std::string::npos) << result.err;
    EXPECT_EQ(dir_.Read("LOG1.qbd"), bytes);
  }

  std::string fifo = dir_.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A reader is there first; the export is small enough for the pipe.
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto result = Run({"export", path, fifo, "--force"});
  EXPECT_EQ(result.status, 0) << result.err;
  char buffer[256];
  ssize_t got = ::read(reader, buffer, sizeof buffer);
  ::close(reader);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "one\r\ntwo\r\n");
  struct stat info;
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A record file cut short while qbd exports it: one message and exit 1, not
// a warning line in the export for every record that went.
TEST_F(Qbd, ExportFailsWhenTheRecordFileIsCutUnderIt) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200000; ++i) lines.push_back("line " + std::to_string(i) + "\r\n");
  std::string path = Write(test::RecordFileWithLines(lines));
  std::string fifo = dir_.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  test::ProgramResult result;
  std::thread run([&] { result = Run({"export", path, fifo, "--force"}); });
  // Once the export's first bytes arrive, the file is loaded and being read.
  pollfd ready = {reader, POLLIN, 0};
  bool started = ::poll(&ready, 1, 20000) == 1;
  EXPECT_TRUE(started) << "no export bytes arrived";
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  std::string received;
  ::fcntl(reader, F_SETFL, 0);
  char buffer[65536];
  ssize_t got = 0;
  while (started && (got = ::read(reader, buffer, sizeof buffer)) > 0) received.append(buffer, got);
  run.join();
  ::close(reader);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("changed while it was read"), std::string::npos) << result.err;
  EXPECT_EQ(received.find("WARNING"), std::string::npos);
}

TEST_F(Qbd, FindListsEveryHitOnce) {
  std::string path = Write(test::RecordFileWithLines(
      {"key here", "nothing", "key and key", "<key>", "Key", "last key"}));
  auto result = Run({"find", path, "key"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "0\n2\n3\n5\n");
  EXPECT_EQ(Run({"find", path, "absent"}).out, "");
  EXPECT_EQ(Run({"find", path, "<ESC>"}).out, "");
}

TEST_F(Qbd, VerifyReportsTheAudit) {
  // The digest below is what sha256sum gives for these bytes.
  std::string sound = RecordFileBuilder().Head("c").Line("a").Line("b").End().bytes();
  auto result = Run({"verify", Write(sound)});
  EXPECT_EQ(result.status, 0);
  // The three header records and two lines; info counts them alike.
  const std::string records = "records: 5 (header records included, end-of-file record not)\n";
  EXPECT_EQ(result.out,
            records +
                "data lines: 2\n"
                "failed lines: 0\n"
                "  record checksum: 0\n"
                "  block check: 0\n"
                "  no STX: 0\n"
                "  inverted bounds: 0\n"
                "  cut short: 0\n"
                "other records failing their check: 0\n"
                "record-number breaks: 0\n"
                "end-of-file record: sound\n"
                "recording sessions: 0\n"
                "older printouts overwritten before the read: unknown\n"
                "card full: no\n"
                "records missing from the numbering: 0\n"
                "manipulated records: 0\n"
                "read report: none\n"
                "sha256: 090b56d2a2b1a0a2f7cea6598c77b70ddecfa276fd5ca76ed2f602caae5eff40\n"
                "result: passed\n");
  EXPECT_EQ(Run({"info", dir_.File("LOG1.qbd")}).out.substr(0, records.size()), records);

  std::string faulty = RecordFileBuilder()
                           .Head("c")
                           .Line("a")
                           .BreakChecksum()
                           .Add(kKindData, std::string("\x02"
                                                       "b\x03") +
                                               'Z')
                           .Add(kKindData, "no stx")
                           .AddNumbered(40, kKindData, test::Framed("d"))
                           .Control()
                           .BreakChecksum()
                           .EndNumbered(4)
                           .bytes();
  result = Run({"verify", Write(faulty, "faulty.qbd")});
  EXPECT_EQ(result.status, 2);
  for (const char* expected :
       {"records: 8 (header records included, end-of-file record not)\n", "data lines: 4\n",
        "failed lines: 3\n", "  record checksum: 1\n", "  block check: 1\n", "  no STX: 1\n",
        "other records failing their check: 1\n", "record-number breaks: 2\n",
        "end-of-file record: number 4 but 8 records before it\n",
        "lines of manipulated records: 0, 1, 2\n", "result: FAILED\n",
        "  manipulated records 4 (lines 0, 1, 2)\n", "  records missing 34\n",
        "  records out of sequence 1\n"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << result.out;
  }

  // A record in the middle whose length runs past the end of the file.
  std::string past_end = RecordFileBuilder()
                             .Head("c")
                             .Line("a")
                             .Add(kKindData, test::Framed("b"))
                             .SetLength(65535)
                             .Line("c")
                             .End()
                             .bytes();
  result = Run({"verify", Write(past_end, "past-end.qbd")});
  EXPECT_EQ(result.status, 2);
  for (const char* expected :
       {"data lines: 2\n", "  cut short: 1\n", "end-of-file record: missing\n"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << result.out;
  }

  // A file cut short loses its end-of-file record: the application cannot
  // open it, and verify says why.
  std::string cut = sound.substr(0, sound.size() - 1);
  result = Run({"verify", Write(cut, "cut.qbd")});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.out.find("  end-of-file record missing\n"), std::string::npos) << result.out;
}

TEST_F(Qbd, UsageErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"nonsense"},
                                             {"info"},
                                             {"info", "a", "b"},
                                             {"export", "a"},
                                             {"find", "a"},
                                             {"info", "--bad", "a"}}) {
    auto result = Run(args);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("usage: qbd"), std::string::npos);
  }
}

}  // namespace
}  // namespace qb
