// Two calendars' workers on real threads: their sync passes run one at a time unless the host
// allows concurrent synchronisation.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedWorker.h"

#include <wx/utils.h>

#include <chrono>
#include <thread>

namespace {
struct Pass {
    int64_t begin, end;
};

std::vector<Pass> Passes(const ScriptedWorker& worker) {
    std::vector<Pass> passes;
    const std::vector<int64_t> begins = worker.TimesOf("begin"), ends = worker.TimesOf("end");
    for (size_t i = 0; i < begins.size() && i < ends.size(); ++i)
        passes.push_back({begins[i], ends[i]});
    return passes;
}

bool Overlap(const std::vector<Pass>& a, const std::vector<Pass>& b) {
    for (const Pass& x : a)
        for (const Pass& y : b)
            if (x.begin < y.end && y.begin < x.end)
                return true;
    return false;
}

class SyncLockTest : public FakeHostTest {
  protected:
    // Runs both workers on their own threads for about two and a half seconds.
    void RunBoth(bool concurrent) {
        CRTMHandler first(nullptr, wxT("A"), RTM_PLUGIN_NAME), second(nullptr, wxT("B"), RTM_PLUGIN_NAME);
        ScriptedWorker a(WorkerClock::Real()), b(WorkerClock::Real());
        for (ScriptedWorker* w : {&a, &b}) {
            w->SetConcurrent(concurrent);
            w->writeResult = [] {
                wxMilliSleep(150);
                return RTM_OK;
            };
        }
        for (CRTMHandler* h : {&first, &second}) {
            for (int i = 0; i < 4; ++i)
                h->Enqueue(true, ITEM_WRITE, icalcomponent_new_vtodo());
        }
        std::thread ta([&] { a.PollLoop(&first, 0, false); });
        std::thread tb([&] { b.PollLoop(&second, 0, false); });
        wxMilliSleep(2500);
        a.RequestStop();
        b.RequestStop();
        ta.join();
        tb.join();
        passesA = Passes(a);
        passesB = Passes(b);
    }
    std::vector<Pass> passesA, passesB;
};
}  // namespace

TEST_F(SyncLockTest, PassesOfTwoCalendarsNeverOverlapByDefault) {
    RunBoth(false);
    ASSERT_FALSE(passesA.empty());
    ASSERT_FALSE(passesB.empty());
    EXPECT_FALSE(Overlap(passesA, passesB));
}

TEST_F(SyncLockTest, ConcurrentSynchronisationLetsThemOverlap) {
    RunBoth(true);
    ASSERT_FALSE(passesA.empty());
    ASSERT_FALSE(passesB.empty());
    EXPECT_TRUE(Overlap(passesA, passesB));
}

TEST_F(SyncLockTest, AWorkerWaitingForAnotherCalendarsPassStopsAtOnce) {
    CRTMHandler handler(nullptr, wxT("A"), RTM_PLUGIN_NAME);
    ScriptedWorker worker(WorkerClock::Real());
    handler.Enqueue(true, ITEM_WRITE, icalcomponent_new_vtodo());
    CThreadHelper::s_SyncLock.Enter();  // another calendar's pass runs
    std::thread thread([&] { worker.PollLoop(&handler, 0, false); });
    wxMilliSleep(1500);
    const auto asked = std::chrono::steady_clock::now();
    worker.RequestStop();
    thread.join();
    CThreadHelper::s_SyncLock.Leave();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1500));
    EXPECT_TRUE(worker.TimesOf("write").empty());
    EXPECT_EQ(handler.QueueCount(true), 1u) << "the change waits for the next worker";
}
