// The task upload and deletion against the emulator: the calls sent, what the host and the offline
// store receive, and the property that a re-read to-do uploads with no field call.
#include "convert/TaskFields.h"
#include "rtm/ResultCodes.h"
#include "sync/Deletion.h"
#include "sync/OfflineCalendar.h"
#include "sync/Upload.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/filename.h>

#include <cstdlib>
#include <ctime>

namespace {
using Calls = std::vector<std::string>;

icalcomponent* Parse(const std::string& text) {
    return icalparser_parse_string(text.c_str());
}

std::string Todo(const std::string& uid, const std::string& body) {
    return "BEGIN:VTODO\r\nUID:" + uid + "\r\n" + body + "END:VTODO\r\n";
}

class UploadTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedFile(CORVANE_TEST_DATA_DIR "/account.xml", &error))
            << error;
        token = wxString::FromUTF8(GrantedToken().c_str());
        connection = Connection();
    }
    void TearDown() override {
        connection.reset();
        EmulatorTest::TearDown();
    }
    uint32_t Upload(const std::string& ical, COfflineCalendar* offline = nullptr) {
        icalcomponent* todo = Parse(ical);
        emulator->ClearRequests();
        const uint32_t result = CTaskUpload(*connection, Handler()).Run(token, todo, offline);
        icalcomponent_free(todo);
        return result;
    }
    // The calls of the last upload, each with the value it sets (the path and the signing left out).
    Calls Sent() {
        Calls sent;
        for (const auto& r : emulator->Requests()) {
            std::string call = r.method;
            for (const auto& p : r.params)
                if (p.first != "method" && p.first.find("_id") == std::string::npos &&
                    p.first != "timeline" && p.first.rfind("api_", 0) != 0 && p.first != "auth_token")
                    call += " " + p.first + "=" + p.second;
            if (!r.method.empty())
                sent.push_back(call);
        }
        return sent;
    }
    // The to-do the host received last with flags 2 (the service's version).
    std::string ReRead() {
        for (auto a = host().added.rbegin(); a != host().added.rend(); ++a)
            if (a->flags == 2)
                return a->ical;
        return "";
    }
    wxString token;
    std::unique_ptr<CRTMConnection> connection;
    ScopedTimeZone utc{"UTC"};  // date-only dues are local dates: the process in the account's zone
};
}  // namespace

TEST_F(UploadTest, ANewToDoIsAddedWithEveryFieldThenReadBackUnderItsNewUid) {
    const uint32_t result = Upload(Todo("host-1",
                                        "SUMMARY:Buy stamps\r\nDUE;VALUE=DATE:20261208\r\n"
                                        "DESCRIPTION:Second class\r\nSTATUS:COMPLETED\r\n"));
    EXPECT_EQ(result, RTM_OK);
    EXPECT_EQ(Methods(),
              (Calls{"rtm.timelines.create", "rtm.tasks.add", "rtm.tasks.setDueDate", "rtm.tasks.setPriority",
                     "rtm.tasks.setRecurrence", "rtm.tasks.setTags", "rtm.tasks.setURL",
                     "rtm.tasks.notes.add", "rtm.tasks.notes.add", "rtm.tasks.complete"}));
    EXPECT_EQ(Param("rtm.tasks.add", "name"), "Buy stamps");
    EXPECT_EQ(Param("rtm.tasks.add", "list_id"), "<absent>");
    EXPECT_EQ(Param("rtm.tasks.setDueDate", "due"), "2026-12-08");
    EXPECT_EQ(Param("rtm.tasks.setDueDate", "has_due_time"), "0");

    ASSERT_EQ(host().added.size(), 2u);
    EXPECT_EQ(host().added[0].flags, 0x8004u);
    EXPECT_EQ(host().added[0].uid, "host-1");
    EXPECT_EQ(host().added[1].flags, 2u);
    EXPECT_NE(host().added[1].uid, "host-1");
    EXPECT_EQ(host().added[1].uid.find(emulator->State().Tasks().InboxId() + ":"), 0u);
    EXPECT_NE(host().added[1].ical.find("DESCRIPTION:Second class"), std::string::npos);
    EXPECT_NE(host().added[1].ical.find("X-CORVANE-RTM-DATA-ID"), std::string::npos);
    EXPECT_NE(host().added[1].ical.find("STATUS:COMPLETED"), std::string::npos);
    EXPECT_TRUE(
        host().HasLog(LOG_INFO, wxT("Removed old component since the new uid doesn't match (host-1 <> ")));
}

