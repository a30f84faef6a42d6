#include "convert/ExtraFieldNote.h"
#include "convert/PropertyHelpers.h"
#include "convert/TaskSeries.h"
#include "convert/TaskUid.h"
#include "plugin/RTMHandler.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <wx/dir.h>

#include <random>

class TaskSeriesTest : public FakeHostTest {
  protected:
    // Converts <taskseries ATTRIBUTES>CHILDREN</taskseries> of list 1234.
    IcalPtr Convert(const std::string& attributes, const std::string& children,
                    const wxString& listId = wxT("1234")) {
        const std::string xml = "<taskseries " + attributes + ">" + children + "</taskseries>";
        XmlElement element(wxString::FromUTF8(xml.c_str()));
        EXPECT_NE(element.Root(), nullptr) << xml;
        return IcalPtr(element.Root() ? ConvertTaskSeries(element.Root(), listId, nullptr) : nullptr);
    }
    // A series with id 56789 holding the given children.
    IcalPtr ConvertChildren(const std::string& children) { return Convert("id=\"56789\"", children); }

    static std::string Task(const std::string& id, const std::string& extra = "") {
        return "<task id=\"" + id + "\" due=\"\" has_due_time=\"0\" " + extra + "/>";
    }
    static std::string Prop(const IcalPtr& todo, icalproperty_kind kind) {
        icalproperty* p = icalcomponent_get_first_property(todo.get(), kind);
        if (!p)
            return "<none>";
        std::string line = icalproperty_as_ical_string(p);
        line.erase(line.find_last_not_of("\r\n") + 1);
        return line;
    }
};

TEST_F(TaskSeriesTest, PriorityMapping) {
    const std::pair<const char*, const char*> cases[] = {{"1", "PRIORITY:1"},
                                                         {"2", "PRIORITY:5"},
                                                         {"3", "PRIORITY:9"},
                                                         {"N", "PRIORITY:0"},
                                                         {"", "PRIORITY:0"}};
    for (const auto& c : cases) {
        IcalPtr todo = ConvertChildren(Task("1", std::string("priority=\"") + c.first + "\""));
        ASSERT_TRUE(todo);
        EXPECT_EQ(Prop(todo, ICAL_PRIORITY_PROPERTY), c.second) << c.first;
    }
}

TEST_F(TaskSeriesTest, TagsTurnUnderscoresIntoSpaces) {
    IcalPtr todo =
        ConvertChildren("<tags><tag>call_home</tag><anything>a_b_c</anything><tag/></tags>" + Task("1"));
    ASSERT_TRUE(todo);
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_CATEGORIES_PROPERTY), 2);
    const std::string text = IcalText(todo.get());
    EXPECT_NE(text.find("CATEGORIES:call home\n"), std::string::npos) << text;
    EXPECT_NE(text.find("CATEGORIES:a b c\n"), std::string::npos) << text;
}

TEST_F(TaskSeriesTest, ChoosesTheTaskElement) {
    struct Case {
        const char* label;
        std::string tasks;
        const char* taskId;
        bool completed;
    } cases[] = {
        {"20 then 10, both open: 10", Task("20") + Task("10"), "10", false},
        {"20 then 10 completed: 20", Task("20") + Task("10", "completed=\"2012-05-01T10:00:00Z\""), "20",
         false},
        {"10 then 20: 10", Task("10") + Task("20"), "10", false},
        {"10 completed then 20: 10, completed", Task("10", "completed=\"2012-05-01T10:00:00Z\"") + Task("20"),
         "10", true},
        {"20 completed then 10 open: 10", Task("20", "completed=\"2012-05-01T10:00:00Z\"") + Task("10"), "10",
         false},
        {"ids compared as numbers", Task("100") + Task("9") + Task("11"), "9", false},
    };
    for (const Case& c : cases) {
        IcalPtr todo = ConvertChildren(c.tasks);
        ASSERT_TRUE(todo) << c.label;
        EXPECT_EQ(GetXProperty(todo.get(), X_TASK_ID), wxString(c.taskId)) << c.label;
        EXPECT_EQ(icalcomponent_get_status(todo.get()) == ICAL_STATUS_COMPLETED, c.completed) << c.label;
    }
}

