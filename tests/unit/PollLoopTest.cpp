// The worker's poll loop on a fake clock: polling, retries, suspend detection, start-up delay, stop.
#include "plugin/RTMHandler.h"
#include "rtm/ResultCodes.h"
#include "sync/OfflineCalendar.h"
#include "sync/OfflineFileName.h"
#include "sync/ThreadHelper.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScriptedWorker.h"

#include <wx/ffile.h>
#include <wx/memconf.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {
// A to-do of its own each time: the queue keeps one change per to-do.
icalcomponent* Todo() {
    static int series = 0;
    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_set_uid(todo, ("1:" + std::to_string(++series)).c_str());
    return todo;
}

class PollLoopTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        handler = std::make_unique<CRTMHandler>(&config, wxT("Work"), RTM_PLUGIN_NAME);
        worker = std::make_unique<ScriptedWorker>(clock);
        start = clock.now;
    }
    // Runs the loop until the fake clock has advanced by `millis`.
    void RunFor(int64_t millis, int32_t pollMinutes = 0, bool fallBack = false) {
        const int64_t end = clock.now + millis;
        clock.onSleep = [&, end](int64_t) {
            if (clock.now >= end)
                worker->RequestStop();
        };
        worker->PollLoop(handler.get(), pollMinutes, fallBack);
    }
    wxMemoryConfig config;
    FakeClock clock;
    std::unique_ptr<CRTMHandler> handler;
    std::unique_ptr<ScriptedWorker> worker;
    int64_t start = 0;
};
}  // namespace

TEST_F(PollLoopTest, WithoutPollingOnlyTheHostsItemsAreWorkedAndWithinASecond) {
    handler->Enqueue(true, ITEM_WRITE, Todo());
    RunFor(3 * 3600 * 1000);
    ASSERT_EQ(worker->TimesOf("write").size(), 1u);
    EXPECT_LE(worker->TimesOf("write")[0] - start, 1000);
    EXPECT_TRUE(worker->TimesOf("read").empty());
}

TEST_F(PollLoopTest, PollingQueuesAReadEveryIntervalAfterTheStart) {
    RunFor(46 * 60 * 1000, 15);
    const std::vector<int64_t> reads = worker->TimesOf("read");
    ASSERT_EQ(reads.size(), 3u);
    // The first one interval after the start, each later one an interval after the previous.
    int64_t previous = start;
    for (int64_t read : reads) {
        EXPECT_GT(read - previous, 15 * 60 * 1000);
        EXPECT_LE(read - previous, 15 * 60 * 1000 + 1000);
        previous = read;
    }
}

TEST_F(PollLoopTest, NoSecondReadIsQueuedWhileOneWaits) {
    worker->readResult = [] { return RTM_NO_CONNECTION; };
    RunFor(10 * 60 * 1000, 1);
    EXPECT_EQ(handler->QueueCount(true), 1u);
    EXPECT_TRUE(handler->IsQueued(true, ITEM_READ));
}

// A failure that may pass keeps the change and retries a minute later; an unreachable service
// with the fall-back to a direct connection allowed is tried again at once every other time.
TEST_F(PollLoopTest, FailuresThatMayPassRetryAMinuteLaterOrAtOnceDirect) {
    const std::pair<uint32_t, bool> cases[] = {
        {RTM_NO_CONNECTION, false}, {RTM_NO_CONNECTION, true}, {RTM_RETRY_LATER, true}};
    for (const auto& c : cases) {
        handler = std::make_unique<CRTMHandler>(&config, wxT("Work"), RTM_PLUGIN_NAME);
        worker = std::make_unique<ScriptedWorker>(clock);
        worker->writeResult = [&] { return c.first; };
        handler->Enqueue(true, ITEM_WRITE, Todo());
        RunFor(200 * 1000, 0, c.second);
        const std::vector<int64_t> writes = worker->TimesOf("write");
        ASSERT_GE(writes.size(), 4u);
        for (size_t i = 1; i < writes.size(); ++i) {
            const bool atOnce = c.first == RTM_NO_CONNECTION && c.second && i % 2 == 1;
            EXPECT_GE(writes[i] - writes[i - 1], atOnce ? 0 : 60000) << i;
            EXPECT_LE(writes[i] - writes[i - 1], atOnce ? 1000 : 61000) << i;
        }
        EXPECT_EQ(handler->QueueCount(true), 1u);
        EXPECT_EQ(host().trayStatuses.back().first, TRAY_FAILED);
    }
}

