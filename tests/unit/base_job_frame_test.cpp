#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <regex>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_log.h"
#include "base/job_runner.h"
#include "base/job_status.h"
#include "base/out_of_memory.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace qb {
namespace {

TEST(JobArgs, VectorEndsAtFirstEmptySlot) {
  JobArgs args;
  for (int i = 0; i <= 10; ++i) args.Set(i, "opt" + std::to_string(i));
  char** argv = args.BuildArgv();
  EXPECT_EQ(args.Argc(), 11);
  EXPECT_STREQ(argv[10], "opt10");
  EXPECT_EQ(argv[11], nullptr);
  EXPECT_EQ(argv[64], nullptr);

  // A gap: the count still reaches the last filled slot, the vector holds a
  // null at the gap.
  args.Set(3, "");
  args.Set(63, "last");
  argv = args.BuildArgv();
  EXPECT_EQ(args.Argc(), 64);
  EXPECT_EQ(argv[3], nullptr);
  EXPECT_STREQ(argv[63], "last");
  EXPECT_EQ(argv[64], nullptr);

  args.ReleaseArgv();
  EXPECT_EQ(args.Argc(), 0);
}

// Job entries for the runner tests.
std::vector<std::string>* g_trace = nullptr;

int FailingJob(int, char**) {
  ReportText("Checksum failure at sector 2");
  ReportText("Reading comment sector");
  RegisterCleanup([] { g_trace->push_back("log"); });
  RegisterCleanup([] {
    g_trace->push_back("card");
    ReportText("Closing PC Card");
  });
  return 1;
}

int SucceedingJobWithProbeNoise(int argc, char** argv) {
  g_trace->push_back(std::to_string(argc) + ":" + argv[0]);
  ReportText("Read error at sector 9");
  return 0;
}

class RunJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_trace = &trace;
    ClearErrors();
  }
  void TearDown() override {
    ClearErrors();
    ClearCleanups();
  }
  std::vector<std::string> trace;
  test::RecordingHost host;
  ScopedJobHost scope{&host};
};

TEST_F(RunJobTest, FailureShowsOneBoxThenCleansUpInReverse) {
  JobArgs args;
  args.Set(0, "READCARD.EXE");
  ReportText("left from before");
  EXPECT_FALSE(RunJob(FailingJob, args));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "ERROR!\nChecksum failure at sector 2\nReading comment sector\n");
  EXPECT_EQ(trace, (std::vector<std::string>{"card", "log"}));
  // The close failure arrives after the box was shown.
  EXPECT_EQ(ErrorList().back(), "Closing PC Card");
  EXPECT_EQ(PendingCleanups(), 0u);
}

TEST_F(RunJobTest, SuccessShowsNoBoxEvenWithProbeMessages) {
  JobArgs args;
  args.Set(0, "INITCARD.EXE");
  args.Set(1, "prompt=0");
  EXPECT_TRUE(RunJob(SucceedingJobWithProbeNoise, args));
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(trace, (std::vector<std::string>{"2:INITCARD.EXE"}));
}

TEST_F(RunJobTest, BoxCarriesTheCodedErrorText) {
  JobArgs args;
  args.Set(0, "X");
  EXPECT_FALSE(RunJob(
      [](int, char**) {
        SetSystemError(ENOENT);
        return 1;
      },
      args));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "ERROR!\n" + ErrorText(ENOENT));  // the system's own text
}

// What operator new does when the memory has run out.
int JobThatRunsOutOfMemory(int, char**) {
  RegisterCleanup([] { g_trace->push_back("output removed"); });
  throw std::bad_alloc();
}

TEST_F(RunJobTest, AJobOutOfMemoryFailsWithTheMessageAndCleansUp) {
  JobArgs args;
  args.Set(0, "READCARD.EXE");
  EXPECT_FALSE(RunJob(JobThatRunsOutOfMemory, args));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "ERROR!\nOut of memory\n");
  EXPECT_EQ(trace, (std::vector<std::string>{"output removed"}));
}

TEST(OutOfMemory, AProgramEndsWithTheMessageAndStatusOne) {
  ::testing::internal::CaptureStderr();
  int status = RunMainGuarded(
      "readcard", [](int, char**) -> int { throw std::bad_alloc(); }, 0, nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "readcard: Out of memory\n");
  EXPECT_EQ(status, 1);
}

TEST(JobLog, LinesAreStampedAndRunsAppend) {
  test::TempDir dir;
  std::string path = dir.File("job.log");
  for (int run = 0; run < 2; ++run) {
    ClearCleanups();
    ASSERT_TRUE(OpenJobLog(path));
    LogMessage("%s V%X.%02X", "READCARD", 0, 0x20);
    SetLogQuiet(true);
    LogMessage("dropped while quiet");
    SetLogQuiet(false);
    LogMessage("value %s", "%n%s");
    RunCleanups();
  }
  std::string text = dir.Read("job.log");
  std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (.*))");
  std::vector<std::string> bodies;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    std::smatch m;
    std::string l = text.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.pop_back();  // a text file's line end on Windows
    ASSERT_TRUE(std::regex_match(l, m, line)) << l;
    bodies.push_back(m[1]);
    start = end + 1;
  }
  std::vector<std::string> one_run = {"Open logfile", "READCARD V0.20", "value %n%s",
                                      "Close logfile"};
  std::vector<std::string> expected = one_run;
  expected.insert(expected.end(), one_run.begin(), one_run.end());
  EXPECT_EQ(bodies, expected);
}

TEST(JobLog, EmptyPathMeansNoLogAndAFailedOpenLeavesTheSystemError) {
  ClearErrors();
  ClearCleanups();
  EXPECT_TRUE(OpenJobLog(""));
  EXPECT_FALSE(JobLogOpen());
  EXPECT_EQ(PendingCleanups(), 0u);
  LogMessage("goes nowhere");

  EXPECT_FALSE(OpenJobLog("/nonexistent-folder/x/job.log"));
  EXPECT_EQ(ErrorCode(), static_cast<uint32_t>(ENOENT));
  EXPECT_TRUE(ErrorList().empty());
  ClearErrors();
}

TEST(JobStatus, StatusIsCutAndKeysComeFromTheHost) {
  test::RecordingHost host;
  ScopedJobHost scope(&host);
  ShowStatus("record #%08lu (%lu bytes)", 7ul, 1234ul);
  ShowStatus("%s", std::string(700, 'x').c_str());
  ASSERT_EQ(host.statuses.size(), 2u);
  EXPECT_EQ(host.statuses[0], "record #00000007 (1234 bytes)");
  EXPECT_EQ(host.statuses[1].size(), 511u);

  int key = 0;
  EXPECT_FALSE(PollKey(key));
  host.keys.push_back(27);
  EXPECT_TRUE(PollKey(key));
  EXPECT_EQ(key, 27);
}

}  // namespace
}  // namespace qb
