// The calendar's worker against the emulator under the failures of a real network: no change of
// the user is lost, none is made twice, nothing deleted comes back. The worker runs on the test's
// thread on a fake clock, so its retry delays pass at once while the calls are real HTTP.
#include "rtm/ResultCodes.h"
#include "sync/OfflineCalendar.h"
#include "sync/RTMThread.h"
#include "tests/support/EmulatorFixture.h"
#include "tests/support/FakeClock.h"

#include <wx/ffile.h>
#include <wx/filename.h>

#include <ctime>
#include <functional>
#include <string>

namespace {
class TestWorker : public CRTMThread {
  public:
    using CRTMThread::CRTMThread;
    using CThreadHelper::RequestStop;
};

icalcomponent* Todo(const std::string& uid, const std::string& body) {
    return icalparser_parse_string(("BEGIN:VTODO\r\nUID:" + uid + "\r\n" + body + "END:VTODO\r\n").c_str());
}

class NothingLostTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedFile(CORVANE_TEST_DATA_DIR "/account.xml", &error))
            << error;
        Store(wxT("AuthToken"), wxString::FromUTF8(GrantedToken().c_str()));
    }
    void Offline(bool on) { Config().Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), on); }

    // The handler as the host starts it, with its journal.
    CRTMHandler& Started() {
        CRTMHandler& handler = Handler();
        handler.ReadAuthToken();
        handler.LoadJournal(JournalPath(tempDir, RTM_PLUGIN_NAME, wxT("Work")),
                            JournalPath(tempDir, RTM_PLUGIN_NAME, wxT("Work"), wxT("Added")));
        return handler;
    }
    // Runs one worker of the handler on a fake clock until `until` holds (by default: its outgoing
    // queue is empty) or an hour has passed, calling `step` at each of its sleeps.
    void RunWorker(const std::function<void()>& step = {}, const std::function<bool()>& until = {}) {
        CRTMHandler& handler = Started();
        TestWorker worker(&handler, handler.Settings().DeepCopy(), Services());
        FakeClock clock;
        worker.SetClock(&clock);
        const int64_t end = clock.now + 3600 * 1000;
        int sleeps = 0;
        clock.onSleep = [&](int64_t) {
            if (step)
                step();
            const bool done = until ? until() : handler.QueueCount(true) == 0 && ++sleeps > 20;
            if (clock.now > end || done)
                worker.RequestStop();
        };
        worker.PollLoop(&handler, 0, false);
    }
    void Write(icalcomponent* todo) { Queue(todo, ITEM_WRITE); }
    void Delete(icalcomponent* todo) { Queue(todo, ITEM_DELETE); }
    void Queue(icalcomponent* todo, uint32_t kind) {
        ComponentArray array;
        array.Add(todo);
        if (kind == ITEM_WRITE)
            Handler().WriteComponents(array);
        else
            Handler().DeleteComponents(array);
        icalcomponent_free(todo);
    }
    size_t SeriesNamed(const std::string& name) {
        size_t count = 0;
        for (const auto& series : emulator->State().Tasks().AllSeries())
            count += series.name == name && !series.tasks.front().deleted ? 1 : 0;
        return count;
    }
    std::vector<bool> Events() {
        std::vector<bool> events;
        for (const auto& e : host().eventsWritten)
            events.push_back(e.first);
        return events;
    }
    // Whether the host's store, as the added components build it, holds the UID at the end.
    bool HostHas(const std::string& uid) {
        bool has = false;
        for (const FakeAdded& a : host().added)
            if (a.uid == uid)
                has = (a.flags & 0x8000) == 0;
        return has;
    }
    // Calls `then` once, when the emulator first sees `method`.
    void OnFirst(const std::string& method, std::function<void()> then) {
        auto done = std::make_shared<bool>(false);
        emulator->SetRequestObserver([=](const rtmemu::LoggedRequest& r) {
            if (r.method == method && !*done) {
                *done = true;
                then();
            }
        });
    }
};
}  // namespace