TEST_F(TaskSeriesTest, CompletedAtTheDueTimeOrAtCompletion) {
    IcalPtr withDue = ConvertChildren(
        "<task id=\"1\" due=\"2012-05-01T21:00:00Z\" has_due_time=\"1\" "
        "completed=\"2012-05-03T10:00:00Z\"/>");
    EXPECT_EQ(Prop(withDue, ICAL_COMPLETED_PROPERTY), "COMPLETED:20120501T210000Z");
    EXPECT_EQ(Prop(withDue, ICAL_STATUS_PROPERTY), "STATUS:COMPLETED");
    IcalPtr withoutDue = ConvertChildren(Task("1", "completed=\"2012-05-03T10:00:00Z\""));
    EXPECT_EQ(Prop(withoutDue, ICAL_COMPLETED_PROPERTY), "COMPLETED:20120503T100000Z");
    EXPECT_EQ(Prop(withoutDue, ICAL_STATUS_PROPERTY), "STATUS:COMPLETED");
    // A completion time that cannot be read adds no COMPLETED.
    IcalPtr unreadable = ConvertChildren(Task("1", "completed=\"soon\""));
    EXPECT_EQ(Prop(unreadable, ICAL_COMPLETED_PROPERTY), "<none>");
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Unknown time format: soon")));
}

TEST_F(TaskSeriesTest, StatusFromTheNote) {
    const auto note = [](const std::string& text) {
        return "<notes><note id=\"3\" title=\"C2:data\">" + text + "</note></notes>";
    };
    struct Case {
        std::string children;
        const char* status;
    } cases[] = {
        {note("Status: 10054\n") + Task("1"), "STATUS:NEEDS-ACTION"},
        {note("Status: 10057\n") + Task("1"), "STATUS:IN-PROCESS"},
        {note("Status: 10056\n") + Task("1"), "STATUS:CANCELLED"},
        {note("Status: 10055\n") + Task("1", "completed=\"2012-05-03T10:00:00Z\""), "STATUS:COMPLETED"},
        {note("Status: 0\n") + Task("1"), "<none>"},
        {note("Status: 10051\n") + Task("1"), "<none>"},
        {note("Status: 99\n") + Task("1"), "<none>"},
        // Also when the note comes after the task element.
        {Task("1") + note("Status: 10054\n"), "STATUS:NEEDS-ACTION"},
    };
    for (const Case& c : cases) {
        IcalPtr todo = ConvertChildren(c.children);
        ASSERT_TRUE(todo) << c.children;
        EXPECT_EQ(Prop(todo, ICAL_STATUS_PROPERTY), c.status) << c.children;
    }
}

TEST_F(TaskSeriesTest, NoteSelection) {
    IcalPtr todo = ConvertChildren(
        "<notes>"
        "<note id=\"1\" title=\"c2:DATA\">Location: A\n</note>"
        "<note id=\"\" title=\"C2:data\">Location: B\n</note>"
        "<note id=\"2\" title=\"Shopping\">Location: C\n</note>"
        "<note id=\"3\" title=\"C2:Description\">Text</note>"
        "<note id=\"4\" title=\"C2:data\"/>"
        "</notes>" +
        Task("1"));
    ASSERT_TRUE(todo);
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_LOCATION_PROPERTY), 1);
    EXPECT_EQ(Prop(todo, ICAL_LOCATION_PROPERTY), "LOCATION:A");
    EXPECT_EQ(GetXProperty(todo.get(), X_DATA_ID), wxT("1"));
    EXPECT_EQ(Prop(todo, ICAL_DESCRIPTION_PROPERTY), "DESCRIPTION:Text");
    EXPECT_EQ(GetXProperty(todo.get(), X_DESCRIPTION_ID), wxT("3"));
}

TEST_F(TaskSeriesTest, DueWithAndWithoutTimeOfDay) {
    ScopedTimeZone zone("XST-3");
    IcalPtr dateOnly = ConvertChildren("<task id=\"1\" due=\"2012-05-01T21:00:00Z\" has_due_time=\"0\"/>");
    EXPECT_EQ(Prop(dateOnly, ICAL_DUE_PROPERTY), "DUE;VALUE=DATE:20120502");
    IcalPtr timed = ConvertChildren("<task id=\"1\" due=\"2012-05-01T21:00:00Z\" has_due_time=\"1\"/>");
    EXPECT_EQ(Prop(timed, ICAL_DUE_PROPERTY), "DUE:20120501T210000Z");
    IcalPtr none = ConvertChildren(Task("1"));
    EXPECT_EQ(Prop(none, ICAL_DUE_PROPERTY), "<none>");
}

TEST_F(TaskSeriesTest, AnUnreadableDateOnlyDueIsLeftOutWithAWarning) {
    IcalPtr todo = ConvertChildren("<task id=\"1\" due=\"20xx-xx-xxT00:00:00Z\" has_due_time=\"0\"/>");
    ASSERT_TRUE(todo);
    EXPECT_EQ(Prop(todo, ICAL_DUE_PROPERTY), "<none>");
    EXPECT_TRUE(host().HasLog(LOG_WARNING, wxT("The due date \"20xx-xx-xxT00:00:00Z\"")));
}

