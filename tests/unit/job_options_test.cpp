#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error_report.h"
#include "base/job_host.h"
#include "jobs/job_banner.h"
#include "jobs/job_options.h"
#include "jobs/option_file.h"
#include "jobs/option_number.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

class RecordingHost : public JobHost {
 public:
  void WriteOut(const std::string& text) override { out += text; }
  std::string out;
};

// An argument vector as the jobs get it: entry 0 the program, null-ended.
class Argv {
 public:
  explicit Argv(std::vector<std::string> texts) : texts_(std::move(texts)) {
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  char** get() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

// Every test starts with default options and an empty error report, in a
// fresh temporary folder that is also the current folder.
class JobOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetJobOptions();
    ClearErrors();
    old_cwd_ = std::filesystem::current_path();
    ASSERT_FALSE(dir_.path().empty());
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    ResetJobOptions();
    ClearErrors();
  }

  static void Write(const std::string& path, const std::string& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::filesystem::path old_cwd_;
  qb::test::TempDir dir_;
};

TEST(JobOptionsNumber, ReadsLikeAnUnsigned32BitStrtoul) {
  struct Case {
    const char* text;
    uint32_t expected;
  };
  const Case cases[] = {
      {"0x3685E294", 0x3685E294u},
      {"0X1f", 0x1f},
      {"010", 8},
      {"09", 0},  // octal stops at 9
      {"0x", 0},  // no hex digit: the number is the 0
      {"0xg", 0},
      {"70000", 70000},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {" \t 42", 42},
      {"+7", 7},
      {"- 5", 0},
      {"-1", 4294967295u},
      {"-0x10", 0xFFFFFFF0u},
      {"-4294967295", 1},
      {"4294967295", 4294967295u},
      {"0xFFFFFFFF", 4294967295u},
      {"4294967296", 4294967295u},
      {"0x100000000", 4294967295u},
      {"99999999999999999999999999", 4294967295u},
      {"-4294967296", 4294967295u},  // overflow is not negated
      {"-99999999999", 4294967295u},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseOptionNumber(c.text), c.expected) << c.text;
}

TEST_F(JobOptionsTest, DefaultsAtStart) {
  const JobOptions& o = Options();
  EXPECT_EQ(o.driver, "\\\\.\\Quil97");
  EXPECT_EQ(o.slot, 0);
  EXPECT_EQ(o.cardsize, 0u);
  EXPECT_EQ(o.prompt, 1);
  EXPECT_EQ(o.logfile, "");
  EXPECT_EQ(o.comment, "");
  EXPECT_EQ(o.baudrate, 9600u);
  EXPECT_EQ(o.parameter, "8N1");
  EXPECT_EQ(o.protocol, 0u);
  EXPECT_EQ(o.timeout, 1000);
  EXPECT_EQ(o.memoryfull, kMemoryFullStopLogger);
  EXPECT_EQ(o.rtscontrol, kRtsControlRecording);
  EXPECT_EQ(o.optionoutput, "");
  EXPECT_EQ(o.commentoutput, "");
  EXPECT_EQ(o.recordoutput, "readcard.dat");
  EXPECT_EQ(o.format, kFormatBinary);
  EXPECT_EQ(o.filter, kFilterAll);
}

TEST(JobOptionsSplit, KeyAndValue) {
  struct Case {
    const char* text;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"comment=notes.txt", "comment", "notes.txt"},
      {"comment~notes.txt", "comment", "notes.txt"},
      {"comment=a=b", "comment", "a=b"},
      {"a~b=c~", "a", "b=c~"},
      {"comment=", "comment", ""},
      {"=~=slot=3", "slot", "3"},
      {"  driver = x", "  driver ", " x"},
      {"slot=3\n", "slot", "3"},
      {"slot=3\r\n", "slot", "3"},
      {"slot=3\r", "slot", "3\r"},
  };
  for (const Case& c : cases) {
    std::string key = "old";
    std::string value = "old";
    ASSERT_TRUE(SplitOption(c.text, key, value)) << c.text;
    EXPECT_EQ(key, c.key) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  for (const char* bad : {"", "slot", "=", "~", "=~=", "==~", "help\n"}) {
    std::string key;
    std::string value;
    EXPECT_FALSE(SplitOption(bad, key, value)) << bad;
  }
}

TEST_F(JobOptionsTest, ApplyStoresNumbersAndTexts) {
  const std::string long_text(300, 'x');
  struct Case {
    const char* key;
    std::string value;
    std::function<std::string(const JobOptions&)> field;
    std::string expected;
  };
  auto num = [](auto member) {
    return [member](const JobOptions& o) { return std::to_string(o.*member); };
  };
  auto text = [](std::string JobOptions::*member) {
    return [member](const JobOptions& o) { return o.*member; };
  };
  const Case cases[] = {
      {"protocol", "0x3685E294", num(&JobOptions::protocol), std::to_string(0x3685E294u)},
      {"slot", "abc", num(&JobOptions::slot), "0"},
      {"timeout", "70000", num(&JobOptions::timeout), "4464"},
      {"slot", "010", num(&JobOptions::slot), "8"},
      {"SLOT", "3", num(&JobOptions::slot), "3"},
      {"Prompt", "65537", num(&JobOptions::prompt), "1"},
      {"cardsize", "-1", num(&JobOptions::cardsize), "4294967295"},
      {"baudrate", "19200", num(&JobOptions::baudrate), "19200"},
      {"parameter", "8n1x", text(&JobOptions::parameter), "8n1"},
      {"parameter", "7", text(&JobOptions::parameter), "7"},
      {"comment", "a=b", text(&JobOptions::comment), "a=b"},
      {"comment", "", text(&JobOptions::comment), ""},
      {"comment", "%s%n%x", text(&JobOptions::comment), "%s%n%x"},
      {"driver", long_text, text(&JobOptions::driver), std::string(255, 'x')},
      {"logfile", long_text, text(&JobOptions::logfile), std::string(259, 'x')},
      {"comment", long_text, text(&JobOptions::comment), std::string(259, 'x')},
      {"optionoutput", long_text, text(&JobOptions::optionoutput), std::string(255, 'x')},
      {"commentoutput", long_text, text(&JobOptions::commentoutput), std::string(255, 'x')},
      {"RecordOutput", " Out.Dat ", text(&JobOptions::recordoutput), " Out.Dat "},
      {"memoryfull", "OVERWRITE_OLD", num(&JobOptions::memoryfull), "1"},
      {"memoryfull", "Stop_Logger", num(&JobOptions::memoryfull), "0"},
      {"rtscontrol", "outofmemory", num(&JobOptions::rtscontrol), "2"},
      {"format", "ASCII", num(&JobOptions::format), "1"},
      {"filter", "init_and_data", num(&JobOptions::filter), "1"},
      {"filter", "Init_Only", num(&JobOptions::filter), "2"},
  };
  for (const Case& c : cases) {
    ResetJobOptions();
    ASSERT_TRUE(ApplyOption(c.key, c.value)) << c.key << "=" << c.value;
    EXPECT_EQ(c.field(Options()), c.expected) << c.key << "=" << c.value;
  }
}

TEST_F(JobOptionsTest, ApplyRejectsUnknownKeysAndWordsAndKeepsTheValue) {
  ASSERT_TRUE(ApplyOption("filter", "init_only"));
  ASSERT_TRUE(ApplyOption("memoryfull", "overwrite_old"));
  const std::pair<const char*, const char*> bad[] = {
      {"filter", "data"}, {"filter", "all "},       {"memoryfull", "overwrite"},
      {"format", ""},     {"rtscontrol", "record"}, {"help", "1"},
      {"driver ", "x"},   {"  driver", "x"},        {"optionfil", "x"},
      {"", "x"},          {"%s%n", "%s%n"},
  };
  for (const auto& [key, value] : bad) EXPECT_FALSE(ApplyOption(key, value)) << key << "=" << value;
  EXPECT_EQ(Options().filter, kFilterInitOnly);
  EXPECT_EQ(Options().memoryfull, kMemoryFullOverwriteOld);
  EXPECT_EQ(Options().driver, "\\\\.\\Quil97");
  EXPECT_TRUE(ErrorList().empty());  // the caller reports
}

TEST_F(JobOptionsTest, HelpSwitches) {
  const std::string help =
      "Options may be given in an option file and/or as command line arguments.\n"
      "The program reads the options as follows:\n"
      "  (1) option file <exename>.ini in the directory where the EXE resides\n"
      "  (2) option file <exename>.ini in the current directory\n"
      "  (3) command line arguments (from left to right)\n"
      "\n"
      "OPTIONS:\n"
      "  driver=<driver name>     name of PC Card driver\n"
      "  slot=<slot number>       number of PC Card slot (normally 0)\n"
      "  cardsize=<cardsize>      number of sectors used (if zero, use all sectors)\n"
      "  prompt=<0|1>             show warning prompts\n"
      "  logfile=<filename>       name of logfile (NUL to suppress logfile)\n"
      "  optionfile=<filename>    name of file with additional options\n"
      "  reportoutput=<filename>  READCARD: name of read report of the record file\n"
      "  rescue=<0|1>             READCARD: skip damaged data sectors (1) or stop (0)\n";
  for (const char* arg : {"HELP", "help", "/?", "-?", "/H", "-h"}) {
    RecordingHost host;
    ScopedJobHost scoped(&host);
    Argv argv({"READCARD.EXE", "slot=1", arg});
    EXPECT_TRUE(ShowHelpIfAsked(argv.get())) << arg;
    EXPECT_EQ(host.out, help) << arg;
  }
  for (const char* arg : {"help=1", "helpx", "/help", "h", "-", "?"}) {
    RecordingHost host;
    ScopedJobHost scoped(&host);
    Argv argv({"READCARD.EXE", arg});
    EXPECT_FALSE(ShowHelpIfAsked(argv.get())) << arg;
    EXPECT_EQ(host.out, "") << arg;
  }
  // A null entry ends the arguments.
  char program[] = "READCARD.EXE";
  char help_arg[] = "help";
  char* with_gap[] = {program, nullptr, help_arg, nullptr};
  EXPECT_FALSE(ShowHelpIfAsked(with_gap));
}

TEST_F(JobOptionsTest, ArgumentErrorsAndStopAtFirst) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"help=1"}, "help=1"},
      {{"filter=data"}, "filter=data"},
      {{"filter~data"}, "filter=data"},
      {{"noequals"}, "invalid option \"noequals\""},
      {{"=~=x"}, "invalid option \"=~=x\""},
      {{"%s%n=%s%n"}, "%s%n=%s%n"},
      {{"%n%s%d"}, "invalid option \"%n%s%d\""},
      {{"slot=5", "bad", "slot=7"}, "invalid option \"bad\""},
  };
  for (const Case& c : cases) {
    ResetJobOptions();
    ClearErrors();
    std::vector<std::string> texts{"READCARD.EXE"};
    texts.insert(texts.end(), c.args.begin(), c.args.end());
    Argv argv(texts);
    EXPECT_FALSE(ReadJobOptions(argv.get())) << c.error;
    EXPECT_EQ(ErrorList(), Texts({c.error}));
  }
  EXPECT_EQ(Options().slot, 5);  // applied before the error and kept
}

