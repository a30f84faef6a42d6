#include "convert/TaskFields.h"
#include "convert/TaskSeries.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <wx/arrstr.h>

#include <ctime>
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

namespace {

std::string Escape(const wxString& text) {
    std::string out;
    for (char ch : text.utf8_string())
        out += ch == '&' ? "&amp;" : ch == '<' ? "&lt;" : ch == '"' ? "&quot;" : std::string(1, ch);
    return out;
}

// A date-only due as the service stores it: the user's local midnight, in UTC.
std::string LocalMidnightUtc(const wxString& date) {
    std::tm local{};
    local.tm_year = wxAtoi(date.Mid(0, 4)) - 1900;
    local.tm_mon = wxAtoi(date.Mid(5, 2)) - 1;
    local.tm_mday = wxAtoi(date.Mid(8, 2));
    local.tm_isdst = -1;
    const std::time_t instant = std::mktime(&local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&instant));
    return buffer;
}

// The taskseries element the service would hold after an upload of these fields.
std::string ServiceCopy(const TaskFields& f, const icalcomponent* todo) {
    std::string xml = "<taskseries id=\"3001\" created=\"2012-04-01T09:00:00Z\" name=\"" + Escape(f.name) +
                      "\" url=\"" + Escape(f.url) + "\">";
    if (icalproperty* rule =
            icalcomponent_get_first_property(const_cast<icalcomponent*>(todo), ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype recurrence = icalproperty_get_rrule(rule);
        xml += std::string("<rrule every=\"1\">") + icalrecurrencetype_as_string(&recurrence) + "</rrule>";
    }
    xml += "<tags>";
    for (const wxString& tag : wxSplit(f.tags, wxT(','), 0))
        xml += "<tag>" + Escape(tag) + "</tag>";
    xml += "</tags><participants/><notes><note id=\"" + Escape(f.data_note_id) + "\" title=\"C2:data\">" +
           Escape(f.data_note) + "</note>";
    if (!f.description.empty())
        xml += "<note id=\"" + Escape(f.description_note_id) + "\" title=\"C2:description\">" +
               Escape(f.description) + "</note>";
    std::string due;
    if (!f.due.empty())
        due = f.has_due_time == wxT("0") ? LocalMidnightUtc(f.due) : f.due.utf8_string();
    xml += "</notes><task id=\"4001\" due=\"" + due + "\" has_due_time=\"" +
           (f.has_due_time == wxT("1") ? "1" : "0") + "\" completed=\"" +
           (f.completed ? "2012-06-01T10:00:00Z" : "") + "\" priority=\"" +
           (f.priority == wxT("0") ? "N" : f.priority.utf8_string()) + "\"/></taskseries>";
    return xml;
}

}  // namespace

// The upload compares the fields of the host's to-do with those of the service's copy: a to-do the
// service already holds must compare equal, or every upload would send unchanged fields again.
// (A to-do with floating times or without PRIORITY does not: see the notes on the upload.)
TEST_F(TaskFieldsTest, RoundTripThroughTheServiceKeepsEveryField) {
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const char* const corpus[] = {
        "SUMMARY:Buy milk\nPRIORITY:0\nX-CORVANE-RTM-DATA-ID:1\n",
        "SUMMARY:File tax return\nDUE;VALUE=DATE:20120502\nDTSTART;VALUE=DATE:20120425\nLOCATION:Office\n"
        "STATUS:IN-PROCESS\nPERCENT-COMPLETE:40\nX-CORVANE-LASTALARMACK:20120501T070000Z\n"
        "X-CORVANE-TASK-POSITION:3\nCATEGORIES:Home "
        "office\nCATEGORIES:Errands\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\n"
        "URL:http://example.com/tax?year=2011&x=1\nDESCRIPTION:Bring the receipts\\nand the forms\n"
        "X-CORVANE-RTM-DESCRIPTION-ID:61\nPRIORITY:1\nX-CORVANE-RTM-DATA-ID:60\n"
        "BEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT15M\nEND:VALARM\n",
        "SUMMARY:Pay "
        "rent\nDUE:20120531T160000Z\nSTATUS:COMPLETED\nPRIORITY:5\nRRULE:FREQ=MONTHLY;BYDAY=-1FR\n"
        "X-CORVANE-RTM-DATA-ID:70\n",
        "SUMMARY:Call "
        "home\nDUE;VALUE=DATE:20121231\nSTATUS:NEEDS-ACTION\nPRIORITY:9\nRRULE:FREQ=DAILY;COUNT=5\n"
        "CATEGORIES:call_home\nX-CORVANE-RTM-DATA-ID:80\n",
        "SUMMARY:Caf\xC3\xA9 \xE2\x82\xAC 5 "
        "\xE6\x97\xA5\xE6\x9C\xAC\nLOCATION:M\xC3\xBCnchen\nSTATUS:CANCELLED\n"
        "PRIORITY:3\nDESCRIPTION:\xC3\xA9t\xC3\xA9\nX-CORVANE-RTM-DESCRIPTION-ID:91\nX-CORVANE-RTM-DATA-ID:"
        "90\n"
        "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:PT10M\nEND:VALARM\n",
        "SUMMARY:Low\nPRIORITY:6\nDTSTART:20120501T080000Z\nDUE:20120501T090000Z\nX-CORVANE-RTM-DATA-ID:"
        "100\n",
        "SUMMARY:Quotes \" & <tags> 100%\nPRIORITY:2\nCATEGORIES:a&b\nX-CORVANE-RTM-DATA-ID:110\n",
        "SUMMARY:Yearly\nDUE;VALUE=DATE:20120229\nRRULE:FREQ=YEARLY;UNTIL=20201231\nPRIORITY:1\n"
        "STATUS:TENTATIVE\nX-CORVANE-RTM-DATA-ID:120\n",
        "SUMMARY:Weekday\nDUE;VALUE=DATE:20121029\nRRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1\n"
        "PRIORITY:1\nSTATUS:DRAFT\nX-CORVANE-RTM-DATA-ID:130\n",
    };
    for (const char* body : corpus) {
        IcalPtr todo = ParseTodo(body);
        ASSERT_TRUE(todo) << body;
        const TaskFields host = MakeTaskFields(todo.get());
        XmlElement element(ServiceCopy(host, todo.get()));
        ASSERT_NE(element.Root(), nullptr) << body;
        IcalPtr copy(ConvertTaskSeries(element.Root(), wxT("2002"), nullptr));
        ASSERT_TRUE(copy) << body;
        EXPECT_EQ(MakeTaskFields(copy.get()), host) << body;
    }
}