TEST_F(TaskSeriesTest, AnUnreadableRuleIsLeftOut) {
    IcalPtr todo = ConvertChildren("<rrule every=\"1\">NONSENSE</rrule><rrule every=\"1\"/>" + Task("1"));
    ASSERT_TRUE(todo);
    EXPECT_EQ(Prop(todo, ICAL_RRULE_PROPERTY), "<none>");
    EXPECT_TRUE(host().HasLog(LOG_WARNING, wxT("Unable to read the repeat rule: NONSENSE.")));
}

TEST_F(TaskSeriesTest, MissingIdsGiveNullAndBothMessages) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    const struct {
        const char* label;
        std::string xml;
        wxString listId;
    } cases[] = {
        {"no series id", "<taskseries name=\"x\">" + Task("1") + "</taskseries>", wxT("1")},
        {"no task", "<taskseries id=\"5\"/>", wxT("1")},
        {"task without id", "<taskseries id=\"5\"><task id=\"\"/></taskseries>", wxT("1")},
        {"no list id", "<taskseries id=\"5\">" + Task("1") + "</taskseries>", wxString()},
    };
    for (const auto& c : cases) {
        host().Reset();
        XmlElement element(wxString::FromUTF8(c.xml.c_str()));
        EXPECT_EQ(ConvertTaskSeries(element.Root(), c.listId, &handler), nullptr) << c.label;
        const std::vector<wxString> logs = host().LogTexts();
        ASSERT_EQ(logs.size(), 2u) << c.label;
        EXPECT_EQ(logs[0], wxT("Work: Unable to create the task because the ID is missing."));
        EXPECT_EQ(logs[1], wxT("Work: Parsing of the task failed."));
        EXPECT_EQ(host().logs[0].level, LOG_ERROR);
    }
    EXPECT_EQ(ConvertTaskSeries(nullptr, wxT("1"), &handler), nullptr);
}

TEST_F(TaskSeriesTest, ElementNamesIgnoreCaseAttributeNamesDoNot) {
    IcalPtr todo = Convert("id=\"7\" NAME=\"ignored\" name=\"Read\"",
                           "<TAGS><Tag>x</Tag></TAGS><Task id=\"3\" PRIORITY=\"1\" priority=\"2\"/>");
    ASSERT_TRUE(todo);
    EXPECT_EQ(Prop(todo, ICAL_SUMMARY_PROPERTY), "SUMMARY:Read");
    EXPECT_EQ(Prop(todo, ICAL_CATEGORIES_PROPERTY), "CATEGORIES:x");
    EXPECT_EQ(Prop(todo, ICAL_PRIORITY_PROPERTY), "PRIORITY:5");
    EXPECT_EQ(Prop(todo, ICAL_UID_PROPERTY), "UID:1234:7");
}

// Each taskseries-*.xml in the data folder beside the exact VTODO text it must give (in UTC+3).
TEST_F(TaskSeriesTest, GoldenFiles) {
    ScopedTimeZone zone("XST-3");
    const wxString folder = wxT(CORVANE_TEST_DATA_DIR "/taskseries");
    wxArrayString inputs;
    wxDir::GetAllFiles(folder, &inputs, wxT("*.xml"), wxDIR_FILES);
    ASSERT_GE(inputs.size(), 3u);
    for (const wxString& input : inputs) {
        const std::string xml = ReadTextFile(input.ToStdString());
        wxString expectedPath = input;
        expectedPath.Replace(wxT(".xml"), wxT(".ics"));
        const std::string expected = ReadTextFile(expectedPath.ToStdString());
        XmlElement element(wxString::FromUTF8(xml.c_str()));
        ASSERT_NE(element.Root(), nullptr) << input;
        IcalPtr todo(ConvertTaskSeries(element.Root(), wxT("2002"), nullptr));
        ASSERT_TRUE(todo) << input;
        EXPECT_EQ(IcalText(todo.get()), expected) << input;
    }
}