TEST_F(JobOptionsTest, OptionFileSkipsCommentsButCountsThem) {
  Write("opts.ini",
        "# comment\n"
        "; another\n"
        "\n"
        "slot=4\n"
        "  driver=x\n"
        "slot=9\n");
  EXPECT_FALSE(ReadOptionFile("opts.ini"));
  EXPECT_EQ(ErrorList(), Texts({"in opts.ini, line 5:   driver=x"}));
  EXPECT_EQ(Options().slot, 4);
  EXPECT_EQ(Options().driver, "\\\\.\\Quil97");
}

TEST_F(JobOptionsTest, LongLinesAreReadInPiecesOf127) {
  // 300 characters: three pieces of 127, 127 and 46, each an option.
  const std::string piece1 = "comment=" + std::string(127 - 8, 'c');
  const std::string piece2 = "logfile=" + std::string(127 - 8, 'l');
  const std::string piece3 = "slot=7" + std::string(46 - 6, ' ');
  ASSERT_EQ((piece1 + piece2 + piece3).size(), 300u);
  Write("long.ini", piece1 + piece2 + piece3 + "\nbogus=1\n");
  EXPECT_FALSE(ReadOptionFile("long.ini"));
  EXPECT_EQ(ErrorList(), Texts({"in long.ini, line 4: bogus=1"}));
  EXPECT_EQ(Options().comment, piece1.substr(8));
  EXPECT_EQ(Options().logfile, piece2.substr(8));
  EXPECT_EQ(Options().slot, 7);

  // A piece that does not split is reported with its own text only.
  ClearErrors();
  Write("nosplit.ini", std::string(100000, 'z') + "=1\n");
  EXPECT_FALSE(ReadOptionFile("nosplit.ini"));
  EXPECT_EQ(ErrorList(), Texts({"invalid option \"" + std::string(127, 'z') + "\""}));
}