TEST_F(PollLoopTest, AnUnreachableServiceMakesTheNextDownloadFull) {
    handler->SetLastRead(icaltime_from_string("20240101T000000Z"));
    int reads = 0;
    worker->readResult = [&] { return ++reads == 1 ? RTM_NO_CONNECTION : RTM_OK; };
    handler->Enqueue(true, ITEM_READ, nullptr);
    RunFor(70 * 1000);
    ASSERT_EQ(worker->readWasFull.size(), 2u);
    EXPECT_FALSE(worker->readWasFull[0]);
    EXPECT_TRUE(worker->readWasFull[1]);
    EXPECT_FALSE(icaltime_is_null_time(handler->GetLastRead())) << "a successful read sets the time";
}

TEST_F(PollLoopTest, OtherFailuresDropTheItemAndThePassGoesOn) {
    worker->writeResult = [] { return RTM_FAILED; };
    handler->Enqueue(true, ITEM_WRITE, Todo());
    handler->Enqueue(true, ITEM_DELETE, Todo());
    RunFor(5000);
    EXPECT_EQ(worker->TimesOf("write").size(), 1u);
    EXPECT_EQ(worker->TimesOf("delete").size(), 1u);
    EXPECT_EQ(handler->QueueCount(true), 0u);
    ASSERT_GE(host().trayStatuses.size(), 2u);
    EXPECT_EQ(host().trayStatuses[0].first, TRAY_SYNCING);
    EXPECT_EQ(host().trayStatuses[1].first, TRAY_IDLE);
    EXPECT_EQ(host().trayStatuses[1].second, wxT("Work"));
}

TEST_F(PollLoopTest, AGapOnTheWallClockIsTakenForASuspend) {
    bool jumped = false;
    clock.onSleep = [&](int64_t) {
        if (!jumped && clock.now - start > 3000) {
            jumped = true;
            clock.now += 45000;
        }
        if (clock.now - start > 60000)
            worker->RequestStop();
    };
    worker->PollLoop(handler.get(), 0, false);
    EXPECT_EQ(host().CountLogs(wxT("Work: 30 secs has passed since the last time check")), 1u);
    EXPECT_TRUE(host().HasLog(LOG_TRACE, wxT("Wait for 5 secs before continue.")));
}

TEST_F(PollLoopTest, NothingIsSentUntilTheStartupDelayHasPassed) {
    host().startupDelayPassed = false;
    handler->Enqueue(true, ITEM_WRITE, Todo());
    clock.onSleep = [&](int64_t) {
        if (clock.now - start >= 20000)
            host().startupDelayPassed = true;
        if (clock.now - start >= 25000)
            worker->RequestStop();
    };
    worker->PollLoop(handler.get(), 0, false);
    ASSERT_EQ(worker->TimesOf("write").size(), 1u);
    EXPECT_GE(worker->TimesOf("write")[0] - start, 20000);
    EXPECT_LE(worker->TimesOf("write")[0] - start, 21000);
}

TEST_F(PollLoopTest, AStopIsSeenWithinAboutASecondWhenIdle) {
    clock.onSleep = [&](int64_t) {
        if (clock.sleeps == 5)
            worker->RequestStop();
    };
    const int64_t stopAt = start + 5000;
    worker->PollLoop(handler.get(), 0, false);
    EXPECT_LE(clock.now - stopAt, 1100);
}

TEST_F(PollLoopTest, AStopDuringAPassKeepsTheItemsNotYetSent) {
    for (int i = 0; i < 3; ++i)
        handler->Enqueue(true, ITEM_WRITE, Todo());
    worker->onCall = [&](const char* what) {
        if (std::string(what) == "write")
            worker->RequestStop();
    };
    RunFor(10000);
    EXPECT_EQ(worker->TimesOf("write").size(), 1u);
    EXPECT_EQ(handler->QueueCount(true), 2u);
}