// Every failure that may pass keeps the change until it is sent, and sends it once.
TEST_F(NothingLostTest, AFailureThatMayPassKeepsTheNewToDoUntilItIsSentOnce) {
    const struct {
        const char* name;
        const char* method;  // the call the failure hits
        rtmemu::Fault fault;
    } cases[] = {
        {"HTTP 500 on the timeline", "rtm.timelines.create", rtmemu::Fault::Status(500)},
        {"HTTP 503 on the add", "rtm.tasks.add", rtmemu::Fault::Status(503)},
        {"unavailable page on the add", "rtm.tasks.add", rtmemu::Fault::Of(rtmemu::Fault::UnavailablePage)},
        {"non-XML body after the add", "rtm.tasks.setPriority", rtmemu::Fault::Of(rtmemu::Fault::NonXmlBody)},
        {"cut-off body after the add", "rtm.tasks.setTags", rtmemu::Fault::Of(rtmemu::Fault::TruncatedBody)},
        {"HTTP 502 on the completion", "rtm.tasks.uncomplete", rtmemu::Fault::Status(502)},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "New " + std::to_string(++n);
        host().Reset();
        OnFirst(c.method, [&] { emulator->InjectFault(c.fault); });
        Write(Todo("host-" + std::to_string(n), "SUMMARY:" + name + "\r\nPRIORITY:1\r\nCATEGORIES:t\r\n"));
        RunWorker();
        emulator->SetRequestObserver(nullptr);
        EXPECT_EQ(SeriesNamed(name), 1u);
        EXPECT_EQ(Handler().QueueCount(true), 0u);
        ASSERT_FALSE(Events().empty());
        EXPECT_TRUE(Events().back()) << "success is reported once the service has it";
        EXPECT_FALSE(HostHas("host-" + std::to_string(n))) << "the host's copy gives way to the service's";
    }
}

TEST_F(NothingLostTest, AnUnreachableServiceKeepsTheChangeAndReportsNoSuccess) {
    ASSERT_TRUE(emulator->SetRefusing(true));
    Write(Todo("host-1", "SUMMARY:Offline idea\r\n"));
    int sleeps = 0;
    RunWorker([&] {
        if (++sleeps == 100)
            emulator->SetRefusing(false);
    });
    EXPECT_EQ(SeriesNamed("Offline idea"), 1u);
    EXPECT_EQ(Events().front(), false);
    EXPECT_EQ(Events().back(), true);
}

TEST_F(NothingLostTest, WithoutATokenTheChangeWaitsAndIsNotReportedWritten) {
    Store(wxT("AuthToken"), wxString());
    Write(Todo("host-1", "SUMMARY:Later\r\n"));
    int sleeps = 0;
    RunWorker({}, [&] { return ++sleeps > 300; });
    EXPECT_EQ(Handler().QueueCount(true), 1u);
    for (bool written : Events())
        EXPECT_FALSE(written);
}