TEST_F(JobOptionsTest, CrLfAndBinaryBytes) {
  // 126 characters and CR LF make one full piece, not a piece and an empty line.
  const std::string full = "comment=" + std::string(126 - 8, 'c');
  Write("crlf.ini",
        "recordoutput=\x01\xff\x80 bin\r\n"
        "# comment\r\n"
        "\r\n"
        "slot=0x10\r\n"
        "logfile=ab\0cd\r\n"s
        "driver=a\rb\r\n" +
            full +
            "\r\n"
            "cardsize=12");
  EXPECT_TRUE(ReadOptionFile("crlf.ini"));
  EXPECT_EQ(Options().recordoutput, "\x01\xff\x80 bin");
  EXPECT_EQ(Options().slot, 16);
  EXPECT_EQ(Options().logfile, "ab");  // a line ends at a NUL byte
  EXPECT_EQ(Options().driver, "a\rb");
  EXPECT_EQ(Options().comment, full.substr(8));
  EXPECT_EQ(Options().cardsize, 12u);

  Write("count.ini", full + "\r\nbogus=1\r\n");
  EXPECT_FALSE(ReadOptionFile("count.ini"));
  EXPECT_EQ(ErrorList(), Texts({"in count.ini, line 2: bogus=1"}));
}

TEST_F(JobOptionsTest, RandomBytesNeverBreakTheReader) {
  std::mt19937 random(1234);
  std::string bytes;
  for (int i = 0; i < 1 << 16; ++i) bytes.push_back(static_cast<char>(random()));
  // Plenty of separators and line ends, so that many lines split.
  for (size_t i = 0; i < bytes.size(); i += 7) bytes[i] = (i % 3) ? '=' : '\n';
  Write("random.ini", bytes);
  ReadOptionFile("random.ini");  // fails or not; must not crash
  for (const std::string& error : ErrorList()) EXPECT_LE(error.size(), kMaxErrorText);
}

