// `write` and `delete` on the built module against the emulator, and a change made while the
// service was down that still reaches it after the host was restarted.
#include "tests/support/HostFixture.h"

#include <fstream>
#include <optional>

namespace {
const char* const NEW_TODO =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\nBEGIN:VTODO\r\nUID:made-in-host-1\r\n"
    "SUMMARY:Plan the offsite\r\nDUE:20261218T140000Z\r\nPRIORITY:1\r\nCATEGORIES:team events\r\n"
    "END:VTODO\r\nEND:VCALENDAR\r\n";

class WriteCommandTest : public HostFixture {
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

TEST_F(WriteCommandTest, AToDoBecomesOneTaskAndComesBackUnderItsNewUid) {
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

TEST_F(WriteCommandTest, DeleteRemovesTheTaskOnTheServiceAndFromTheHost) {
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

TEST_F(WriteCommandTest, AChangeMadeWhileTheServiceIsDownReachesItAfterARestart) {
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
