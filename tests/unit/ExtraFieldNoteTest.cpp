#include "convert/ExtraFieldNote.h"
#include "convert/PropertyHelpers.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <random>

class ExtraFieldNoteTest : public FakeHostTest {};

namespace {

IcalPtr Todo(const std::string& body) {
    return ParseTodo("BEGIN:VTODO\n" + body + "END:VTODO\n");
}

wxString NoteOf(const std::string& body) {
    IcalPtr todo = Todo(body);
    EXPECT_TRUE(todo) << body;
    return todo ? MakeDataNoteText(todo.get()) : wxString();
}

// A fresh to-do with the note applied; the status value comes back through `status`.
IcalPtr ReadNote(const wxString& text, int& status, const wxString& id = wxT("77")) {
    IcalPtr todo(icalcomponent_new_vtodo());
    ReadDataNote(todo.get(), text, id, status, nullptr);
    return todo;
}

}  // namespace

TEST_F(ExtraFieldNoteTest, WritesTheLinesInTheirOrder) {
    struct Case {
        const char* body;
        const wchar_t* note;
    } cases[] = {
        {"SUMMARY:x\n", L"Status: 0\n"},
        {"DTSTART:20120501T080000Z\nLOCATION:Office\nSTATUS:IN-PROCESS\nPERCENT-COMPLETE:40\n"
         "BEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT15M\nEND:VALARM\n",
         L"Start: 2012-05-01T08:00:00Z\nLocation: Office\nStatus: 10057\nPercent: 40\nTrigger: 15\n"},
        {"STATUS:NEEDS-ACTION\nPERCENT-COMPLETE:40\n", L"Status: 10055\n"},
        {"DTSTART;VALUE=DATE:20120501\n", L"Start: 2012-05-01\nStatus: 0\n"},
        {"DTSTART:20120501T080000\n", L"Start: 2012-05-01T08:00:00\nStatus: 0\n"},
        {"X-CORVANE-TASK-POSITION:3\nX-CORVANE-LASTALARMACK:20120501T070000Z\nSTATUS:CANCELLED\n",
         L"Status: 10056\nLastAck: 20120501T070000Z\nPosition: 3\n"},
        {"X-CORVANE-LASTALARMACK:\n", L"Status: 0\n"},
        // Before is positive, after negative, an absolute time 0; only the first alarm counts.
        {"BEGIN:VALARM\nTRIGGER:PT10M\nEND:VALARM\nBEGIN:VALARM\nTRIGGER:-PT5M\nEND:VALARM\n",
         L"Status: 0\nTrigger: -10\n"},
        {"BEGIN:VALARM\nTRIGGER;VALUE=DATE-TIME:20120501T070000Z\nEND:VALARM\n", L"Status: 0\nTrigger: 0\n"},
        {"BEGIN:VALARM\nTRIGGER:-PT90S\nEND:VALARM\n", L"Status: 0\nTrigger: 1\n"},
        {"BEGIN:VALARM\nTRIGGER:PT59S\nEND:VALARM\n", L"Status: 0\nTrigger: 0\n"},
        {"BEGIN:VALARM\nACTION:AUDIO\nEND:VALARM\n", L"Status: 0\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NoteOf(c.body), wxString(c.note)) << c.body;
}

TEST_F(ExtraFieldNoteTest, StatusNumbersAreTheNotesOwnNotLibicals) {
    struct Case {
        const char* status;
        int number;
    } cases[] = {
        {"TENTATIVE", 10052}, {"CONFIRMED", 10053},  {"COMPLETED", 10054}, {"NEEDS-ACTION", 10055},
        {"CANCELLED", 10056}, {"IN-PROCESS", 10057}, {"DRAFT", 10058},     {"FINAL", 10059},
    };
    for (const Case& c : cases) {
        const std::string body = std::string("STATUS:") + c.status + "\n";
        EXPECT_EQ(NoteOf(body), wxString::Format(wxT("Status: %d\n"), c.number)) << c.status;

        // And back: the number read from a note gives the same STATUS.
        int status = 0;
        IcalPtr read = ReadNote(wxString::Format(wxT("Status: %d\n"), c.number), status);
        EXPECT_EQ(status, c.number);
        icalproperty_status icalStatus;
        ASSERT_TRUE(IcalStatusFromNote(status, icalStatus));
        icalcomponent_set_status(read.get(), icalStatus);
        EXPECT_NE(IcalText(read.get()).find(body), std::string::npos) << IcalText(read.get());
    }
    EXPECT_EQ(NoteStatusFromIcal(ICAL_STATUS_NONE), NOTE_STATUS_NONE);
    EXPECT_EQ(NoteStatusFromIcal(static_cast<icalproperty_status>(0)), 0);
    EXPECT_EQ(NoteStatusFromIcal(ICAL_STATUS_X), NOTE_STATUS_X);
    icalproperty_status unused;
    // No STATUS for 0, for unknown numbers, and for the extension value whose text is not kept.
    for (int number : {0, 5, 10050, 10061, 10903, int(NOTE_STATUS_X)})
        EXPECT_FALSE(IcalStatusFromNote(number, unused));
}

TEST_F(ExtraFieldNoteTest, ReadsEveryKey) {
    int status = 0;
    IcalPtr todo = ReadNote(
        wxT("Start: 2012-05-01T08:00:00Z\nLocation: Office\nStatus: 10057\nPercent: 40\nLastAck: a b\n"
            "Position: 7\nTrigger: 15\n"),
        status, wxT("901"));
    EXPECT_EQ(status, 10057);
    const std::string text = IcalText(todo.get());
    for (const char* line :
         {"DTSTART:20120501T080000Z\n", "LOCATION:Office\n", "PERCENT-COMPLETE:40\n",
          "X-CORVANE-LASTALARMACK:a b\n", "X-CORVANE-TASK-POSITION:7\n", "X-CORVANE-RTM-DATA-ID:901\n",
          "BEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT15M\nEND:VALARM\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    // The data id comes after the note's own properties.
    EXPECT_LT(text.find("X-CORVANE-TASK-POSITION"), text.find("X-CORVANE-RTM-DATA-ID"));
}

TEST_F(ExtraFieldNoteTest, TriggerRoundTripsBeforeAndAfter) {
    for (int minutes : {15, -10, 0, 1440, -2880}) {
        int status = 0;
        IcalPtr todo = ReadNote(wxString::Format(wxT("Trigger: %d\n"), minutes), status);
        EXPECT_EQ(MakeDataNoteText(todo.get()), wxString::Format(wxT("Status: 0\nTrigger: %d\n"), minutes));
    }
}

TEST_F(ExtraFieldNoteTest, LineRulesOnReading) {
    int status = 10055;
    // A carriage return stays in the value; a line feed in a location ends it; unknown keys and
    // empty lines are ignored; the last status wins; lines that occur twice apply twice.
    IcalPtr todo = ReadNote(wxT("Location: Office\r\nLocation: Home\nFloor 2\n\nNotes: hand-edited\nStatus: "
                                "10054\nStatus: 10056\n"
                                "Trigger: 5\nTrigger: 10"),
                            status);
    EXPECT_EQ(status, 10056);
    EXPECT_EQ(icalcomponent_count_properties(todo.get(), ICAL_LOCATION_PROPERTY), 2);
    EXPECT_EQ(icalcomponent_count_components(todo.get(), ICAL_VALARM_COMPONENT), 2);
    icalproperty* first = icalcomponent_get_first_property(todo.get(), ICAL_LOCATION_PROPERTY);
    EXPECT_STREQ(icalproperty_get_location(first), "Office\r");
    // Written again, the hand-edited line and the text after the line feed are gone.
    EXPECT_EQ(MakeDataNoteText(todo.get()), wxT("Location: Office\r\nStatus: 0\nTrigger: 5\n"));
    // Keys are case-sensitive and need their space.
    int untouched = 10055;
    IcalPtr other = ReadNote(wxT("status: 10054\nStatus:10054\nSTART: 2012-05-01\n"), untouched);
    EXPECT_EQ(untouched, 10055);
    EXPECT_EQ(icalcomponent_count_properties(other.get(), ICAL_DTSTART_PROPERTY), 0);
}

TEST_F(ExtraFieldNoteTest, StartReadsBackAsWritten) {
    // A DATE stays a DATE; a floating date-time comes back as UTC.
    int status = 0;
    IcalPtr date = ReadNote(NoteOf("DTSTART;VALUE=DATE:20120501\n"), status);
    EXPECT_EQ(MakeDataNoteText(date.get()), wxT("Start: 2012-05-01\nStatus: 0\n"));
    IcalPtr floating = ReadNote(NoteOf("DTSTART:20120501T080000\n"), status);
    EXPECT_EQ(MakeDataNoteText(floating.get()), wxT("Start: 2012-05-01T08:00:00Z\nStatus: 0\n"));
}

TEST_F(ExtraFieldNoteTest, NonAsciiTextSurvives) {
    int status = 0;
    IcalPtr todo = ReadNote(wxString::FromUTF8("Location: Caf\xC3\xA9 M\xC3\xBCller \xE2\x82\xAC\n"), status);
    EXPECT_EQ(MakeDataNoteText(todo.get()),
              wxString::FromUTF8("Location: Caf\xC3\xA9 M\xC3\xBCller \xE2\x82\xAC\nStatus: 0\n"));
}

TEST_F(ExtraFieldNoteTest, DescriptionNote) {
    IcalPtr todo(icalcomponent_new_vtodo());
    EXPECT_EQ(MakeDescriptionText(todo.get()), wxString());
    ReadDescriptionNote(todo.get(), wxT("Line 1\nStatus: 10054\n"), wxT("55"));
    EXPECT_EQ(MakeDescriptionText(todo.get()), wxT("Line 1\nStatus: 10054\n"));
    EXPECT_EQ(GetXProperty(todo.get(), X_DESCRIPTION_ID), wxT("55"));
    EXPECT_EQ(MakeDescriptionText(Todo("DESCRIPTION:\n").get()), wxString());
}

// Arbitrary note text must never crash or read outside the text, and what it gives must print.
TEST_F(ExtraFieldNoteTest, ArbitraryTextIsSafe) {
    std::mt19937 random(4711);
    const wxString keys[] = {wxT("Start: "),   wxT("Location: "), wxT("Status: "),  wxT("Percent: "),
                             wxT("LastAck: "), wxT("Position: "), wxT("Trigger: "), wxT("")};
    const wchar_t alphabet[] = L"0123456789-+:TZ \r\n\tabc\u00e9\u20ac99999999999";
    for (int i = 0; i < 3000; ++i) {
        wxString text;
        for (int lines = random() % 6; lines > 0; --lines) {
            text += keys[random() % 8];
            for (int k = random() % 25; k > 0; --k)
                text += alphabet[random() % (sizeof alphabet / sizeof alphabet[0] - 1)];
            if (random() % 4)
                text += wxT('\n');
        }
        int status = 0;
        IcalPtr todo = ReadNote(text, status);
        icalproperty_status icalStatus;
        if (IcalStatusFromNote(status, icalStatus))
            icalcomponent_set_status(todo.get(), icalStatus);
        MakeDataNoteText(todo.get());
        EXPECT_FALSE(IcalText(todo.get()).empty());
        if (i % 500 == 0)
            host().Reset();
    }
}
