// `write` and `delete` on the built module against the emulator, and a change made while the
// service was down that still reaches it after the host was restarted.
#include "tests/support/HostFixture.h"

#include <libical/ical.h>

#include <fstream>
#include <optional>

namespace {
const char* const SEED = R"(<account>
  <lists>
    <list id="21" name="Work">
      <taskseries id="31" name="Quarterly report" modified="2026-12-01T09:00:00Z">
        <task id="41" due="2026-12-11T15:00:00Z" has_due_time="1" priority="1"/></taskseries>
    </list>
  </lists>
</account>)";

const char* const NEW_TODO =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\nBEGIN:VTODO\r\nUID:made-in-host-1\r\n"
    "SUMMARY:Plan the offsite\r\nDUE:20261218T140000Z\r\nDTSTART:20261214T090000Z\r\nLOCATION:Main office\r\n"
    "STATUS:IN-PROCESS\r\nPERCENT-COMPLETE:30\r\nPRIORITY:1\r\nCATEGORIES:team "
    "events\r\nCATEGORIES:planning\r\n"
    "URL:https://example.com/offsite\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\nDESCRIPTION:Book rooms and food\r\n"
    "X-CORVANE-TASK-POSITION:3\r\nBEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\nEND:"
    "VTODO\r\n"
    "END:VCALENDAR\r\n";

class WriteCommandTest : public HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedText(SEED, &error)) << error;
    }
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = dataDir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::vector<std::string> WriteMethods() {
        std::vector<std::string> methods;
        for (const auto& r : emulator->Requests())
            if (r.method.rfind("rtm.tasks.", 0) == 0 && r.method != "rtm.tasks.getList")
                methods.push_back(r.method);
            else if (r.method == "rtm.timelines.create")
                methods.push_back(r.method);
        return methods;
    }
    std::optional<rtmemu::TaskSeries> SeriesNamed(const std::string& name) {
        for (const rtmemu::TaskSeries& s : emulator->State().Tasks().AllSeries())
            if (s.name == name)
                return s;
        return std::nullopt;
    }
};
}  // namespace

TEST_F(WriteCommandTest, AToDoWithEveryFieldBecomesOneTaskAndComesBackUnderItsNewUid) {
    SetUpCalendar("Work", {"--list", "Work"});
    CommandResult r = Host({"write", "Work", WriteFile("new.ics", NEW_TODO)});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;

    auto series = SeriesNamed("Plan the offsite");
    ASSERT_TRUE(series.has_value());
    EXPECT_EQ(series->listId, "21");
    EXPECT_EQ(series->tags, (std::vector<std::string>{"team_events", "planning"}));
    EXPECT_EQ(series->url, "https://example.com/offsite");
    ASSERT_TRUE(series->rrule.has_value());
    EXPECT_EQ(series->tasks.at(0).priority, "1");
    EXPECT_TRUE(series->tasks.at(0).hasDueTime);
    ASSERT_EQ(series->notes.size(), 2u);

    const std::string uid = "21:" + series->id;
    EXPECT_NE(r.out.find("uid " + uid), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("made-in-host-1"), std::string::npos) << r.out;

    // The host's version, written back unchanged: only the timeline and the name.
    ASSERT_EQ(Host({"export", "Work", dataDir + "/reread.ics"}).exitCode, 0);
    icalcomponent* exported = icalparser_parse_string(ReadData("reread.ics").c_str());
    ASSERT_NE(exported, nullptr);
    std::string reread;
    for (icalcomponent* c = icalcomponent_get_first_component(exported, ICAL_VTODO_COMPONENT); c;
         c = icalcomponent_get_next_component(exported, ICAL_VTODO_COMPONENT))
        if (uid == icalcomponent_get_uid(c))
            reread = icalcomponent_as_ical_string(c);
    icalcomponent_free(exported);
    ASSERT_FALSE(reread.empty());
    emulator->ClearRequests();
    CommandResult again = Host({"write", "Work", WriteFile("reread-one.ics", reread)});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(WriteMethods(), (std::vector<std::string>{"rtm.timelines.create", "rtm.tasks.setName"}));
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