TEST_F(TaskSeriesTest, ParseTaskUid) {
    IcalPtr todo = ParseTodo("BEGIN:VTODO\nUID:1234:56789:0\nX-CORVANE-RTM-TASK-ID:42\nEND:VTODO\n");
    wxString list = wxT("old"), series = wxT("old"), task = wxT("old");
    ASSERT_TRUE(ParseTaskUid(todo.get(), list, series, task, nullptr));
    EXPECT_EQ(list, wxT("1234"));
    EXPECT_EQ(series, wxT("56789:0"));
    EXPECT_EQ(task, wxT("42"));

    IcalPtr noTaskId = ParseTodo("BEGIN:VTODO\nUID::5\nEND:VTODO\n");
    ASSERT_TRUE(ParseTaskUid(noTaskId.get(), list, series, task, nullptr));
    EXPECT_EQ(list, wxString());
    EXPECT_EQ(series, wxT("5"));
    EXPECT_EQ(task, wxString());
}

TEST_F(TaskSeriesTest, ParseTaskUidFailuresLeaveTheOutputs) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    wxString list = wxT("l"), series = wxT("s"), task = wxT("t");
    EXPECT_FALSE(ParseTaskUid(nullptr, list, series, task, &handler));
    EXPECT_TRUE(host().logs.empty());

    IcalPtr noUid = ParseTodo("BEGIN:VTODO\nSUMMARY:x\nEND:VTODO\n");
    EXPECT_FALSE(ParseTaskUid(noUid.get(), list, series, task, &handler));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: The task is missing an UID.")));

    IcalPtr noColon = ParseTodo("BEGIN:VTODO\nUID:100%-local\nEND:VTODO\n");
    EXPECT_FALSE(ParseTaskUid(noColon.get(), list, series, task, &handler));
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Work: Unable to parse the task UID: 100%-local.")));
    EXPECT_EQ(list + series + task, wxT("lst"));
}

// Arbitrary UIDs, including bytes that are no UTF-8, must never crash or read out of bounds.
TEST_F(TaskSeriesTest, ParseTaskUidOnArbitraryText) {
    std::mt19937 random(99);
    for (int i = 0; i < 5000; ++i) {
        std::string uid;
        for (int k = random() % 30; k > 0; --k) {
            const int pick = random() % 5;
            uid += pick == 0   ? ':'
                   : pick == 1 ? static_cast<char>(0x80 + random() % 0x80)
                               : static_cast<char>(0x20 + random() % 0x5f);
        }
        IcalPtr todo(icalcomponent_new_vtodo());
        if (!uid.empty())
            icalcomponent_set_uid(todo.get(), uid.c_str());
        if (random() % 2)
            AddXProperty(todo.get(), X_TASK_ID, wxString::FromUTF8(uid.c_str()));
        wxString list, series, task;
        const bool parsed = ParseTaskUid(todo.get(), list, series, task, nullptr);
        if (parsed) {
            EXPECT_LE(list.length() + series.length(), uid.size());
        }
        if (i % 1000 == 0)
            host().Reset();
    }
}

// Random series built from plausible and broken pieces: conversion never crashes and what it
// gives always prints.
TEST_F(TaskSeriesTest, ArbitrarySeriesAreSafe) {
    std::mt19937 random(7);
    const char* const times[] = {"",  "2012-05-01T21:00:00Z",          "2012-05",
                                 "x", "9999-99-99T99:99:99.000-99:99", "2012-05-02"};
    const char* const children[] = {"<tags><tag>a_b</tag></tags>",
                                    "<rrule>FREQ=WEEKLY;BYDAY=MO</rrule>",
                                    "<rrule>FREQ=</rrule>",
                                    "<notes><note id=\"1\" title=\"C2:data\">Status: 10054\nTrigger: "
                                    "99999999999\nStart: x\n</note></notes>",
                                    "<notes><note id=\"2\" title=\"C2:description\">d</note></notes>",
                                    "<participants/>"};
    for (int i = 0; i < 500; ++i) {
        std::string xml = "<taskseries id=\"" + std::to_string(random() % 3) + "\" created=\"" +
                          times[random() % 6] + "\" name=\"n\">";
        for (int k = random() % 5; k > 0; --k)
            xml += children[random() % 6];
        for (int k = random() % 3; k > 0; --k)
            xml += "<task id=\"" + std::to_string(random() % 4) + "\" due=\"" + times[random() % 6] +
                   "\" has_due_time=\"" + std::to_string(random() % 2) + "\" completed=\"" +
                   times[random() % 6] + "\"/>";
        xml += "</taskseries>";
        XmlElement element(wxString::FromUTF8(xml.c_str()));
        ASSERT_NE(element.Root(), nullptr) << xml;
        IcalPtr todo(ConvertTaskSeries(element.Root(), wxT("1"), nullptr));
        if (todo) {
            EXPECT_FALSE(IcalText(todo.get()).empty());
        }
        if (i % 100 == 0)
            host().Reset();
    }
}
