// Seed files: the sample account as the service would serve it, read by the client's own
// conversion, and files with mistakes refused as a whole.
#include "convert/TaskSeries.h"
#include "tests/support/EmulatorTaskClient.h"
#include "tests/support/FakeHost.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <map>

using rtmemu::TaskSeries;

namespace {

const std::string SAMPLE = std::string(CORVANE_TEST_DATA_DIR) + "/../../emulator/samples/sample-account.xml";

class EmulatorSeedTest : public EmulatorTaskTest {
  protected:
    std::optional<TaskSeries> Named(const std::string& name) {
        for (const TaskSeries& series : Store().AllSeries())
            if (series.name == name)
                return series;
        return std::nullopt;
    }
    std::string Seed(const std::string& body, const std::string& root = "<account>") {
        std::string error;
        const std::string rootEnd = "</" + root.substr(1, root.find_first_of(" >") - 1) + ">";
        EXPECT_FALSE(Store().LoadSeedText(root + body + rootEnd, &error));
        return error;
    }
};

TEST_F(EmulatorSeedTest, SampleAccountHasThreeListsWithVariedTasks) {
    std::string error;
    ASSERT_TRUE(Store().LoadSeedFile(SAMPLE, &error)) << error;
    std::vector<std::string> names;
    for (const rtmemu::TaskList& list : Store().Lists())
        names.push_back(list.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Inbox", "Sent", "Work", "Errands", "Personal"}));
    EXPECT_EQ(Store().SeriesCount(), 7u);

    const std::optional<TaskSeries> report = Named("Prepare the quarterly report");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->id, "3101");
    EXPECT_EQ(report->listId, "2101");
    EXPECT_EQ(report->tags, (std::vector<std::string>{"finance", "quarter_end"}));
    ASSERT_EQ(report->notes.size(), 1u);
    EXPECT_EQ(report->notes[0].title, "Figures");
    EXPECT_EQ(report->tasks[0].priority, "1");
    EXPECT_TRUE(report->tasks[0].hasDueTime);
    EXPECT_EQ(rtmemu::FormatUtc(*report->tasks[0].due), "2026-12-11T15:00:00Z");
    EXPECT_EQ(report->tasks[0].estimate, "3 hours");

    const std::optional<TaskSeries> meeting = Named("Team meeting notes");
    ASSERT_TRUE(meeting && meeting->rrule);
    EXPECT_EQ(meeting->rrule->rule, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO");
    EXPECT_FALSE(meeting->tasks[0].hasDueTime);
    EXPECT_EQ(rtmemu::FormatUtc(*meeting->tasks[0].due), "2026-12-07T00:00:00Z");
    EXPECT_TRUE(Named("Renew the software licences")->tasks[0].completed);
    EXPECT_EQ(Named("Book the summer holiday")->notes[0].text,
              "Lisbon or Porto?\nFlights are cheaper before January.");
    EXPECT_TRUE(Named("Buy milk & bread"));
}

TEST_F(EmulatorSeedTest, EverySeededSeriesConvertsWithTheClientsConversion) {
    FakeHost::Get().Reset();  // the conversion logs through the host's services
    std::string error;
    ASSERT_TRUE(Store().LoadSeedFile(SAMPLE, &error)) << error;
    const EmulatorReply reply = Call("rtm.tasks.getList", {{"filter", "status:incomplete"}});
    ASSERT_TRUE(reply.Ok()) << reply.body;
    std::map<std::string, std::string> summaries;  // UID → SUMMARY
    std::string categories;
    for (const wxXmlNode* list : ChildrenOf(reply.Payload("tasks"), "list")) {
        for (const wxXmlNode* series : ChildrenOf(list, "taskseries")) {
            icalcomponent* todo =
                ConvertTaskSeries(series, wxString::FromUTF8(AttrOf(list, "id").c_str()), nullptr);
            ASSERT_NE(todo, nullptr) << AttrOf(series, "name");
            summaries[icalcomponent_get_uid(todo)] = icalcomponent_get_summary(todo);
            if (std::string(icalcomponent_get_uid(todo)) == "2101:3101") {
                for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_CATEGORIES_PROPERTY); p;
                     p = icalcomponent_get_next_property(todo, ICAL_CATEGORIES_PROPERTY))
                    categories += std::string(icalproperty_get_categories(p)) + ";";
            }
            icalcomponent_free(todo);
        }
    }
    // Six open tasks; the completed one is left out by the filter.
    EXPECT_EQ(summaries.size(), 6u);
    EXPECT_EQ(summaries["2102:3201"], "Buy milk & bread");
    EXPECT_EQ(categories, "finance;quarter end;");
    EXPECT_TRUE(FakeHost::Get().logs.empty());
}

