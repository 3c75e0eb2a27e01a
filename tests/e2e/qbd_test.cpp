// qbd as scripts use it: its JSON, its exit statuses and the files it writes.
#include <gtest/gtest.h>

#include <string>

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
            "\"title\":\"LOG1.qbd / Caf\xC3\xA9 \\\"1\\\"\\\\\\u0001\"}\n");

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
  EXPECT_EQ(result.out,
            "records: 6\n"
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
            "sha256: 090b56d2a2b1a0a2f7cea6598c77b70ddecfa276fd5ca76ed2f602caae5eff40\n"
            "result: passed\n");

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
       {"data lines: 4\n", "failed lines: 3\n", "  record checksum: 1\n", "  block check: 1\n",
        "  no STX: 1\n", "other records failing their check: 1\n", "record-number breaks: 2\n",
        "end-of-file record: number 4 but 8 records before it\n", "result: FAILED\n"}) {
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

  std::string cut = sound.substr(0, sound.size() - 1);
  result = Run({"verify", Write(cut, "cut.qbd")});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Unexpected record number"), std::string::npos);
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
