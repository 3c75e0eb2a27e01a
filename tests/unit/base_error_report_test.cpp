#include "base/error_report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/messages.h"
#include "support/recording_host.h"

namespace qb {
namespace {

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrors(); }
  void TearDown() override { ClearErrors(); }
};

TEST_F(ErrorReportTest, BoxTextForEachKindOfCodedValue) {
  struct Case {
    const char* name;
    void (*set)();
    std::string expected;
  };
  const Case cases[] = {
      {"message only", [] { ReportText("Receiver timeout"); }, "ERROR\nReceiver timeout\n"},
      // The system's own text: strerror here, FormatMessageA on Windows.
      {"system error", [] { SetSystemError(ENOENT); }, "ERROR\n" + ErrorText(ENOENT)},
      {"string id", [] { SetStringError(170); },
       "ERROR\nERROR!\nFile has wrong format.\n(Not a Quillbank file.)"},
      {"runtime error", [] { SetRuntimeError(ENOENT); },
       std::string("ERROR\n") + std::strerror(ENOENT)},
  };
  for (const Case& c : cases) {
    ClearErrors();
    c.set();
    EXPECT_EQ(ErrorBoxText(-1), c.expected) << c.name;
  }
}

TEST_F(ErrorReportTest, CodingOfTheErrorValue) {
  SetRuntimeError(2);
  EXPECT_EQ(ErrorCode(), (1u << 29) + 0x10000u + 2u);
  SetStringError(170);
  EXPECT_EQ(ErrorCode(), (1u << 29) + 170u);
  SetSystemError(13);
  EXPECT_EQ(ErrorCode(), 13u);
}

TEST_F(ErrorReportTest, PendingUntilCleared) {
  EXPECT_FALSE(ErrorsPending());
  SetSystemError(EACCES);
  EXPECT_TRUE(ErrorsPending());
  ClearErrors();
  EXPECT_FALSE(ErrorsPending());
  ReportText("x");
  EXPECT_TRUE(ErrorsPending());
}

TEST_F(ErrorReportTest, TextsAreCutAndNeverReusedAsFormats) {
  ReportError("%s", std::string(600, 'a').c_str());
  ASSERT_EQ(ErrorList().size(), 1u);
  EXPECT_EQ(ErrorList()[0].size(), 511u);

  // A value holding conversions is data: it reaches the list unchanged and
  // is shown unchanged.
  ReportMessage(msg::kOpeningFile, "%s%n%x");
  EXPECT_EQ(ErrorList()[1], "Opening file %s%n%x");
  EXPECT_NE(JoinErrors(true).find("Opening file %s%n%x\n"), std::string::npos);
}

TEST_F(ErrorReportTest, LimitAndJoin) {
  ReportText("one");
  ReportText("two");
  SetStringError(msg::kUserAbort);
  EXPECT_EQ(ErrorBoxText(1), "ERROR\none\nUser abort");
  EXPECT_EQ(ErrorBoxText(5), "ERROR\none\ntwo\nUser abort");
  EXPECT_EQ(JoinErrors(false), "one\ntwo\n");
  EXPECT_EQ(JoinErrors(true), "one\ntwo\nUser abort");

  test::RecordingHost host;
  ScopedJobHost scope(&host);
  ShowErrors(-1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "ERROR\none\ntwo\nUser abort");
  EXPECT_TRUE(ErrorsPending()) << "showing does not clear";
}

TEST(MessageCatalogue, QuotedTextsAndUnknownIds) {
  EXPECT_STREQ(LoadMessage(491), "\"baudrate\" must be between %ld and %ld");
  EXPECT_STREQ(LoadMessage(544), "focus %lu/%lu@%u, select=%u");
  EXPECT_STREQ(LoadMessage(128), "Quillbank Manager");
  EXPECT_STREQ(LoadMessage(32774), "Read data from PC-Card\nRead card");
  EXPECT_STREQ(LoadMessage(486), "");
  EXPECT_STREQ(LoadMessage(-1), "");
}

}  // namespace
}  // namespace qb
