// The rule for the spacing of method calls, on an injected clock, and where the service lives.
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

// The rest of the second after the last call ended; the same millisecond and a clock that went
// back wait the whole second.
TEST_F(SpacingRule, WaitsTheRestOfTheSecond) {
    EXPECT_EQ(CCallSpacing::Get().WaitBeforeCall(), 0);  // first call of the process
    const std::pair<int64_t, long> cases[] = {{300, 700},    {999, 1},  {1000, 0},
                                              {86400000, 0}, {0, 1000}, {-5000, 1000}};
    for (const auto& c : cases)
        EXPECT_EQ(WaitAfter(c.first), c.second) << c.first;
}

TEST_F(SpacingRule, OnlyAnotherServiceMayBeSpacedLess) {
    wxUnsetEnv(RTM_SERVICE_URL_VARIABLE);
    EXPECT_EQ(ServiceRestEndpoint(), wxT("https://api.rememberthemilk.com/services/rest/"));
    EXPECT_EQ(ServiceAuthPage(), wxT("https://www.rememberthemilk.com/services/auth/"));
    CCallSpacing::Get().SetInterval(0);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("0"));
    for (const wxChar* real : {wxT(""), wxT("https://api.rememberthemilk.com/")}) {
        wxSetEnv(RTM_SERVICE_URL_VARIABLE, real);
        EXPECT_TRUE(IsDefaultService()) << real;
        EXPECT_EQ(CCallSpacing::Get().Interval(), 1000) << real;
    }
    wxSetEnv(RTM_SERVICE_URL_VARIABLE, wxT(" http://127.0.0.1:8099// "));
    EXPECT_EQ(ServiceRestEndpoint(), wxT("http://127.0.0.1:8099/services/rest/"));
    EXPECT_EQ(ServiceAuthPage(), wxT("http://127.0.0.1:8099/services/auth/"));
    EXPECT_EQ(WaitAfter(0), 0);
    CCallSpacing::Get().SetInterval(-1);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("250"));
    EXPECT_EQ(WaitAfter(50), 200);
    wxSetEnv(wxT("RTM_CALL_SPACING_MS"), wxT("soon"));
    EXPECT_EQ(CCallSpacing::Get().Interval(), 1000);
}
}  // namespace
