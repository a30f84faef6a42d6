// `sync`, `list`, `export` and `shell` on the built module against the emulator.
#include "tests/support/HostFixture.h"

#include <wx/stopwatch.h>
#include <wx/utils.h>

namespace {
class SyncCommandTest : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedFile(CORVANE_TEST_DATA_DIR "/account.xml", &error))
            << error;
    }
};
}  // namespace

TEST_F(SyncCommandTest, SyncShowsTheOpenTasksOfTheListOrOfAllLists) {
    SetUpCalendar("Work", {"--list", "Work"});
    wxStopWatch watch;
    CommandResult r = Host({"sync", "Work"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // It ends with the pass that read the tasks, not after a quiet period (2.5 s) behind it.
    EXPECT_LT(watch.Time(), 3000);
    EXPECT_NE(r.out.find("[ ] Report  (due 2026-12-11 15:00 UTC, priority 1, tags: call home)  uid 21:31"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Done already"), std::string::npos);
    EXPECT_NE(r.out.find("1 task in Work"), std::string::npos);
    EXPECT_EQ(Host({"list", "Work"}).out, r.out);

    SetUpCalendar("Everything", {"--list", ""});
    r = Host({"sync", "Everything"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CountLines(r.out, "uid 2"), 3u) << r.out;
    EXPECT_NE(r.out.find("uid 22:33"), std::string::npos);
    ASSERT_EQ(Host({"export", "Everything", dataDir + "/out.ics"}).exitCode, 0);
    const std::string ics = ReadData("out.ics");
    EXPECT_EQ(ics.rfind("BEGIN:VCALENDAR", 0), 0u);
    EXPECT_EQ(CountLines(ics, "BEGIN:VTODO"), 3u);
}

TEST_F(SyncCommandTest, WithTheServiceDownTheOfflineCopyIsShown) {
    SetUpCalendar("Work", {"--list", "Work", "--offline", "on"});
    ASSERT_EQ(Host({"sync", "Work"}).exitCode, 0);
    ASSERT_NE(ReadData("Remember The Milk-Work-Offline.ics").find("SUMMARY:Report"), std::string::npos);

    emulator->Stop();
    RemoveData("Work.ics");  // what the host showed before: the tasks must come from the offline file
    CommandResult r = Host({"sync", "Work"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("[ ] Report"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the service could not be reached"), std::string::npos) << r.err << r.out;
}

TEST_F(SyncCommandTest, UnknownListsAndCalendarsAreReported) {
    SetUpCalendar("Work", {"--list", "Holidays"});
    CommandResult r = Host({"sync", "Work"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("The list \"Holidays\" could not be found. Available lists are:"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Errands"), std::string::npos);
    for (const char* command : {"sync", "list", "shell"}) {
        r = Host({command, "Nowhere"});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("unknown calendar \"Nowhere\""), std::string::npos) << r.err;
    }
}

// Takes a minute of real time: the shortest poll frequency.
TEST_F(SyncCommandTest, SlowChangesOnTheServiceReachTheShellAtTheNextPoll) {
    SetUpCalendar("All", {"--list", "", "--poll", "1"});
    auto shell = Shell("All");
    shell->WriteLine("start");
    shell->WriteLine("refresh");
    shell->WriteLine("wait");
    ASSERT_TRUE(shell->ReadUntil("idle", 30000)) << shell->Output() << shell->Errors();
    shell->WriteLine("list");
    ASSERT_TRUE(shell->ReadUntil("3 tasks in All", 5000)) << shell->Output();

    emulator->State().Tasks().RenameSeries("31", "Annual report");
    emulator->State().Tasks().DeleteSeries("34");
    shell->WriteLine("wait 90");
    ASSERT_TRUE(shell->ReadUntil("idle", 100000)) << shell->Output() << shell->Errors();
    shell->WriteLine("list");
    ASSERT_TRUE(shell->ReadUntil("2 tasks in All", 5000)) << shell->Output();
    EXPECT_NE(shell->Output().find("Annual report"), std::string::npos);
    // The poll asked only for what changed.
    bool incremental = false;
    for (const auto& request : emulator->Requests())
        if (request.method == "rtm.tasks.getList" && request.params.count("last_sync"))
            incremental = true;
    EXPECT_TRUE(incremental);
    shell->WriteLine("quit");
    EXPECT_EQ(shell->Finish(), 0) << shell->Errors();
}