TEST_F(EmulatorSeedTest, DateOnlyDuesAreTheLocalMidnightOfTheFilesZone) {
    std::string error;
    ASSERT_TRUE(
        Store().LoadSeedText("<account timezone=\"+10:00\"><list name=\"Work\">"
                             "<taskseries name=\"A\"><task due=\"2015-05-10\"/></taskseries>"
                             "<taskseries name=\"B\"><task due=\"2015-05-10T09:00:00\"/></taskseries>"
                             "<taskseries name=\"C\"><task due=\"2015-05-10T09:00:00Z\"/></taskseries>"
                             "</list></account>",
                             &error))
        << error;
    EXPECT_EQ(rtmemu::FormatUtc(*Named("A")->tasks[0].due), "2015-05-09T14:00:00Z");
    EXPECT_FALSE(Named("A")->tasks[0].hasDueTime);
    EXPECT_EQ(rtmemu::FormatUtc(*Named("B")->tasks[0].due), "2015-05-09T23:00:00Z");
    EXPECT_TRUE(Named("B")->tasks[0].hasDueTime);
    EXPECT_EQ(rtmemu::FormatUtc(*Named("C")->tasks[0].due), "2015-05-10T09:00:00Z");
    // The zone stays the account's for later writes.
    const rtmemu::TaskRef ref{Store().ListId("Work"), Named("A")->id, Named("A")->tasks[0].id};
    Params params = PathOf(ref);
    params["due"] = "2020-01-01";
    ASSERT_TRUE(Call("rtm.tasks.setDueDate", params).Ok());
    EXPECT_EQ(rtmemu::FormatUtc(*Named("A")->tasks[0].due), "2019-12-31T14:00:00Z");
}

TEST_F(EmulatorSeedTest, MissingIdsAndTimesAreFilledInAndExistingListsAreReused) {
    std::string error;
    ASSERT_TRUE(
        Store().LoadSeedText("<lists><list name=\"inbox\"><taskseries name=\"In the inbox\">"
                             "<rrule repeat=\"every 2 weeks\"/></taskseries></list></lists>",
                             &error))
        << error;
    const std::optional<TaskSeries> series = Named("In the inbox");
    ASSERT_TRUE(series);
    EXPECT_EQ(series->listId, Store().InboxId());
    EXPECT_EQ(series->created, now.load());
    EXPECT_EQ(series->modified, now.load());
    ASSERT_EQ(series->tasks.size(), 1u);
    EXPECT_FALSE(series->tasks[0].id.empty());
    EXPECT_EQ(series->tasks[0].priority, "N");
    EXPECT_EQ(series->rrule->rule, "FREQ=WEEKLY;INTERVAL=2");
    EXPECT_EQ(Store().Lists().size(), 2u);
}

TEST_F(EmulatorSeedTest, NewObjectsNeverReuseASeededId) {
    // The ids the emulator would hand out next.
    const rtmemu::TaskRef probe = Store().AddTask(Store().InboxId(), "Probe");
    const long long next = std::stoll(probe.taskId) + 1;
    const std::string a = std::to_string(next), b = std::to_string(next + 1), c = std::to_string(next + 2);
    std::string error;
    ASSERT_TRUE(Store().LoadSeedText("<lists><list id=\"" + a + "\" name=\"Work\"><taskseries id=\"" + b +
                                         "\" name=\"A\"><task id=\"" + c + "\"/></taskseries></list></lists>",
                                     &error))
        << error;
    const rtmemu::TaskRef added = Store().AddTask(Store().ListId("Work"), "B");
    for (const std::string& id : {added.seriesId, added.taskId})
        EXPECT_TRUE(id != a && id != b && id != c) << id;
}

TEST_F(EmulatorSeedTest, FilesWithMistakesAreRefusedAsAWhole) {
    const size_t before = Store().SeriesCount();
    const size_t lists = Store().Lists().size();
    EXPECT_EQ(Seed("<list name=\"Work\">"), "not well-formed XML");
    EXPECT_NE(Seed("", "<account timezone=\"Nowhere/Else\">").find("unknown time zone"), std::string::npos);
    const std::string good = "<list name=\"Fine\"><taskseries name=\"Ok\"/></list>";
    EXPECT_EQ(
        Seed(good +
             "<list name=\"Work\"><taskseries name=\"Report\"><task due=\"soon\"/></taskseries></list>"),
        "list \"Work\", series \"Report\": due=\"soon\" is no ISO 8601 date or time");
    EXPECT_EQ(
        Seed(good +
             "<list name=\"Work\"><taskseries name=\"R\"><task priority=\"high\"/></taskseries></list>"),
        "list \"Work\", series \"R\": priority=\"high\" is not 1, 2, 3 or N");
    EXPECT_NE(
        Seed(good +
             "<list name=\"W\"><taskseries id=\"7\" name=\"A\"/><taskseries id=\"7\" name=\"B\"/></list>")
            .find("used twice"),
        std::string::npos);
    EXPECT_NE(Seed(good + "<list name=\"W\"><taskseries/></list>").find("without a name"), std::string::npos);
    EXPECT_NE(Seed(good + "<list id=\"424242\"/>").find("needs a name"), std::string::npos);
    EXPECT_NE(
        Seed(good +
             "<list name=\"W\"><taskseries name=\"A\"><rrule repeat=\"now and then\"/></taskseries></list>")
            .find("cannot be read"),
        std::string::npos);
    // An id the account already uses.
    const std::string inbox = Store().InboxId();
    EXPECT_NE(
        Seed("<list name=\"W\"><taskseries id=\"" + inbox + "\" name=\"A\"/></list>").find("already in use"),
        std::string::npos);
    EXPECT_EQ(Store().SeriesCount(), before);
    EXPECT_EQ(Store().Lists().size(), lists);
}

TEST_F(EmulatorSeedTest, ProgramReportsAnUnreadableSeedFile) {
    const CommandResult result =
        RunCommand(BuiltProgram("rtm-emulator"), {"--port", "0", "--seed", "/nonexistent.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "rtm-emulator: cannot open /nonexistent.xml\n");
    const CommandResult zone = RunCommand(BuiltProgram("rtm-emulator"), {"--timezone", "Mars/Base"});
    EXPECT_EQ(zone.exitCode, 2);
    EXPECT_NE(zone.err.find("unknown time zone Mars/Base"), std::string::npos);
}

}  // namespace
