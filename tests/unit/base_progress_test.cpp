#include <gtest/gtest.h>

#include "base/interval_timer.h"
#include "base/progress_model.h"

namespace qb {
namespace {

TEST(ProgressTimeTexts, EachForm) {
  struct Case {
    int64_t seconds;
    const char* elapsed;
    const char* remaining;
  };
  const Case cases[] = {
      {0, "", ""},
      {7, "07\" ", "07\""},
      {60, "01' 00\" ", "01' 00\""},
      {75, "01' 15\" ", "01' 15\""},
      {3600, "01h 00' 00\" ", "01h 00' 00\""},
      {90061, "1d 01h 01' 01\" ", "1d 01h 01' 01\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ElapsedTimeText(c.seconds), c.elapsed) << c.seconds;
    EXPECT_EQ(RemainingTimeText(c.seconds), c.remaining) << c.seconds;
  }
}

class ProgressModelTest : public ::testing::Test {
 protected:
  int64_t now = 1000;
  ProgressModel model{[this] { return now; }};
};

TEST_F(ProgressModelTest, PercentElapsedAndRemaining) {
  model.SetRange(0, 100);
  now += 75;
  EXPECT_TRUE(model.SetPos(25));
  EXPECT_EQ(model.PercentText(), "25 %");
  EXPECT_EQ(model.TimeText(), "01' 15\"  (03' 45\")");
}

TEST_F(ProgressModelTest, LowEndAndEmptyRangeLeaveTheTexts) {
  model.SetRange(10, 20);
  now += 5;
  ASSERT_TRUE(model.SetPos(15));
  std::string percent = model.PercentText();
  std::string time = model.TimeText();
  EXPECT_FALSE(model.SetPos(10));
  EXPECT_EQ(model.Pos(), 10);
  EXPECT_EQ(model.PercentText(), percent);
  EXPECT_EQ(model.TimeText(), time);

  model.SetRange(0, 0);
  EXPECT_FALSE(model.SetPos(5));
  EXPECT_EQ(model.PercentText(), percent);
}

TEST_F(ProgressModelTest, BeyondTheRangeStaysFull) {
  model.SetRange(0, 100);
  now += 10;
  EXPECT_TRUE(model.SetPos(250));
  EXPECT_EQ(model.PercentText(), "100 %");
  EXPECT_EQ(model.TimeText(), "10\" ");
}

TEST_F(ProgressModelTest, CancelCountsOnceAndResetClears) {
  model.Cancel();
  model.Cancel();
  EXPECT_TRUE(model.CheckProgressCancel(true));
  EXPECT_FALSE(model.CheckProgressCancel(true));

  model.SetText("x");
  model.bar_visible = model.cancel_visible = true;
  model.SetRange(3, 9);
  model.SetPos(5);
  model.Cancel();
  model.Reset();
  EXPECT_EQ(model.Text(), "");
  EXPECT_EQ(model.Pos(), 3);
  EXPECT_FALSE(model.bar_visible);
  EXPECT_FALSE(model.cancel_visible);
  EXPECT_FALSE(model.CheckProgressCancel(true));
}

TEST(IntervalTimer, DueOncePerInterval) {
  int64_t now = 0;
  IntervalTimer timer([&now] { return now; });
  timer.Start(500);
  now = 499;
  EXPECT_FALSE(timer.Due());
  now = 500;
  EXPECT_TRUE(timer.Due());
  EXPECT_FALSE(timer.Due());
  now = 1200;
  EXPECT_TRUE(timer.Due());
  now = 1699;
  EXPECT_FALSE(timer.Due());
}

}  // namespace
}  // namespace qb