TEST_F(NothingLostTest, TheLastReadTimeMovesOnlyAfterADownloadThatWasDone) {
    const struct {
        const char* name;
        rtmemu::Fault fault;
        bool readAgain;
    } cases[] = {
        {"a refusal for good", rtmemu::Fault::Envelope(320, "list_id invalid or not provided"), false},
        {"a refusal that passes", rtmemu::Fault::Envelope(105, "Service currently unavailable"), true},
        {"HTTP 500", rtmemu::Fault::Status(500), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emulator->ClearRequests();
        Handler().Refresh();
        OnFirst("rtm.tasks.getList", [&] { emulator->InjectFault(c.fault); });
        RunWorker();
        EXPECT_EQ(emulator->CountCalls("rtm.tasks.getList"), c.readAgain ? 2u : 1u);
        EXPECT_EQ(icaltime_is_null_time(Handler().GetLastRead()), !c.readAgain);
    }
}

TEST_F(NothingLostTest, AFailedListLookUpIsRetriedNeverTakenForAllLists) {
    Config().Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    DropHandler();
    OnFirst("rtm.lists.getList", [&] { emulator->InjectFault(rtmemu::Fault::Status(500)); });
    Write(Todo("host-1", "SUMMARY:Bread\r\n"));
    RunWorker();
    ASSERT_EQ(SeriesNamed("Bread"), 1u);
    for (const auto& series : emulator->State().Tasks().AllSeries()) {
        if (series.name == "Bread") {
            EXPECT_EQ(series.listId, "22");
        }
    }
}

// Changes of one to-do that follow each other closely, or cross the upload of an earlier one.
TEST_F(NothingLostTest, ChangesOfOneToDoMakeOneTaskAndOneNote) {
    // Edited again while its add is under way: the edit continues on the task the add made.
    OnFirst("rtm.tasks.add", [&] { Write(Todo("host-1", "SUMMARY:Second name\r\n")); });
    Write(Todo("host-1", "SUMMARY:First name\r\n"));
    RunWorker();
    EXPECT_EQ(SeriesNamed("First name") + SeriesNamed("Second name"), 1u);
    EXPECT_EQ(SeriesNamed("Second name"), 1u);

    // A description edited twice, the second copy not knowing the note the first one made.
    const char* edit = "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\nDESCRIPTION:New text\r\n";
    OnFirst("rtm.tasks.setName", [&] {
        Write(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\nDESCRIPTION:Newer\r\n"));
    });
    Write(Todo("21:31", edit));
    RunWorker();
    const auto series = emulator->State().Tasks().FindSeries("31");
    ASSERT_TRUE(series);
    size_t descriptions = 0;
    for (const auto& note : series->notes)
        descriptions += note.title == "C2:description" ? 1 : 0;
    EXPECT_EQ(descriptions, 1u);
}

TEST_F(NothingLostTest, ADeletionWinsOverTheWritesBeforeIt) {
    // Written and deleted before the worker ran: nothing reaches the service.
    Write(Todo("host-1", "SUMMARY:Never mind\r\n"));
    Delete(Todo("host-1", "SUMMARY:Never mind\r\n"));
    RunWorker();
    EXPECT_EQ(emulator->CountCalls("rtm.tasks.add"), 0u);

    // Deleted while its add is under way: the task the add made is deleted, and not shown again.
    OnFirst("rtm.tasks.add", [&] { Delete(Todo("host-2", "SUMMARY:Oops\r\n")); });
    Write(Todo("host-2", "SUMMARY:Oops\r\n"));
    RunWorker();
    EXPECT_EQ(SeriesNamed("Oops"), 0u);
    for (const FakeAdded& a : host().added)
        EXPECT_TRUE(a.flags & 0x8000) << a.uid << " was shown again";

    // Edited, then deleted while the edit is under way.
    host().Reset();
    OnFirst("rtm.tasks.setName",
            [&] { Delete(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n")); });
    Write(Todo("21:31", "SUMMARY:Report 2\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    RunWorker();
    EXPECT_EQ(SeriesNamed("Report 2") + SeriesNamed("Report"), 0u);
    EXPECT_FALSE(HostHas("21:31"));
}

TEST_F(NothingLostTest, ATaskMovedIntoTheConfiguredListKeepsItsDescription) {
    Config().Write(wxT("/Remember The Milk/Work/List"), wxT("Work"));
    DropHandler();
    Write(Todo("22:99",
               "SUMMARY:Moved\r\nX-CORVANE-RTM-TASK-ID:98\r\nX-CORVANE-RTM-DESCRIPTION-ID:51\r\n"
               "DESCRIPTION:Keep me\r\n"));
    RunWorker();
    bool found = false;
    for (const auto& series : emulator->State().Tasks().AllSeries()) {
        if (series.name != "Moved")
            continue;
        found = true;
        ASSERT_EQ(series.notes.size() >= 1, true);
        bool description = false;
        for (const auto& note : series.notes)
            description = description || (note.title == "C2:description" && note.text == "Keep me");
        EXPECT_TRUE(description);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(emulator->State().Tasks().FindSeries("31")->notes.front().text, "Old text");
}

// What the host handed over survives the host's end, and the next start sends it.
TEST_F(NothingLostTest, AChangeHandedOverSurvivesTheHostsEnd) {
    Started();
    Write(Todo("host-1", "SUMMARY:Written before the quit\r\n"));
    Write(Todo("host-2", "SUMMARY:Completed while away\r\nSTATUS:COMPLETED\r\n"));
    Delete(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    // Killed at once: only what was on disk when the hand-over returned counts.
    const wxString journal = JournalPath(tempDir, RTM_PLUGIN_NAME, wxT("Work"));
    wxString onDisk;
    ASSERT_TRUE(wxFFile(journal).ReadAll(&onDisk));
    DropHandler();
    wxFFile(journal, wxT("w")).Write(onDisk);
    EXPECT_EQ(Started().QueueCount(true), 3u);
    RunWorker();
    EXPECT_EQ(SeriesNamed("Written before the quit"), 1u);
    for (const auto& series : emulator->State().Tasks().AllSeries()) {
        if (series.name == "Completed while away") {
            EXPECT_TRUE(series.tasks.front().completed);
        }
    }
    EXPECT_TRUE(emulator->State().Tasks().FindSeries("31")->tasks.front().deleted);
}

TEST_F(NothingLostTest, AnAddWhoseAnswerWasLostIsFoundInsteadOfMadeAgain) {
    const struct {
        const char* name;
        bool madeByTheAdd;
        bool renamedSince;  // the to-do was renamed before the retry
    } cases[] = {{"the add made the task", true, false},
                 {"the add never arrived", false, false},
                 {"the add made it, then the to-do was renamed", true, true}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string uid = "host-" + std::to_string(++n), sent = "Lost answer " + std::to_string(n);
        const std::string name = c.renamedSince ? sent + " renamed" : sent;
        Started().RecordAddSent(wxString::FromUTF8(uid.c_str()), static_cast<int64_t>(time(nullptr)),
                                wxString::FromUTF8(sent.c_str()));
        if (c.madeByTheAdd)
            emulator->State().Tasks().AddTask("21", sent);
        emulator->ClearRequests();
        Write(Todo(uid, "SUMMARY:" + name + "\r\n"));
        RunWorker();
        EXPECT_EQ(SeriesNamed(name), 1u);
        EXPECT_EQ(SeriesNamed(sent), c.renamedSince ? 0u : 1u) << "the task the add made was renamed";
        EXPECT_EQ(emulator->CountCalls("rtm.tasks.add"), c.madeByTheAdd ? 0u : 1u);
    }
}

TEST_F(NothingLostTest, TheOfflineCopyNeitherKeepsAGhostNorUploadsTwice) {
    Offline(true);
    DropHandler();
    ASSERT_TRUE(emulator->SetRefusing(true));
    Write(Todo("host-1", "SUMMARY:Made offline\r\nLAST-MODIFIED:20261201T100000Z\r\n"));
    Handler().Refresh();
    int sleeps = 0;
    RunWorker([&] {
        if (++sleeps == 50)
            emulator->SetRefusing(false);
    });
    Handler().Refresh();
    RunWorker();
    EXPECT_EQ(SeriesNamed("Made offline"), 1u);
    EXPECT_NE(Handler().Settings().lastSync, 0) << "the next worker merges with this one's time";
    wxFFile file(wxFileName(tempDir, wxT("Remember The Milk-Work-Offline.ics")).GetFullPath(), wxT("rb"));
    wxString text;
    ASSERT_TRUE(file.ReadAll(&text));
    EXPECT_FALSE(text.Contains(wxT("UID:host-1"))) << "the host's copy stays behind in the offline file";
}
