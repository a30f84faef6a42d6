#include "rtm/CallSpacing.h"
#include "rtm/ServiceAddress.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

namespace {
class SpacingRule : public ::testing::Test {
  protected:
    void SetUp() override {
        CCallSpacing::Get().Reset();
        CCallSpacing::Get().SetClock([this] { return now; });
    }
    void TearDown() override {
        CCallSpacing::Get().SetClock(nullptr);
        CCallSpacing::Get().SetInterval(-1);
        CCallSpacing::Get().Reset();
        wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
        wxUnsetEnv(wxT("RTM_CALL_SPACING_MS"));
    }
    long WaitAfter(int64_t elapsed) {
        CCallSpacing::Get().MarkCallEnded();
        now += elapsed;
        return CCallSpacing::Get().WaitBeforeCall();
    }
    int64_t now = 1000000;
};

TEST_F(SpacingRule, WaitsTheRestOfTheSecond) {
    EXPECT_EQ(CCallSpacing::Get().WaitBeforeCall(), 0);  // first call of the process
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
    CCallSpacing::Get().SetInterval(0);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("0"));
    EXPECT_TRUE(IsDefaultService());
    EXPECT_EQ(CCallSpacing::Get().Interval(), 1000);
    EXPECT_EQ(WaitAfter(10), 990);
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT("https://api.rememberthemilk.com/"));
    EXPECT_EQ(CCallSpacing::Get().Interval(), 1000);
}

TEST_F(SpacingRule, OtherAddressesMayBeSpacedLess) {
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT("http://127.0.0.1:8099"));
    EXPECT_EQ(CCallSpacing::Get().Interval(), 1000);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("250"));
    EXPECT_EQ(CCallSpacing::Get().Interval(), 250);
    EXPECT_EQ(WaitAfter(50), 200);
    CCallSpacing::Get().SetInterval(0);
    EXPECT_EQ(WaitAfter(0), 0);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("soon"));
    CCallSpacing::Get().SetInterval(-1);
    EXPECT_EQ(CCallSpacing::Get().Interval(), 1000);
}
}  // namespace
