#include "convert/ExtraFieldNote.h"
#include "convert/PropertyHelpers.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

class ExtraFieldNoteTest : public FakeHostTest {};

namespace {

wxString NoteOf(const std::string& body) {
    return MakeDataNoteText(ParseTodo(body).get());
}

// A fresh to-do with the note applied; the note's status number comes back through `status`.
IcalPtr ReadNote(const wxString& text, int& status) {
    IcalPtr todo(icalcomponent_new_vtodo());
    ReadDataNote(todo.get(), text, wxT("77"), status, nullptr);
    return todo;
}

}  // namespace

// Each to-do of tests/data/data-notes.ics gives the note its X-NOTE holds: the lines in their
// order; statuses without a number of the note's are extensions; an alarm before is positive, after
// negative, an absolute time 0, truncated toward zero; only the first alarm counts.
TEST_F(ExtraFieldNoteTest, WritesTheLinesInTheirOrder) {
    IcalPtr notes(icalparser_parse_string(ReadTextFile(CORVANE_TEST_DATA_DIR "/data-notes.ics").c_str()));
    ASSERT_TRUE(notes);
    int count = 0;
    for (icalcomponent* todo = icalcomponent_get_first_component(notes.get(), ICAL_VTODO_COMPONENT); todo;
         todo = icalcomponent_get_next_component(notes.get(), ICAL_VTODO_COMPONENT), ++count) {
        wxString note = GetXProperty(todo, "X-NOTE");
        note.Replace(wxT("\\n"), wxT("\n"));
        EXPECT_EQ(MakeDataNoteText(todo), note) << IcalText(todo);
    }
    EXPECT_EQ(count, 15);
}

// The note's numbers are fixed; libical 3.0 numbers its statuses 10900 and up.
TEST_F(ExtraFieldNoteTest, StatusRoundTripsThroughItsNumber) {
    const std::pair<const char*, int> cases[] = {
        {"TENTATIVE", 10052}, {"CONFIRMED", 10053},  {"COMPLETED", 10054}, {"NEEDS-ACTION", 10055},
        {"CANCELLED", 10056}, {"IN-PROCESS", 10057}, {"DRAFT", 10058},     {"FINAL", 10059}};
    for (const auto& c : cases) {
        const std::string line = std::string("STATUS:") + c.first;
        EXPECT_EQ(NoteOf(line + "\n"), wxString::Format(wxT("Status: %d\n"), c.second));
        int status = 0;
        IcalPtr read = ReadNote(wxString::Format(wxT("Status: %d\n"), c.second), status);
        icalproperty_status icalStatus;
        ASSERT_TRUE(IcalStatusFromNote(status, icalStatus)) << c.first;
        icalcomponent_set_status(read.get(), icalStatus);
        EXPECT_EQ(PropertyLine(read.get(), ICAL_STATUS_PROPERTY), line);
    }
    EXPECT_EQ(NoteStatusFromIcal(ICAL_STATUS_NONE), 10060);
    EXPECT_EQ(NoteStatusFromIcal(ICAL_STATUS_X), 10051);
    // No STATUS for none, unknown numbers, libical's own numbers, and the extension value, whose
    // text the note does not keep (an empty "STATUS:" would not read back).
    icalproperty_status unused;
    for (int number : {0, 5, 10061, 10903, 10051})
        EXPECT_FALSE(IcalStatusFromNote(number, unused)) << number;
}

TEST_F(ExtraFieldNoteTest, ReadsEveryKeyAndWritesItBack) {
    const wxString note = wxString::FromUTF8(
        "Start: 2012-05-01T08:00:00Z\nLocation: Caf\xC3\xA9 \xE2\x82\xAC\nStatus: 10057\nPercent: 40\n"
        "LastAck: a b\nPosition: 7\nTrigger: 15\n");
    int status = 0;
    IcalPtr todo = ReadNote(note, status);
    EXPECT_EQ(status, 10057);
    const std::string text = IcalText(todo.get());
    EXPECT_NE(text.find("BEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT15M\nEND:VALARM\n"), std::string::npos)
        << text;
    EXPECT_LT(text.find("X-CORVANE-TASK-POSITION:7"), text.find("X-CORVANE-RTM-DATA-ID:77")) << text;
    icalcomponent_set_status(todo.get(), ICAL_STATUS_INPROCESS);
    EXPECT_EQ(MakeDataNoteText(todo.get()), note);
    // A start without Z, as earlier versions wrote floating times, comes back as UTC; a date stays a
    // date.
    IcalPtr floating = ReadNote(wxT("Start: 2012-05-01T08:00:00\n"), status);
    EXPECT_EQ(MakeDataNoteText(floating.get()), wxT("Start: 2012-05-01T08:00:00Z\nStatus: 0\n"));
    IcalPtr date = ReadNote(NoteOf("DTSTART;VALUE=DATE:20120501\n"), status);
    EXPECT_EQ(PropertyLine(date.get(), ICAL_DTSTART_PROPERTY), "DTSTART;VALUE=DATE:20120501");
}

TEST_F(ExtraFieldNoteTest, LineRulesOnReading) {
    int status = 10055;
    // A carriage return stays in the value; a line feed in a location ends it; other keys and empty
    // lines are ignored; the last status wins; a repeated line applies twice.
    IcalPtr todo = ReadNote(
        wxT("Location: Office\r\nLocation: Home\nFloor 2\n\nNotes: by hand\nStatus: 10054\nStatus: 10056\n"
            "Trigger: 5\nTrigger: -10"),
        status);
    EXPECT_EQ(status, 10056);
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_LOCATION_PROPERTY), 2);
    EXPECT_EQ(icalcomponent_count_components(todo.get(), ICAL_VALARM_COMPONENT), 2);
    EXPECT_STREQ(icalcomponent_get_location(todo.get()), "Office\r");
    EXPECT_EQ(MakeDataNoteText(todo.get()), wxT("Location: Office\r\nStatus: 0\nTrigger: 5\n"));
    // Keys are case-sensitive and include their space.
    int untouched = 10055;
    IcalPtr other = ReadNote(wxT("status: 10054\nStatus:10054\nSTART: 2012-05-01\n"), untouched);
    EXPECT_EQ(untouched, 10055);
    EXPECT_EQ(IcalText(other.get()), "BEGIN:VTODO\nX-CORVANE-RTM-DATA-ID:77\nEND:VTODO\n");
}