TEST_F(JobOptionsTest, FormatCharactersInFilesStayText) {
  Write("fmt.ini", "comment=%s%n%s\n%n%s%d=%s%n\n");
  EXPECT_FALSE(ReadOptionFile("fmt.ini"));
  EXPECT_EQ(Options().comment, "%s%n%s");
  EXPECT_EQ(ErrorList(), Texts({"in fmt.ini, line 2: %n%s%d=%s%n"}));

  ClearErrors();
  Write("fmt2.ini", "%s%n%p\n");
  EXPECT_FALSE(ReadOptionFile("fmt2.ini"));
  EXPECT_EQ(ErrorList(), Texts({"invalid option \"%s%n%p\""}));
}

TEST_F(JobOptionsTest, NestedOptionFiles) {
  EXPECT_TRUE(ApplyOption("optionfile", ""));
  EXPECT_TRUE(ErrorList().empty());

  EXPECT_FALSE(ApplyOption("optionfile", "missing.ini"));
  EXPECT_EQ(ErrorList(), Texts({"Opening file missing.ini"}));
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOENT));

  // Options of a nested file take effect where it is named; its errors come
  // first, then one for each file that named it.
  ClearErrors();
  Write("inner.ini", "slot=5\nbogus=1\n");
  Write("outer.ini", "slot=1\noptionfile=inner.ini\nslot=7\n");
  Argv argv({"READCARD.EXE", "prompt=0", "optionfile~outer.ini", "cardsize=3"});
  EXPECT_FALSE(ReadJobOptions(argv.get()));
  EXPECT_EQ(ErrorList(),
            Texts({"in inner.ini, line 2: bogus=1", "in outer.ini, line 2: optionfile=inner.ini",
                   "optionfile=outer.ini"}));
  EXPECT_EQ(Options().prompt, 0);
  EXPECT_EQ(Options().slot, 5);
  EXPECT_EQ(Options().cardsize, 0u);
}

TEST_F(JobOptionsTest, SelfNamingFilesStop) {
  Write("self.ini", "slot=1\noptionfile=self.ini\n");
  Write("a.ini", "optionfile=b.ini\n");
  Write("b.ini", "optionfile=./a.ini\n");
  for (const char* path : {"self.ini", "a.ini"}) {
    ClearErrors();
    EXPECT_FALSE(ReadOptionFile(path)) << path;
    ASSERT_FALSE(ErrorList().empty()) << path;
  }
  EXPECT_EQ(ErrorList().back(), "in a.ini, line 1: optionfile=b.ini");
  // Nothing is left open or locked afterwards.
  Write("a.ini", "slot=2\n");
  EXPECT_TRUE(ReadOptionFile("a.ini"));
  EXPECT_EQ(Options().slot, 2);
}

