// Method calls are spaced: a call that follows the previous one within a second waits the rest.
#include "rtm/CallSpacing.h"
#include "tests/support/EmulatorFixture.h"

#include <chrono>

namespace {
class CallSpacingTest : public EmulatorTest {
  protected:
    void TearDown() override {
        connection.reset();
        EmulatorTest::TearDown();
    }
    void UseFakeClock() {
        Spacing().SetInterval(-1);  // the full second, as for the real service
        Spacing().SetClock([this] { return now; });
        Spacing().SetSleeper([this](long ms) {
            sleeps.push_back(ms);
            now += ms;
        });
    }
    uint32_t Call() {
        wxString reply;
        const uint32_t status = connection->CallMethod(EchoParams(), reply);
        return status;
    }
    int64_t now = 5000000;
    std::vector<long> sleeps;
    std::unique_ptr<CRTMConnection> connection;
};

TEST_F(CallSpacingTest, WaitsTheRestOfTheSecondWithAnInjectedClock) {
    UseFakeClock();
    connection = Connection();
    ASSERT_EQ(Call(), RTM_OK);  // the first call of the process does not wait
    EXPECT_TRUE(sleeps.empty());

    now += 300;
    ASSERT_EQ(Call(), RTM_OK);
    EXPECT_EQ(sleeps, std::vector<long>{700});
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("Work: Waiting 700 millisecs before the next method call.")));

    now += 1000;
    ASSERT_EQ(Call(), RTM_OK);
    EXPECT_EQ(sleeps.size(), 1u);

    // A call in the very millisecond the last one ended waits the whole second.
    ASSERT_EQ(Call(), RTM_OK);
    EXPECT_EQ(sleeps, (std::vector<long>{700, 1000}));
}

TEST_F(CallSpacingTest, FailedCallsCountAsWell) {
    UseFakeClock();
    emulator->InjectFault(rtmemu::Fault::Status(500));
    connection = Connection();
    ASSERT_EQ(Call(), RTM_OK);  // reported, but a request all the same
    now += 10;
    ASSERT_EQ(Call(), RTM_OK);
    EXPECT_EQ(sleeps, std::vector<long>{990});
}

TEST_F(CallSpacingTest, SpacingIsSharedByAllConnections) {
    UseFakeClock();
    auto first = Connection();
    auto second = Connection();
    wxString reply;
    ASSERT_EQ(first->CallMethod(EchoParams(), reply), RTM_OK);
    now += 400;
    ASSERT_EQ(second->CallMethod(EchoParams(), reply), RTM_OK);
    EXPECT_EQ(sleeps, std::vector<long>{600});
}

TEST_F(CallSpacingTest, RealClockKeepsCallsASecondApart) {
    Spacing().SetInterval(-1);
    connection = Connection();
    ASSERT_EQ(Call(), RTM_OK);
    ASSERT_EQ(Call(), RTM_OK);
    const auto requests = emulator->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_GE(requests[1].time - requests[0].time, std::chrono::milliseconds(1000));
}
}  // namespace
