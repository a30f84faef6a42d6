// Method calls are spaced: a call that follows the previous one within a second waits the rest,
// whichever connection makes it and however the previous one ended.
#include "rtm/CallSpacing.h"
#include "tests/support/EmulatorFixture.h"

#include <chrono>

namespace {
class CallSpacingTest : public EmulatorTest {
  protected:
    uint32_t Call(CRTMConnection& connection) {
        wxString reply;
        return connection.CallMethod(EchoParams(), reply);
    }
};

TEST_F(CallSpacingTest, EveryCallWaitsTheRestOfTheSecond) {
    Spacing().SetInterval(-1);  // the full second, as for the real service
    int64_t now = 5000000;
    std::vector<long> sleeps;
    Spacing().SetClock([&now] { return now; });
    Spacing().SetSleeper([&](long ms) {
        sleeps.push_back(ms);
        now += ms;
    });
    auto first = Connection();
    auto second = Connection();
    emulator->InjectFault(rtmemu::Fault::Status(500));
    ASSERT_EQ(Call(*first), RTM_OK);  // the first call of the process does not wait; a failed one counts
    EXPECT_TRUE(sleeps.empty());
    now += 300;
    ASSERT_EQ(Call(*second), RTM_OK);
    EXPECT_EQ(sleeps, std::vector<long>{700});
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("Work: Waiting 700 millisecs before the next method call.")));
    now += 1000;
    ASSERT_EQ(Call(*first), RTM_OK);
    EXPECT_EQ(sleeps.size(), 1u);
}

}  // namespace
