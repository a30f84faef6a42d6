#include "convert/ExtraFieldNote.h"
#include "convert/PropertyHelpers.h"
#include "convert/TaskSeries.h"
#include "convert/TaskUid.h"
#include "plugin/RTMHandler.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <wx/dir.h>

class TaskSeriesTest : public FakeHostTest {
  protected:
    // Converts series 56789 of list 1234 holding these children.
    static IcalPtr Convert(const std::string& children, const std::string& attributes = "id=\"56789\"") {
        XmlElement element("<taskseries " + attributes + ">" + children + "</taskseries>");
        EXPECT_NE(element.Root(), nullptr) << children;
        return IcalPtr(element.Root() ? ConvertTaskSeries(element.Root(), wxT("1234"), nullptr) : nullptr);
    }
    static std::string Task(const std::string& id, const std::string& extra = "") {
        return "<task id=\"" + id + "\" due=\"\" has_due_time=\"0\" " + extra + "/>";
    }
    static std::string DataNote(const std::string& text) {
        return "<notes><note id=\"3\" title=\"C2:data\">" + text + "</note></notes>";
    }
};

// Each taskseries XML file in the data folder beside the exact VTODO text it must give (at UTC+3):
// property order, notes, tags, rule, priorities 1/2/3/N, date-only due with the carry across a
// year, completion at the due time, the task element chosen among two.
TEST_F(TaskSeriesTest, GoldenFiles) {
    ScopedTimeZone zone("XST-3");
    wxArrayString inputs;
    wxDir::GetAllFiles(wxT(CORVANE_TEST_DATA_DIR "/taskseries"), &inputs, wxT("*.xml"), wxDIR_FILES);
    ASSERT_GE(inputs.size(), 4u);
    for (const wxString& input : inputs) {
        XmlElement element(ReadTextFile(input.ToStdString()));
        ASSERT_NE(element.Root(), nullptr) << input;
        IcalPtr todo(ConvertTaskSeries(element.Root(), wxT("2002"), nullptr));
        ASSERT_TRUE(todo) << input;
        wxString expected = input;
        expected.Replace(wxT(".xml"), wxT(".ics"));
        EXPECT_EQ(IcalText(todo.get()), ReadTextFile(expected.ToStdString())) << input;
    }
}

TEST_F(TaskSeriesTest, ChoosesTheTaskElementAndItsCompletion) {
    const std::string done = "completed=\"2012-05-03T10:00:00Z\"";
    const struct {
        std::string tasks;
        const char* taskId;
        const char* completed;
    } cases[] = {
        {Task("20") + Task("10"), "10", "<none>"},
        {Task("20") + Task("10", done), "20", "<none>"},
        {Task("10") + Task("20"), "10", "<none>"},
        {Task("10", done) + Task("20"), "10", "COMPLETED:20120503T100000Z"},
        {Task("20", done) + Task("10"), "10", "<none>"},
        {Task("100") + Task("9") + Task("11"), "9", "<none>"},  // ids compare as numbers
        {Task("1", "completed=\"soon\""), "1", "<none>"},       // unreadable: no COMPLETED
    };
    for (const auto& c : cases) {
        IcalPtr todo = Convert(c.tasks);
        ASSERT_TRUE(todo) << c.tasks;
        EXPECT_EQ(GetXProperty(todo.get(), X_TASK_ID), wxString(c.taskId)) << c.tasks;
        EXPECT_EQ(PropertyLine(todo.get(), ICAL_COMPLETED_PROPERTY), c.completed) << c.tasks;
    }
}

TEST_F(TaskSeriesTest, StatusFromTheNote) {
    const std::pair<std::string, const char*> cases[] = {
        {DataNote("Status: 10054\n") + Task("1"), "STATUS:NEEDS-ACTION"},
        {DataNote("Status: 10057\n") + Task("1"), "STATUS:IN-PROCESS"},
        {DataNote("Status: 10055\n") + Task("1", "completed=\"2012-05-03T10:00:00Z\""), "STATUS:COMPLETED"},
        {DataNote("Status: 0\n") + Task("1"), "<none>"},
        {DataNote("Status: 10051\n") + Task("1"), "<none>"},
        {DataNote("Status: 99\n") + Task("1"), "<none>"},
        {Task("1") + DataNote("Status: 10054\n"), "STATUS:NEEDS-ACTION"},  // note after the task
    };
    for (const auto& c : cases)
        EXPECT_EQ(PropertyLine(Convert(c.first).get(), ICAL_STATUS_PROPERTY), c.second) << c.first;
}

