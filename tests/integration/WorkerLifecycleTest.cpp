// Starting, disabling and stopping a calendar's worker against the emulator, on the real clock.
#include "rtm/ResultCodes.h"
#include "sync/RTMThread.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <functional>

namespace {
class WorkerLifecycleTest : public EmulatorTest {
  protected:
    void Authorised() { Store(wxT("AuthToken"), wxString::FromUTF8(GrantedToken().c_str())); }

    // Waits (up to `millis`) until the condition holds.
    static bool Eventually(const std::function<bool()>& condition, long millis = 5000) {
        wxStopWatch watch;
        while (watch.Time() < millis) {
            if (condition())
                return true;
            wxMilliSleep(20);
        }
        return condition();
    }

    bool TraySeen(int status) {
        std::lock_guard<std::mutex> lock(host().mutex);
        for (const auto& t : host().trayStatuses)
            if (t.first == status)
                return true;
        return false;
    }
};
}  // namespace

TEST_F(WorkerLifecycleTest, StartMakesOneWorkerWhenEnabledAndAuthorisedOrOffline) {
    Handler().SetEnabled(false);  // also without a worker the tray is told
    EXPECT_EQ(host().trayStatuses, (std::vector<std::pair<int, wxString>>{{TRAY_IDLE, wxT("Work")}}));
    Authorised();
    Handler().Start(nullptr);
    EXPECT_FALSE(Handler().HasWorker());
    EXPECT_EQ(emulator->CountCalls("rtm.auth.checkToken"), 0u)
        << "a disabled calendar does not even authorise";
    Handler().SetEnabled(true);
    Handler().Start(nullptr);
    Handler().Start(nullptr);
    EXPECT_TRUE(Handler().HasWorker());
    EXPECT_EQ(emulator->CountCalls("rtm.auth.checkToken"), 1u);
    Handler().SetEnabled(false);

    // A failed authorisation starts none, unless the offline copy can show the tasks.
    ASSERT_TRUE(emulator->SetRefusing(true));
    for (const bool offline : {false, true}) {
        Config().Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), offline);
        DropHandler();
        Handler().Start(nullptr);
        EXPECT_EQ(Handler().HasWorker(), offline);
        EXPECT_TRUE(TraySeen(TRAY_FAILED));
    }
}

TEST_F(WorkerLifecycleTest, AnIdleWorkerStopsWithinASecondAndARestartedOneUsesTheSettingsOfThatMoment) {
    Authorised();
    Handler().Start(nullptr);
    wxMilliSleep(300);
    wxStopWatch watch;
    Handler().SetEnabled(false);
    EXPECT_LT(watch.Time(), 1500);
    EXPECT_FALSE(Handler().HasWorker());

    const std::string newToken = GrantedToken();
    Store(wxT("AuthToken"), wxString::FromUTF8(newToken.c_str()));
    Handler().SetEnabled(true);
    Handler().Start(nullptr);
    Handler().Refresh();
    ASSERT_TRUE(Eventually([&] { return emulator->CountCalls("rtm.tasks.getList") > 0; }));
    for (const auto& request : emulator->Requests()) {
        if (request.method == "rtm.tasks.getList") {
            EXPECT_EQ(request.params.find("auth_token")->second, newToken);
        }
    }
}

TEST_F(WorkerLifecycleTest, AStopDuringAStalledCallEndsWithinASecondAndLosesNothing) {
    Authorised();
    Handler().Start(nullptr);
    emulator->InjectFault(rtmemu::Fault::StallFor(30000));
    Handler().Refresh();
    ASSERT_TRUE(Eventually([&] { return TraySeen(TRAY_SYNCING); }));
    wxMilliSleep(300);  // the request is on its way and stalled

    wxStopWatch watch;
    Handler().SetEnabled(false);
    EXPECT_LT(watch.Time(), 1500);
    EXPECT_FALSE(Handler().HasWorker());
    // The interrupted download is back at the front of the queue for the next worker.
    EXPECT_EQ(Handler().QueueCount(true), 1u);
    EXPECT_TRUE(Handler().IsQueued(true, ITEM_READ));
    // No error box for a stop.
    EXPECT_TRUE(host().messages.empty());
}

// The worker's copy of the settings has the proxy password decoded; without a token a pass shows
// why it cannot work.
TEST_F(WorkerLifecycleTest, TheWorkersOwnSettings) {
    host().network.proxyPassword = wxT("terces");
    CRTMThread thread(&Handler(), Handler().Settings().DeepCopy(), Services());
    EXPECT_EQ(thread.Settings().network.proxyPassword, wxT("secret"));
    EXPECT_EQ(Handler().Settings().network.proxyPassword, wxT("terces"));
    EXPECT_EQ(host().decodeCalls, 1);
    EXPECT_EQ(thread.BeginPass(nullptr), RTM_FAILED);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(host().messages[0].style, MSG_STYLE_ERROR);
    EXPECT_TRUE(WithoutTime(host().messages[0].text)
                    .StartsWith(wxT("Remember The Milk Error (Work)!\nAuthentication token is missing.")));
}