TEST_F(JobOptionsTest, NestingDepthIsBounded) {
  // A chain of distinct files, each naming the next; the last sets slot.
  auto make_chain = [this](int files) {
    for (int i = 0; i < files; ++i) {
      std::string next = i + 1 < files ? "optionfile=f" : "slot=";
      next += std::to_string(i + 1 < files ? i + 1 : files);
      next += i + 1 < files ? ".ini\n" : "\n";
      Write("f" + std::to_string(i) + ".ini", next);
    }
  };
  make_chain(kMaxOptionFileDepth);
  EXPECT_TRUE(ReadOptionFile("f0.ini"));
  EXPECT_EQ(Options().slot, kMaxOptionFileDepth);

  make_chain(kMaxOptionFileDepth + 1);
  EXPECT_FALSE(ReadOptionFile("f0.ini"));
  const std::string last = "f" + std::to_string(kMaxOptionFileDepth) + ".ini";
  ASSERT_EQ(ErrorList().size(), static_cast<size_t>(kMaxOptionFileDepth) + 1);
  EXPECT_EQ(ErrorList()[0], "Option files nested too deeply at " + last);
  EXPECT_EQ(ErrorList()[1],
            "in f" + std::to_string(kMaxOptionFileDepth - 1) + ".ini, line 1: optionfile=" + last);
  // The count is back at zero: the short chain still reads.
  ClearErrors();
  make_chain(kMaxOptionFileDepth);
  EXPECT_TRUE(ReadOptionFile("f0.ini"));
}

TEST_F(JobOptionsTest, FilesThatDoNotOpenUnshared) {
  Write("locked.ini", "slot=3\n");
  int fd = ::open("locked.ini", O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(ReadOptionFile("locked.ini"));
  EXPECT_EQ(ErrorList(), Texts({"Opening file locked.ini"}));
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(EACCES));
  ::close(fd);
  EXPECT_EQ(Options().slot, 0);

  ClearErrors();
  std::filesystem::create_directory("folder.ini");
  EXPECT_FALSE(ReadOptionFile("folder.ini"));
  EXPECT_EQ(ErrorList(), Texts({"Opening file folder.ini"}));

  ClearErrors();
  EXPECT_FALSE(ReadOptionFile("/dev/zero"));  // a device would never end
  EXPECT_EQ(ErrorList(), Texts({"Opening file /dev/zero"}));
}

TEST_F(JobOptionsTest, ProgramIniThenCurrentFolderIniThenArguments) {
  Write("bin/job.ini", "slot=1\ncardsize=1\ntimeout=1\n");
  Write("job.ini", "cardsize=2\ntimeout=2\n");
  Argv argv({"bin/job.exe", "timeout=3"});
  EXPECT_TRUE(ReadJobOptions(argv.get()));
  EXPECT_TRUE(ErrorList().empty());
  EXPECT_EQ(Options().slot, 1);
  EXPECT_EQ(Options().cardsize, 2u);
  EXPECT_EQ(Options().timeout, 3);

  // No .ini at all is no error; a bare program name reads the one in the
  // current folder (twice, with the same effect).
  ResetJobOptions();
  Argv bare({"job", "prompt=0"});
  EXPECT_TRUE(ReadJobOptions(bare.get()));
  EXPECT_EQ(Options().cardsize, 2u);
  Argv other({"/nowhere/other.exe", "prompt=0"});
  EXPECT_TRUE(ReadJobOptions(other.get()));
  EXPECT_TRUE(ErrorList().empty());

  // An error in the first file ends reading: later sources are not applied.
  ResetJobOptions();
  Write("bin/job.ini", "slot=1\nbogus=2\n");
  EXPECT_FALSE(ReadJobOptions(argv.get()));
  EXPECT_EQ(ErrorList(), Texts({"in bin/job.ini, line 2: bogus=2"}));
  EXPECT_EQ(Options().slot, 1);
  EXPECT_EQ(Options().cardsize, 0u);
  EXPECT_EQ(Options().timeout, 1000);

  // A .ini that is there but does not open fails.
  ClearErrors();
  std::filesystem::create_directory("dir.ini");
  Argv dir({"dir.exe"});
  EXPECT_FALSE(ReadJobOptions(dir.get()));
  EXPECT_EQ(ErrorList(), Texts({"Opening file dir.ini"}));

  // Without entry 0 only the arguments are read.
  ResetJobOptions();
  char slot[] = "slot=6";
  char* no_program[] = {nullptr, slot, nullptr};
  EXPECT_TRUE(ReadJobOptions(no_program));
  EXPECT_EQ(Options().slot, 6);
  EXPECT_EQ(Options().cardsize, 0u);
}

TEST(JobOptionsBanner, VersionAndBannerLines) {
  EXPECT_EQ(JobVersionLine("READCARD"), "READCARD V0.20");
  EXPECT_EQ(JobVersionLine("INITCARD"), "INITCARD V0.20");
  const std::string banner = JobBannerLine("INITCARD");
  EXPECT_EQ(banner.rfind("INITCARD V0.20 ", 0), 0u);
  EXPECT_GT(banner.size(), std::string("INITCARD V0.20 ").size());
}

}  // namespace
}  // namespace qb