// A name only this calendar can give keeps the described file name; names that would share one
// ("a/b" and "a:b", "team.tasks" and "team.notes", "a/b" and "a_b") get one each.
TEST_F(PollLoopTest, OfflineFileNames) {
    const wxString kept[] = {wxT("Work"), wxT("a_b"), wxT("Ünï code"), wxT("")};
    const wxString derived[] = {wxT("a/b"),          wxT("a:b"), wxT("team.tasks"),   wxT("team.notes"),
                                wxT("x:\\*?\"<>|y"), wxT("."),   wxT("a_b-Offline.x")};
    std::set<wxString> files;
    auto fileOf = [&](const wxString& calendar) {
        worker->SetOfflineFile(tempDir, wxString(RTM_PLUGIN_NAME) + wxT("-") + calendar + wxT("-Offline"),
                               true);
        EXPECT_EQ(worker->OfflineFile().GetPath(), wxFileName::DirName(tempDir).GetPath());
        EXPECT_TRUE(files.insert(worker->OfflineFile().GetFullName()).second) << calendar;
        return worker->OfflineFile().GetFullName();
    };
    for (const wxString& calendar : kept)
        EXPECT_EQ(fileOf(calendar), wxT("Remember The Milk-") + calendar + wxT("-Offline.ics"));
    EXPECT_TRUE(fileOf(derived[0]).Matches(wxT("Remember The Milk-a_b-Offline.????????.ics")));
    EXPECT_TRUE(fileOf(derived[2]).Matches(wxT("Remember The Milk-team_tasks-Offline.????????.ics")));
    for (size_t i = 0; i < WXSIZEOF(derived); ++i)
        if (i != 0 && i != 2)
            fileOf(derived[i]);
    // The same name always gives the same file.
    worker->SetOfflineFile(tempDir, wxT("Remember The Milk-team.tasks-Offline"), true);
    EXPECT_EQ(files.count(worker->OfflineFile().GetFullName()), 1u);
}

// A file an earlier version shared between calendars gives this calendar only the to-dos of its
// own list, and stays as it was for the others.
TEST_F(PollLoopTest, TheSharedEarlierFileGivesOnlyTheToDosOfTheList) {
    const wxString earlier = tempDir + wxT("/Remember The Milk-team.ics");
    const std::string text =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
        "BEGIN:VTODO\r\nUID:21:1\r\nX-CORVANE-RTM-TASK-ID:5\r\nSUMMARY:ours\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nUID:22:2\r\nX-CORVANE-RTM-TASK-ID:6\r\nSUMMARY:theirs\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nUID:21:3\r\nSUMMARY:no task id\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nUID:made-offline\r\nSUMMARY:whose?\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nUID:21:4\r\nX-CORVANE-RTM-TASK-ID:7\r\nSUMMARY:old copy\r\nEND:VTODO\r\n"
        "END:VCALENDAR\r\n";
    wxFFile(earlier, wxT("wb")).Write(text.data(), text.size());
    worker->SetOfflineFile(tempDir, wxT("Remember The Milk-team.tasks-Offline"), true);
    EXPECT_EQ(DescribedOfflineFile(tempDir, wxT("Remember The Milk-team.tasks-Offline")).GetFullPath(),
              earlier);

    COfflineCalendar offline(worker->OfflineFile());
    const std::string newer =
        "BEGIN:VTODO\r\nUID:21:4\r\nX-CORVANE-RTM-TASK-ID:7\r\nSUMMARY:new\r\nEND:VTODO\r\n";
    icalcomponent* stored = icalcomponent_new_from_string(newer.c_str());
    offline.StoreComponent(stored);
    icalcomponent_free(stored);
    EXPECT_EQ(TakeOverEarlierTodos(offline, wxFileName(earlier), wxT("")), 0) << "no list, no owner";
    EXPECT_EQ(TakeOverEarlierTodos(offline, wxFileName(earlier), wxT("21")), 1);
    ASSERT_NE(offline.Components().Find(wxT("21:1")), nullptr);
    EXPECT_EQ(offline.Components().Size(), 2u);
    EXPECT_STREQ(icalcomponent_get_summary(offline.Components().Find(wxT("21:4"))), "new");
    wxString after;
    wxFFile(earlier, wxT("rb")).ReadAll(&after, wxConvUTF8);
    EXPECT_EQ(after, wxString::FromUTF8(text.c_str()));
}

TEST_F(PollLoopTest, WithoutOfflineCopyTheOldFileIsDeleted) {
    const wxString path = tempDir + wxT("/Remember The Milk-Work-Offline.ics");
    wxFFile(path, wxT("w")).Write(wxT("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"));
    worker->SetOfflineFile(tempDir, wxT("Remember The Milk-Work-Offline"), true);
    EXPECT_TRUE(wxFileName::FileExists(path));
    worker->SetOfflineFile(tempDir, wxT("Remember The Milk-Work-Offline"), false);
    EXPECT_FALSE(wxFileName::FileExists(path));
    worker->SetOfflineFile(tempDir, wxT("Remember The Milk-Work-Offline"), false);  // missing: no error
}
