// The rule for the spacing of method calls, on an injected clock, and where the service lives.
#include "rtm/CallSpacing.h"
#include "rtm/ServiceAddress.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

namespace {
class SpacingRule : public ::testing::Test {
  protected:
    void SetUp() override {
        real.SetClock([this] { return now; });
        other.SetClock([this] { return now; });
    }
    void TearDown() override {
        wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
        wxUnsetEnv(wxT("RTM_CALL_SPACING_MS"));
    }
    long WaitAfter(int64_t elapsed, CCallSpacing& spacing) {
        spacing.MarkCallEnded();
        now += elapsed;
        return spacing.WaitBeforeCall();
    }
    int64_t now = 1000000;
    CCallSpacing real{true};
    CCallSpacing other{false};
};

// The rest of the second after the last call ended; the same millisecond and a clock that went
// back wait the whole second.
TEST_F(SpacingRule, WaitsTheRestOfTheSecond) {
    EXPECT_EQ(real.WaitBeforeCall(), 0);  // first call of the process
    const std::pair<int64_t, long> cases[] = {{300, 700},    {999, 1},  {1000, 0},
                                              {86400000, 0}, {0, 1000}, {-5000, 1000}};
    for (const auto& c : cases)
        EXPECT_EQ(WaitAfter(c.first, real), c.second) << c.first;
}

TEST_F(SpacingRule, OnlyAnotherServiceMayBeSpacedLess) {
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
    EXPECT_EQ(ServiceAddress::FromEnvironment().RestEndpoint(),
              wxT("https://api.rememberthemilk.com/services/rest/"));
    EXPECT_EQ(ServiceAddress::FromEnvironment().AuthPage(),
              wxT("https://www.rememberthemilk.com/services/auth/"));
    for (const wxChar* base : {wxT(""), wxT("https://api.rememberthemilk.com/")}) {
        wxSetEnv(RTM_SERVICE_URL_VARIABLE, base);
        EXPECT_TRUE(ServiceAddress::FromEnvironment().IsDefault()) << base;
    }
    real.SetInterval(0);
    EXPECT_EQ(real.Interval(), 1000);
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(" http://127.0.0.1:8099// "));
    const ServiceAddress emulator = ServiceAddress::FromEnvironment();
    EXPECT_FALSE(emulator.IsDefault());
    EXPECT_EQ(emulator.RestEndpoint(), wxT("http://127.0.0.1:8099/services/rest/"));
    EXPECT_EQ(emulator.AuthPage(), wxT("http://127.0.0.1:8099/services/auth/"));
    other.SetInterval(0);
    EXPECT_EQ(WaitAfter(0, other), 0);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("250"));
    other.SetInterval(IntervalFromEnvironment());
    EXPECT_EQ(WaitAfter(50, other), 200);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("soon"));
    other.SetInterval(IntervalFromEnvironment());
    EXPECT_EQ(other.Interval(), 1000);
}
}  // namespace
