// The calendar commands on the built module against the emulator, as a person runs them: `sync`,
// `list`, `export`, `write`, `delete` and the shell, a change made while the service was down that
// still reaches it after the host was restarted, and a change on the service seen at the next poll.
#include "tests/support/HostFixture.h"

#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <fstream>
#include <optional>

namespace {
const char* const NEW_TODO =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\nBEGIN:VTODO\r\nUID:made-in-host-1\r\n"
    "SUMMARY:Plan the offsite\r\nDUE:20261218T140000Z\r\nPRIORITY:1\r\nCATEGORIES:team events\r\n"
    "END:VTODO\r\nEND:VCALENDAR\r\n";

class CalendarCommandsTest : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedFile(CORVANE_TEST_DATA_DIR "/account.xml", &error))
            << error;
    }
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = dataDir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::optional<rtmemu::TaskSeries> SeriesNamed(const std::string& name) {
        for (const rtmemu::TaskSeries& s : emulator->State().Tasks().AllSeries())
            if (s.name == name)
                return s;
        return std::nullopt;
    }
};
}  // namespace

TEST_F(CalendarCommandsTest, SyncShowsTheOpenTasksOfTheListOrOfAllLists) {
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

TEST_F(CalendarCommandsTest, WithTheServiceDownTheOfflineCopyIsShown) {
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

TEST_F(CalendarCommandsTest, UnknownListsAndCalendarsAreReported) {
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
TEST_F(CalendarCommandsTest, SlowChangesOnTheServiceReachTheShellAtTheNextPoll) {
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

TEST_F(CalendarCommandsTest, AToDoBecomesOneTaskAndComesBackUnderItsNewUid) {
    SetUpCalendar("Work", {"--list", "Work"});
    CommandResult r = Host({"write", "Work", WriteFile("new.ics", NEW_TODO)});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    auto series = SeriesNamed("Plan the offsite");
    ASSERT_TRUE(series.has_value());
    EXPECT_EQ(series->listId, "21");
    EXPECT_EQ(series->tags, std::vector<std::string>{"team_events"});
    EXPECT_EQ(series->tasks.at(0).priority, "1");
    EXPECT_NE(r.out.find(
                  "[ ] Plan the offsite  (due 2026-12-18 14:00 UTC, priority 1, tags: team events)  uid 21:" +
                  series->id),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("made-in-host-1"), std::string::npos) << r.out;
}

TEST_F(CalendarCommandsTest, DeleteRemovesTheTaskOnTheServiceAndFromTheHost) {
    SetUpCalendar("Work", {"--list", "Work"});
    ASSERT_EQ(Host({"sync", "Work"}).exitCode, 0);
    CommandResult r = Host({"delete", "Work", "21:31"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("uid 21:31"), std::string::npos) << r.out;
    auto series = emulator->State().Tasks().FindSeries("31");
    ASSERT_TRUE(series.has_value());
    EXPECT_TRUE(series->tasks.at(0).deleted.has_value());

    CommandResult unknown = Host({"delete", "Work", "21:31"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no to-do with UID \"21:31\""), std::string::npos) << unknown.err;
}

TEST_F(CalendarCommandsTest, AChangeMadeWhileTheServiceIsDownReachesItAfterARestart) {
    SetUpCalendar("Work", {"--list", "Work", "--offline", "on"});
    ASSERT_EQ(Host({"sync", "Work"}).exitCode, 0);

    ASSERT_TRUE(emulator->SetRefusing(true));
    CommandResult down = Host({"write", "Work", WriteFile("new.ics", NEW_TODO)});
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_NE(down.err.find("the service could not be reached"), std::string::npos) << down.err;
    EXPECT_NE(ReadData("Remember The Milk-Work-Offline.ics").find("Plan the offsite"), std::string::npos);
    EXPECT_FALSE(SeriesNamed("Plan the offsite").has_value());

    // A new host process: only the offline file remembers the change.
    ASSERT_TRUE(emulator->SetRefusing(false));
    CommandResult back = Host({"sync", "Work"});
    ASSERT_EQ(back.exitCode, 0) << back.err << back.out;
    auto series = SeriesNamed("Plan the offsite");
    ASSERT_TRUE(series.has_value());
    EXPECT_NE(back.out.find("uid 21:" + series->id), std::string::npos) << back.out;
    EXPECT_EQ(back.out.find("made-in-host-1"), std::string::npos) << back.out;
}