// A read-back to-do edited in the host sends what changed and nothing else: a removed due or
// description is no change (the service keeps them, a repeat with its due), an emptied field is
// sent empty, and the data note is edited (by its id alone), not added again.
TEST_F(UploadTest, AnEditOfAReadBackToDoSendsOnlyWhatChanged) {
    const struct {
        const char* body;
        std::vector<std::pair<std::string, std::string>> edits;  // read-back text, and what replaces it
        Calls sent;
        Calls back;  // what the service kept comes back
    } cases[] = {
        {"SUMMARY:First name\r\nPRIORITY:5\r\nCATEGORIES:home office\r\n",
         {{"SUMMARY:First name", "SUMMARY:Second name"}},
         {"rtm.timelines.create", "rtm.tasks.setName name=Second name"},
         {"SUMMARY:Second name"}},
        {"SUMMARY:Weekly\r\nDUE;VALUE=DATE:20261214\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n",
         {{"DUE;VALUE=DATE:20261214\r\n", ""}},
         {"rtm.timelines.create", "rtm.tasks.setName name=Weekly"},
         {"DUE;VALUE=DATE:20261214", "RRULE:FREQ=WEEKLY;BYDAY=MO"}},
        {"SUMMARY:Located\r\nLOCATION:Office\r\n",
         {{"LOCATION:Office", "LOCATION:Home"}},
         {"rtm.timelines.create", "rtm.tasks.setName name=Located",
          "rtm.tasks.notes.edit note_text=Location: Home\nStatus: 0\n note_title=C2:data"},
         {}},
        {"SUMMARY:Full\r\nDUE:20261209T100000Z\r\nDESCRIPTION:Words\r\nPRIORITY:1\r\nCATEGORIES:a\r\n"
         "URL:http://example.com/\r\n",
         {{"DUE:20261209T100000Z\r\n", ""},
          {"DESCRIPTION:Words\r\n", ""},
          {"PRIORITY:1\r\n", ""},
          {"CATEGORIES:a\r\n", ""},
          {"URL:http://example.com/\r\n", ""}},
         {"rtm.timelines.create", "rtm.tasks.setName name=Full",
          "rtm.tasks.setPriority priority=", "rtm.tasks.setTags tags=", "rtm.tasks.setURL url="},
         {"DUE:20261209T100000Z", "DESCRIPTION:Words"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        ASSERT_EQ(Upload(Todo("host-" + std::to_string(++n), c.body)), RTM_OK);
        std::string reread = ReRead();
        for (const auto& edit : c.edits) {
            const size_t at = reread.find(edit.first);
            ASSERT_NE(at, std::string::npos) << reread;
            reread.replace(at, edit.first.size(), edit.second);
        }
        host().added.clear();
        EXPECT_EQ(Upload(reread), RTM_OK);
        EXPECT_EQ(Sent(), c.sent);
        for (const FakeAdded& added : host().added)
            EXPECT_EQ(added.flags, 2u) << "the UID stays";
        for (const std::string& kept : c.back)
            EXPECT_NE(ReRead().find(kept), std::string::npos) << ReRead();
    }
}

// A description comes back as written, leading blank lines and whitespace-only text included,
// and keeps its note id. (libical's parser drops a whitespace-only value, so the to-do is built in
// memory as the host would hold it.)
TEST_F(UploadTest, DescriptionsComeBackCharacterForCharacter) {
    for (const char* description : {"\n\nAgenda:\n1. budget", "  ", "\n", " \n x \n"}) {
        host().added.clear();
        IcalPtr todo(Parse(Todo("host-10", "SUMMARY:Notes\r\n")));
        icalcomponent_set_description(todo.get(), description);
        ASSERT_EQ(CTaskUpload(*connection, Handler()).Run(token, todo.get(), nullptr), RTM_OK);
        const std::string line = icalproperty_as_ical_string(
            icalcomponent_get_first_property(todo.get(), ICAL_DESCRIPTION_PROPERTY));
        EXPECT_NE(ReRead().find(line), std::string::npos) << line << ReRead();
        EXPECT_NE(ReRead().find("X-CORVANE-RTM-DESCRIPTION-ID:"), std::string::npos) << ReRead();
    }
}

TEST_F(UploadTest, AToDoOfAnotherListIsAddedToTheConfiguredOne) {
    connection->listId = wxT("22");
    Upload(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    EXPECT_EQ(emulator->CountCalls("rtm.tasks.setName"), 0u);
    EXPECT_EQ(Param("rtm.tasks.add", "list_id"), "22");
    EXPECT_EQ(emulator->CountCalls("rtm.tasks.delete"), 0u) << "the old task is not deleted";
    EXPECT_NE(ReRead().find("UID:22:"), std::string::npos);
}

TEST_F(UploadTest, ARefusedFieldCallIsReportedAndTheRestStillReachTheService) {
    COfflineCalendar offline(wxFileName(tempDir, wxT("offline.ics")));
    emulator->SetRequestObserver([this](const rtmemu::LoggedRequest& r) {
        if (r.method == "rtm.tasks.setTags")
            emulator->InjectFault(rtmemu::Fault::Envelope(340, "Invalid task"));
    });
    const uint32_t result = Upload(Todo("host-6", "SUMMARY:Broken\r\nCATEGORIES:x\r\n"), &offline);
    emulator->SetRequestObserver(nullptr);
    EXPECT_EQ(result, RTM_FAILED) << "a refusal is no success";
    EXPECT_EQ(Methods().back(), "rtm.tasks.uncomplete");
    // The task the add made is read back, so the host's UID gives way to the service's.
    ASSERT_EQ(host().added.size(), 2u);
    EXPECT_EQ(host().added[1].flags, 2u);
    EXPECT_EQ(offline.Components().Size(), 1u);
    ASSERT_EQ(host().messages.size(), 1u);
    EXPECT_TRUE(host().messages[0].text.Contains(wxT("Call \"rtm.tasks.setTags\" failed:\nInvalid task")));
}

TEST_F(UploadTest, DeletionNeedsReadableIdsAndTakesOneTimelineEach) {
    icalcomponent* known = Parse(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    icalcomponent* local = Parse(Todo("made-in-host", "SUMMARY:Never uploaded\r\n"));
    emulator->ClearRequests();
    EXPECT_EQ(DeleteTask(*connection, &Handler().GetLogger(), token, known), RTM_OK);
    EXPECT_EQ(DeleteTask(*connection, &Handler().GetLogger(), token, local), RTM_OK);
    EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.delete", "rtm.timelines.create"}));
    EXPECT_EQ(Param("rtm.tasks.delete", "list_id") + ":" + Param("rtm.tasks.delete", "taskseries_id") + ":" +
                  Param("rtm.tasks.delete", "task_id"),
              "21:31:41");
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Unable to parse the task UID: made-in-host.")));
    auto series = emulator->State().Tasks().FindSeries("31");
    ASSERT_TRUE(series.has_value());
    EXPECT_TRUE(series->tasks[0].deleted.has_value());
    icalcomponent_free(known);
    icalcomponent_free(local);
}

// The to-dos of tests/data/upload-corpus.ics (every field, every repeat rule with a phrase, every
// priority), read back from the service, upload again with no field call.
TEST_F(UploadTest, AReReadToDoUploadsAgainWithoutAnyFieldCall) {
    IcalPtr corpus(Parse(ReadTextFile(CORVANE_TEST_DATA_DIR "/upload-corpus.ics")));
    ASSERT_TRUE(corpus);
    for (icalcomponent* todo = icalcomponent_get_first_component(corpus.get(), ICAL_VTODO_COMPONENT); todo;
         todo = icalcomponent_get_next_component(corpus.get(), ICAL_VTODO_COMPONENT)) {
        const std::string body = icalcomponent_as_ical_string(todo);
        host().added.clear();
        ASSERT_EQ(Upload(body), RTM_OK) << body;
        const std::string reread = ReRead();
        ASSERT_FALSE(reread.empty()) << body;
        Upload(reread);
        EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"})) << body << "\n" << reread;
    }
    EXPECT_TRUE(host().messages.empty()) << host().messages[0].text;
}

namespace {
// The UTC instant of a local wall-clock time under the current TZ, by the C library alone.
std::string LocalInstant(int hour) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 10;
    local.tm_mday = 1;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return text;
}

// Every mapped field as the upload compares them, the service's note ids left out.
TaskFields Mapped(const icalcomponent* todo) {
    TaskFields fields = MakeTaskFields(todo);
    fields.data_note_id = fields.description_note_id = wxString();
    return fields;
}
}  // namespace

// A to-do carrying every mapped field, its start and due floating, in UTC, in two named zones (New
// York on the day its clocks go back, Kolkata without daylight saving) and as dates, written and
// read back with the machine east of, west of and at UTC: each field comes back as written (the
// same instant, the same date, the same text), and writing the re-read to-do sends no field call.
TEST_F(UploadTest, WrittenFieldsComeBackInEveryMachineZone) {
    const char* const fields =
        "SUMMARY:Plan \xC3\xA4 \xE2\x82\xAC 100% <b>&\"x\"\r\n"
        "DESCRIPTION:\\n\\nAgenda:\\n1. budget\\, 50% \xC3\xBC\\n\r\n"
        "LOCATION:Room 4\\; floor \"2\" \\\\ east\r\n"
        "URL:https://example.com/a?b=c&d=%20\r\n"
        "PRIORITY:5\r\nCATEGORIES:home office\r\nCATEGORIES:errands\r\n"
        "STATUS:IN-PROCESS\r\nPERCENT-COMPLETE:40\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n"
        "X-CORVANE-LASTALARMACK:20261201T100000Z\r\nX-CORVANE-TASK-POSITION:7\r\n"
        "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n";
    const struct {
        const char* times;
        const char* start;  // the instant or date; null: 10:00 local on 2026-11-01
        const char* due;    // null: 12:00 local on 2026-11-01
    } forms[] = {
        {"DTSTART:20261101T100000\r\nDUE:20261101T120000\r\n", nullptr, nullptr},
        {"DTSTART:20261101T100000Z\r\nDUE:20261101T120000Z\r\n", "2026-11-01T10:00:00Z",
         "2026-11-01T12:00:00Z"},
        {"DTSTART;TZID=America/New_York:20261101T013000\r\nDUE;TZID=America/New_York:20261101T120000\r\n",
         "2026-11-01T05:30:00Z", "2026-11-01T17:00:00Z"},
        {"DTSTART;TZID=Asia/Kolkata:20261101T100000\r\nDUE;TZID=Asia/Kolkata:20261101T120000\r\n",
         "2026-11-01T04:30:00Z", "2026-11-01T06:30:00Z"},
        {"DTSTART;VALUE=DATE:20261101\r\nDUE;VALUE=DATE:20261102\r\n", "2026-11-01", "2026-11-02"},
    };
    int n = 0;
    for (const char* zone : {"Europe/Berlin", "America/New_York", "UTC"}) {
        ScopedTimeZone machine(zone);
        ASSERT_TRUE(emulator->State().Tasks().SetTimeZone(zone));  // the user's account, like the machine
        for (const auto& form : forms) {
            const std::string where = std::string(zone) + "\n" + form.times;
            host().added.clear();
            IcalPtr written(Parse(Todo("trip-" + std::to_string(n++), std::string(fields) + form.times)));
            ASSERT_EQ(CTaskUpload(*connection, Handler()).Run(token, written.get(), nullptr), RTM_OK)
                << where;
            const std::string text = ReRead();
            IcalPtr reread(Parse(text));
            ASSERT_TRUE(reread) << where;
            const TaskFields back = Mapped(reread.get());
            EXPECT_TRUE(back == Mapped(written.get())) << where << text;
            EXPECT_EQ(back.due, wxString(form.due ? form.due : LocalInstant(12))) << where << text;
            EXPECT_TRUE(back.data_note.StartsWith(wxT("Start: ") +
                                                  wxString(form.start ? form.start : LocalInstant(10))))
                << where << text;
            Upload(text);
            EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"})) << where;
        }
    }
    EXPECT_TRUE(host().messages.empty());
}
