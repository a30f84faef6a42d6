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

TEST_F(WorkerLifecycleTest, StartingTwiceMakesOneWorkerAndOneAuthorisation) {
    Authorised();
    Handler().Start(nullptr);
    EXPECT_TRUE(Handler().HasWorker());
    Handler().Start(nullptr);
    EXPECT_TRUE(Handler().HasWorker());
    EXPECT_EQ(emulator->CountCalls("rtm.auth.checkToken"), 1u);
}

TEST_F(WorkerLifecycleTest, ADisabledHandlerDoesNotEvenAuthorise) {
    Authorised();
    Handler().SetEnabled(false);
    Handler().Start(nullptr);
    EXPECT_FALSE(Handler().HasWorker());
    EXPECT_EQ(emulator->CountCalls("rtm.auth.checkToken"), 0u);
}

TEST_F(WorkerLifecycleTest, DisablingWithoutAWorkerStillReportsIdle) {
    Handler().SetEnabled(false);
    ASSERT_EQ(host().trayStatuses.size(), 1u);
    EXPECT_EQ(host().trayStatuses[0].first, TRAY_IDLE);
    EXPECT_EQ(host().trayStatuses[0].second, wxT("Work"));
}

TEST_F(WorkerLifecycleTest, AFailedAuthorisationStartsNoWorkerWithoutOfflineCopy) {
    Authorised();
    ASSERT_TRUE(emulator->SetRefusing(true));
    Handler().Start(nullptr);
    EXPECT_FALSE(Handler().HasWorker());
    EXPECT_TRUE(TraySeen(TRAY_FAILED));
}

TEST_F(WorkerLifecycleTest, WithOfflineCopyAFailedAuthorisationStillStartsTheWorker) {
    Authorised();
    Config().Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), true);
    ASSERT_TRUE(emulator->SetRefusing(true));
    Handler().Start(nullptr);
    EXPECT_TRUE(Handler().HasWorker());
}

TEST_F(WorkerLifecycleTest, ARestartedWorkerUsesTheSettingsOfThatMoment) {
    Authorised();
    Handler().Start(nullptr);
    Handler().SetEnabled(false);
    EXPECT_FALSE(Handler().HasWorker());
    EXPECT_EQ(host().trayStatuses.back().first, TRAY_IDLE);

    const std::string newToken = GrantedToken();
    Store(wxT("AuthToken"), wxString::FromUTF8(newToken.c_str()));
    Handler().SetEnabled(true);
    Handler().Start(nullptr);
    ASSERT_TRUE(Handler().HasWorker());
    Handler().Refresh();
    ASSERT_TRUE(Eventually([&] { return emulator->CountCalls("rtm.tasks.getList") > 0; }));
    bool sentNewToken = false;
    for (const auto& request : emulator->Requests()) {
        if (request.method != "rtm.tasks.getList")
            continue;
        auto token = request.params.find("auth_token");
        sentNewToken = token != request.params.end() && token->second == newToken;
    }
    EXPECT_TRUE(sentNewToken);
}

TEST_F(WorkerLifecycleTest, AnIdleWorkerStopsWithinAboutASecond) {
    Authorised();
    Handler().Start(nullptr);
    wxMilliSleep(300);
    wxStopWatch watch;
    Handler().SetEnabled(false);
    EXPECT_LT(watch.Time(), 1500);
    EXPECT_FALSE(Handler().HasWorker());
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

TEST_F(WorkerLifecycleTest, TheWorkersCopyHasTheProxyPasswordDecoded) {
    host().network.proxyPassword = wxT("terces");
    Handler();
    RTMSettings settings = Handler().Settings().DeepCopy();
    CRTMThread thread(&Handler(), std::move(settings), Services());
    EXPECT_EQ(thread.Settings().network.proxyPassword, wxT("secret"));
    EXPECT_EQ(Handler().Settings().network.proxyPassword, wxT("terces"));
    EXPECT_EQ(host().decodeCalls, 1);
}

TEST_F(WorkerLifecycleTest, APassWithoutTokenShowsTheMissingTokenMessage) {
    CRTMThread thread(&Handler(), Handler().Settings().DeepCopy(), Services());
    EXPECT_EQ(thread.BeginPass(nullptr), RTM_FAILED);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(host().messages[0].style, MSG_STYLE_ERROR);
    EXPECT_TRUE(host().messages[0].returnAtOnce);
    EXPECT_TRUE(host().messages[0].text.StartsWith(wxT("[")));
    EXPECT_TRUE(
        host().messages[0].text.Contains(wxT("] Remember The Milk Error (Work)!\nAuthentication token is "
                                             "missing. You need to give Corvane access to "
                                             "your Remember The Milk account.")));
}

TEST_F(WorkerLifecycleTest, AChangeIsKeptWhenTheListCannotBeLookedUpForWantOfTheService) {
    Authorised();
    Config().Write(wxT("/Remember The Milk/Work/List"), wxT("Work"));
    Handler().Start(nullptr);
    ASSERT_TRUE(Handler().HasWorker());
    ASSERT_TRUE(emulator->SetRefusing(true));
    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_set_uid(todo, "new-1");
    icalcomponent_set_summary(todo, "Written while offline");
    ComponentArray array;
    array.Add(todo);
    Handler().WriteComponents(array);
    icalcomponent_free(todo);
    ASSERT_TRUE(Eventually([&] { return TraySeen(TRAY_FAILED); }));
    Handler().SetEnabled(false);
    EXPECT_EQ(Handler().QueueCount(true), 1u);
    EXPECT_TRUE(Handler().IsQueued(true, ITEM_WRITE));
}
