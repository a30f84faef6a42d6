#include "convert/TaskFields.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <ostream>

void PrintTo(const TaskFields& f, std::ostream* os) {
    for (const wxString* s : {&f.name, &f.due, &f.has_due_time, &f.data_note, &f.data_note_id, &f.description,
                              &f.description_note_id, &f.priority, &f.repeat, &f.tags, &f.url})
        *os << "[" << s->utf8_string() << "] ";
    *os << (f.completed ? "completed" : "open");
}

class TaskFieldsTest : public FakeHostTest {
  protected:
    static TaskFields FieldsOf(const std::string& body) { return MakeTaskFields(ParseTodo(body).get()); }
};

TEST_F(TaskFieldsTest, SummaryOnlyAndEveryField) {
    TaskFields expected;
    expected.name = wxT("Buy milk");
    expected.data_note = wxT("Status: 0\n");
    EXPECT_EQ(FieldsOf("SUMMARY:Buy milk\n"), expected);

    const TaskFields f = FieldsOf(
        "CATEGORIES:Home office\nCATEGORIES:Errands\nSTATUS:IN-PROCESS\nPERCENT-COMPLETE:40\n"
        "URL:http://example.com/a?b=c\nDESCRIPTION:Some text\nX-CORVANE-RTM-DATA-ID:11\n"
        "X-CORVANE-RTM-DESCRIPTION-ID:12\nRRULE:FREQ=DAILY\nDUE;VALUE=DATE:20120502\n");
    EXPECT_EQ(f.tags, wxT("Home_office,Errands"));
    EXPECT_EQ(f.data_note, wxT("Status: 10057\nPercent: 40\n"));
    EXPECT_FALSE(f.completed);
    EXPECT_EQ(f.url + f.description + f.data_note_id + f.description_note_id + f.repeat,
              wxT("http://example.com/a?b=cSome text1112Every 1 day"));
    EXPECT_TRUE(FieldsOf("STATUS:COMPLETED\n").completed);
}

TEST_F(TaskFieldsTest, DueAndPriority) {
    const std::pair<const char*, const char*> dues[] = {{"DUE;VALUE=DATE:20120502\n", "2012-05-02 0"},
                                                        {"DUE:20120501T080000Z\n", "2012-05-01T08:00:00Z 1"},
                                                        {"SUMMARY:x\n", " "}};
    for (const auto& c : dues) {
        const TaskFields f = FieldsOf(c.first);
        EXPECT_EQ(f.due + wxT(" ") + f.has_due_time, wxString(c.second)) << c.first;
    }
    const std::pair<const char*, const char*> priorities[] = {{"0", "0"}, {"1", "1"}, {"4", "1"}, {"5", "2"},
                                                              {"6", "3"}, {"9", "3"}, {"-2", "1"}};
    for (const auto& c : priorities)
        EXPECT_EQ(FieldsOf(std::string("PRIORITY:") + c.first + "\n").priority, wxString(c.second))
            << c.first;
    EXPECT_EQ(FieldsOf("SUMMARY:x\n").priority, wxString());
}

// Times go to the service as their UTC instant, whatever zone the host wrote them in; dates stay
// dates. Machine zone: Berlin (UTC+1 in December).
TEST_F(TaskFieldsTest, TimesAreSentAsTheirUtcInstant) {
    ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string customZone =
        "BEGIN:VTIMEZONE\nTZID:Custom Plus 0530\nBEGIN:STANDARD\nDTSTART:19700101T000000\n"
        "TZOFFSETFROM:+0530\nTZOFFSETTO:+0530\nEND:STANDARD\nEND:VTIMEZONE\n";
    const struct {
        const char* lines;
        const char* due;    // the due field
        const char* start;  // the "Start: " line
    } cases[] = {
        {"DTSTART:20261201T100000\nDUE:20261202T100000\n", "2026-12-02T09:00:00Z",
         "Start: 2026-12-01T09:00:00Z"},
        {"DTSTART;TZID=America/New_York:20261201T100000\nDUE;TZID=America/New_York:20261202T100000\n",
         "2026-12-02T15:00:00Z", "Start: 2026-12-01T15:00:00Z"},
        // The day New York's clocks go back: noon is EST already; 01:30 happens twice and means
        // the first, in EDT.
        {"DUE;TZID=America/New_York:20261101T120000\nDTSTART;TZID=America/New_York:20261101T013000\n",
         "2026-11-01T17:00:00Z", "Start: 2026-11-01T05:30:00Z"},
        {"DTSTART;TZID=Custom Plus 0530:20261201T100000\n", "", "Start: 2026-12-01T04:30:00Z"},
        {"DTSTART:20261201T100000Z\nDUE:20261202T100000Z\n", "2026-12-02T10:00:00Z",
         "Start: 2026-12-01T10:00:00Z"},
        {"DTSTART;VALUE=DATE:20261201\nDUE;VALUE=DATE:20261202\n", "2026-12-02", "Start: 2026-12-01"},
        // A zone nobody knows is taken as local time rather than sent as a wall clock.
        {"DUE;TZID=Nowhere/Unknown:20261202T100000\n", "2026-12-02T09:00:00Z", ""},
    };
    for (const auto& c : cases) {
        IcalPtr calendar(icalparser_parse_string(
            ("BEGIN:VCALENDAR\n" + customZone + "BEGIN:VTODO\n" + c.lines + "END:VTODO\nEND:VCALENDAR\n")
                .c_str()));
        ASSERT_TRUE(calendar);
        const icalcomponent* todo = icalcomponent_get_first_component(calendar.get(), ICAL_VTODO_COMPONENT);
        const TaskFields f = MakeTaskFields(todo);
        EXPECT_EQ(f.due, wxString(c.due)) << c.lines;
        EXPECT_EQ(f.data_note.BeforeFirst(wxT('\n')), wxString(*c.start ? c.start : "Status: 0")) << c.lines;
    }
}
