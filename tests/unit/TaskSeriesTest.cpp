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
};

// Each XML file in the data folder (a series of list 2002, or a list of series) beside the exact
// VTODO text it must give (at UTC+3): property order, notes, tags, rule, priorities 1/2/3/N,
// date-only due with the carry across a year, completion at the due time, the task element chosen
// among several, the status a note keeps, names and titles.
TEST_F(TaskSeriesTest, GoldenFiles) {
    ScopedTimeZone zone("XST-3");
    wxArrayString inputs;
    wxDir::GetAllFiles(wxT(CORVANE_TEST_DATA_DIR "/taskseries"), &inputs, wxT("*.xml"), wxDIR_FILES);
    ASSERT_GE(inputs.size(), 7u);
    for (const wxString& input : inputs) {
        XmlElement element(ReadTextFile(input.ToStdString()));
        const wxXmlNode* root = element.Root();
        ASSERT_NE(root, nullptr) << input;
        const bool list = root->GetName() == wxT("list");
        std::string text;
        for (const wxXmlNode* series = list ? root->GetChildren() : root; series;
             series = series->GetNext()) {
            if (series->GetType() != wxXML_ELEMENT_NODE || (list && series == root))
                continue;
            IcalPtr todo(
                ConvertTaskSeries(series, list ? root->GetAttribute(wxT("id")) : wxT("2002"), nullptr));
            ASSERT_TRUE(todo) << input;
            text += IcalText(todo.get());
            if (!list)
                break;
        }
        wxString expected = input;
        expected.Replace(wxT(".xml"), wxT(".ics"));
        EXPECT_EQ(text, ReadTextFile(expected.ToStdString())) << input;
    }
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
        EXPECT_EQ(ConvertTaskSeries(element.Root(), c.second, &handler.GetLogger()), nullptr) << c.first;
        EXPECT_EQ(host().LogTexts(),
                  (std::vector<wxString>{wxT("Work: Unable to create the task because the ID "
                                             "is missing."),
                                         wxT("Work: Parsing of the task failed.")}));
    }
}

TEST_F(TaskSeriesTest, ParseTaskUid) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    wxString list = wxT("l"), series = wxT("s"), task = wxT("t");
    EXPECT_FALSE(ParseTaskUid(nullptr, list, series, task, &handler.GetLogger()));
    EXPECT_TRUE(host().logs.empty());
    EXPECT_FALSE(ParseTaskUid(ParseTodo("SUMMARY:x\n").get(), list, series, task, &handler.GetLogger()));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: The task is missing an UID.")));
    EXPECT_FALSE(ParseTaskUid(ParseTodo("UID:100%-local\n").get(), list, series, task, &handler.GetLogger()));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: Unable to parse the task UID: 100%-local.")));
    EXPECT_EQ(list + series + task, wxT("lst"));

    ASSERT_TRUE(ParseTaskUid(ParseTodo("UID:1234:56789:0\nX-CORVANE-RTM-TASK-ID:42\n").get(), list, series,
                             task, nullptr));
    EXPECT_EQ(list + wxT("|") + series + wxT("|") + task, wxT("1234|56789:0|42"));
}