TEST_F(TaskSeriesTest, NamesAndTitles) {
    IcalPtr todo = Convert(
        "<NOTES>"
        "<note id=\"1\" title=\"c2:DATA\">Location: A\n</note>"
        "<note id=\"\" title=\"C2:data\">Location: B\n</note>"
        "<note id=\"2\" title=\"Shopping\">Location: C\n</note>"
        "<note id=\"4\" title=\"C2:data\"/>"
        "</NOTES><Tags><anything>a_b</anything><tag/></Tags>"
        "<Task id=\"3\" PRIORITY=\"1\" priority=\"2\"/>",
        "id=\"7\" NAME=\"ignored\" name=\"Read\"");
    ASSERT_TRUE(todo);
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_LOCATION_PROPERTY), 1);
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_LOCATION_PROPERTY), "LOCATION:A");
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_CATEGORIES_PROPERTY), 1);
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_CATEGORIES_PROPERTY), "CATEGORIES:a b");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_SUMMARY_PROPERTY), "SUMMARY:Read");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_PRIORITY_PROPERTY), "PRIORITY:5");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_UID_PROPERTY), "UID:1234:7");
}

TEST_F(TaskSeriesTest, UnreadableValuesAreLeftOutWithAWarning) {
    IcalPtr todo = Convert("<rrule every=\"1\">NONSENSE</rrule>" +
                           std::string("<task id=\"1\" due=\"20xx-xx-xxT00:00:00Z\" has_due_time=\"0\"/>"));
    ASSERT_TRUE(todo);
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_RRULE_PROPERTY), "<none>");
    EXPECT_EQ(PropertyLine(todo.get(), ICAL_DUE_PROPERTY), "<none>");
    EXPECT_TRUE(host().HasLog(LOG_WARNING, wxT("Unable to read the repeat rule: NONSENSE.")));
    EXPECT_TRUE(host().HasLog(LOG_WARNING, wxT("The due date \"20xx-xx-xxT00:00:00Z\"")));
}

TEST_F(TaskSeriesTest, MissingIdsGiveNullAndBothMessages) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    const std::pair<std::string, wxString> cases[] = {
        {"<taskseries name=\"x\">" + Task("1") + "</taskseries>", wxT("1")},
        {"<taskseries id=\"5\"/>", wxT("1")},
        {"<taskseries id=\"5\"><task id=\"\"/></taskseries>", wxT("1")},
        {"<taskseries id=\"5\">" + Task("1") + "</taskseries>", wxString()},
    };
    for (const auto& c : cases) {
        host().Reset();
        XmlElement element(c.first);
        EXPECT_EQ(ConvertTaskSeries(element.Root(), c.second, &handler), nullptr) << c.first;
        const std::vector<wxString> expected = {
            wxT("Work: Unable to create the task because the ID is missing."),
            wxT("Work: Parsing of the task failed.")};
        EXPECT_EQ(host().LogTexts(), expected) << c.first;
        EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Parsing")));
    }
}

TEST_F(TaskSeriesTest, ParseTaskUid) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    wxString list = wxT("l"), series = wxT("s"), task = wxT("t");
    EXPECT_FALSE(ParseTaskUid(nullptr, list, series, task, &handler));
    EXPECT_TRUE(host().logs.empty());
    EXPECT_FALSE(ParseTaskUid(ParseTodo("SUMMARY:x\n").get(), list, series, task, &handler));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: The task is missing an UID.")));
    EXPECT_FALSE(ParseTaskUid(ParseTodo("UID:100%-local\n").get(), list, series, task, &handler));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: Unable to parse the task UID: 100%-local.")));
    EXPECT_EQ(list + series + task, wxT("lst"));

    ASSERT_TRUE(ParseTaskUid(ParseTodo("UID:1234:56789:0\nX-CORVANE-RTM-TASK-ID:42\n").get(), list, series,
                             task, nullptr));
    EXPECT_EQ(list + wxT("|") + series + wxT("|") + task, wxT("1234|56789:0|42"));
}
