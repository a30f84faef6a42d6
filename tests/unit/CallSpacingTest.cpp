#include "rtm/CallSpacing.h"

#include <gtest/gtest.h>

namespace {
class SpacingRule : public ::testing::Test {
  protected:
    void SetUp() override {
        real.SetClock([this] { return now; });
        other.SetClock([this] { return now; });
    }
    long WaitAfter(int64_t elapsed, CCallSpacing* spacing = nullptr) {
        CCallSpacing& s = spacing ? *spacing : real;
        s.MarkCallEnded();
        now += elapsed;
        return s.WaitBeforeCall();
    }
    int64_t now = 1000000;
    CCallSpacing real{true};
    CCallSpacing other{false};
};

TEST_F(SpacingRule, WaitsTheRestOfTheSecond) {
    EXPECT_EQ(real.WaitBeforeCall(), 0);  // first call of the process
    EXPECT_EQ(WaitAfter(300), 700);
    EXPECT_EQ(WaitAfter(999), 1);
    EXPECT_EQ(WaitAfter(1000), 0);
    EXPECT_EQ(WaitAfter(86400000), 0);
}

TEST_F(SpacingRule, SameMillisecondAndBackwardClockWaitTheWholeSecond) {
    EXPECT_EQ(WaitAfter(0), 1000);
    EXPECT_EQ(WaitAfter(-5000), 1000);
}

TEST_F(SpacingRule, RealServiceAlwaysGetsTheFullSecond) {
    real.SetInterval(0);
    EXPECT_EQ(real.Interval(), 1000);
    EXPECT_EQ(WaitAfter(10), 990);
    EXPECT_EQ(CCallSpacing(true, 0).Interval(), 1000);
}

TEST_F(SpacingRule, OtherAddressesMayBeSpacedLess) {
    EXPECT_EQ(other.Interval(), 1000);
    other.SetInterval(250);
    EXPECT_EQ(WaitAfter(50, &other), 200);
    other.SetInterval(0);
    EXPECT_EQ(WaitAfter(0, &other), 0);
    other.SetInterval(-1);
    EXPECT_EQ(other.Interval(), 1000);
    EXPECT_EQ(CCallSpacing(false, 250).Interval(), 250);
}
}  // namespace
