// The task upload and deletion against the emulator: the calls sent, what the host and the offline
// store receive, and the property that a re-read to-do uploads with no field call.
#include "convert/PropertyHelpers.h"
#include "convert/ServiceTime.h"
#include "rtm/ResultCodes.h"
#include "sync/OfflineCalendar.h"
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
        const uint32_t result = connection->UploadTask(token, todo, offline);
        icalcomponent_free(todo);
        return result;
    }
    std::vector<std::string> Methods() {
        std::vector<std::string> methods;
        for (const auto& r : emulator->Requests())
            if (!r.method.empty())
                methods.push_back(r.method);
        return methods;
    }
    const rtmemu::LoggedRequest* Request(const std::string& method) {
        requests = emulator->Requests();
        for (const auto& r : requests)
            if (r.method == method)
                return &r;
        return nullptr;
    }
    static std::string Param(const rtmemu::LoggedRequest* r, const std::string& name) {
        auto found = r ? r->params.find(name) : std::multimap<std::string, std::string>::const_iterator();
        return r && found != r->params.end() ? found->second : "<absent>";
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
    std::vector<rtmemu::LoggedRequest> requests;
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
    EXPECT_EQ(Param(Request("rtm.tasks.add"), "name"), "Buy stamps");
    EXPECT_EQ(Param(Request("rtm.tasks.add"), "list_id"), "<absent>");
    EXPECT_EQ(Param(Request("rtm.tasks.setDueDate"), "due"), "2026-12-08");
    EXPECT_EQ(Param(Request("rtm.tasks.setDueDate"), "has_due_time"), "0");

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
        ASSERT_EQ(connection->UploadTask(token, todo.get(), nullptr), RTM_OK);
        const std::string line = icalproperty_as_ical_string(
            icalcomponent_get_first_property(todo.get(), ICAL_DESCRIPTION_PROPERTY));
        EXPECT_NE(ReRead().find(line), std::string::npos) << line << ReRead();
        EXPECT_NE(ReRead().find("X-CORVANE-RTM-DESCRIPTION-ID:"), std::string::npos) << ReRead();
    }
}

TEST_F(UploadTest, AToDoOfAnotherListIsAddedToTheConfiguredOne) {
    connection->listId = wxT("22");
    Upload(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    EXPECT_EQ(Request("rtm.tasks.setName"), nullptr);
    EXPECT_EQ(Param(Request("rtm.tasks.add"), "list_id"), "22");
    EXPECT_EQ(Request("rtm.tasks.delete"), nullptr) << "the old task is not deleted";
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

TEST_F(UploadTest, TheReReadToDoReplacesTheOfflineEntry) {
    COfflineCalendar offline(wxFileName(tempDir, wxT("offline.ics")));
    icalcomponent* local = Parse(Todo("host-7", "SUMMARY:Offline made\r\n"));
    offline.StoreComponent(local);
    icalcomponent_free(local);
    Upload(Todo("host-7", "SUMMARY:Offline made\r\n"), &offline);
    EXPECT_FALSE(offline.Components().Contains(wxT("host-7")));
    ASSERT_EQ(offline.Components().Size(), 1u);
}

TEST_F(UploadTest, DeletionNeedsReadableIdsAndTakesOneTimelineEach) {
    icalcomponent* known = Parse(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    icalcomponent* local = Parse(Todo("made-in-host", "SUMMARY:Never uploaded\r\n"));
    emulator->ClearRequests();
    EXPECT_EQ(connection->DeleteTask(token, known), RTM_OK);
    EXPECT_EQ(connection->DeleteTask(token, local), RTM_OK);
    EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.delete", "rtm.timelines.create"}));
    const rtmemu::LoggedRequest* del = Request("rtm.tasks.delete");
    EXPECT_EQ(Param(del, "list_id"), "21");
    EXPECT_EQ(Param(del, "taskseries_id"), "31");
    EXPECT_EQ(Param(del, "task_id"), "41");
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Unable to parse the task UID: made-in-host.")));
    auto series = emulator->State().Tasks().FindSeries("31");
    ASSERT_TRUE(series.has_value());
    EXPECT_TRUE(series->tasks[0].deleted.has_value());
    icalcomponent_free(known);
    icalcomponent_free(local);
}

TEST_F(UploadTest, AReReadToDoUploadsAgainWithoutAnyFieldCall) {
    const std::vector<std::string> corpus = {
        "SUMMARY:Date due\r\nDUE;VALUE=DATE:20261210\r\n",
        "SUMMARY:Time due\r\nDUE:20261210T083000Z\r\nPRIORITY:3\r\n",
        "SUMMARY:Started\r\nDTSTART:20261201T090000Z\r\nDUE:20261215T170000Z\r\nLOCATION:Room 4\r\n",
        "SUMMARY:In progress\r\nSTATUS:IN-PROCESS\r\nPERCENT-COMPLETE:40\r\nPRIORITY:9\r\n",
        "SUMMARY:Alarmed\r\nDUE:20261212T120000Z\r\nBEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\n"
        "END:VALARM\r\n",
        "SUMMARY:Private\r\nX-CORVANE-LASTALARMACK:20261201T100000Z\r\nX-CORVANE-TASK-POSITION:7\r\n",
        "SUMMARY:Tagged\r\nCATEGORIES:home office\r\nCATEGORIES:errands\r\nURL:https://example.com/a?b=c\r\n",
        "SUMMARY:Described\r\nDESCRIPTION:Line one\\nLine two with ä and 100%\r\nPRIORITY:6\r\n",
        "SUMMARY:Done\r\nSTATUS:COMPLETED\r\nCOMPLETED:20261201T100000Z\r\n",
    };
    const std::vector<std::string> rules = {
        "FREQ=DAILY",
        "FREQ=DAILY;INTERVAL=3;COUNT=5",
        "FREQ=WEEKLY;BYDAY=MO,WE",
        "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU",
        "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH",
        "FREQ=MONTHLY;BYMONTHDAY=15",
        "FREQ=MONTHLY;BYMONTHDAY=-1",
        "FREQ=MONTHLY;BYDAY=-1FR",
        "FREQ=MONTHLY;BYDAY=2TU",
        "FREQ=MONTHLY;BYDAY=-1MO,-1FR",
        "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1",
        "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1",
        "FREQ=YEARLY;UNTIL=20301231",
    };
    std::vector<std::string> todos = corpus;
    for (const std::string& rule : rules)
        todos.push_back("SUMMARY:Repeats " + rule + "\r\nDUE;VALUE=DATE:20261214\r\nRRULE:" + rule + "\r\n");
    for (int priority = 0; priority <= 9; ++priority)
        todos.push_back("SUMMARY:Priority " + std::to_string(priority) +
                        "\r\nPRIORITY:" + std::to_string(priority) + "\r\n");

    int n = 0;
    for (const std::string& body : todos) {
        host().added.clear();
        ASSERT_EQ(Upload(Todo("corpus-" + std::to_string(n++), body)), RTM_OK) << body;
        const std::string reread = ReRead();
        ASSERT_FALSE(reread.empty()) << body;
        Upload(reread);
        EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"})) << body << "\n" << reread;
    }
    EXPECT_TRUE(host().messages.empty()) << host().messages[0].text;
}

namespace {
// The UTC instant of a local wall-clock time under the current TZ, by the C library alone.
std::string LocalInstant(int year, int month, int day, int hour) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return DescribeTime(MakeTime(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min));
}

std::string Text(const icalcomponent* c, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(const_cast<icalcomponent*>(c), kind);
    const char* text = p ? icalvalue_as_ical_string(icalproperty_get_value(p)) : nullptr;
    return text ? text : "<none>";
}

std::string Instant(const icalcomponent* c, icalproperty_kind kind) {
    return DescribeTime(
        ServiceInstant(icalcomponent_get_first_property(const_cast<icalcomponent*>(c), kind)));
}

// Every mapped field but the times, as the service's copy must give it back.
std::string OtherFields(const icalcomponent* todo) {
    auto* c = const_cast<icalcomponent*>(todo);
    std::string all;
    for (icalproperty_kind kind :
         {ICAL_SUMMARY_PROPERTY, ICAL_DESCRIPTION_PROPERTY, ICAL_LOCATION_PROPERTY, ICAL_URL_PROPERTY,
          ICAL_PRIORITY_PROPERTY, ICAL_STATUS_PROPERTY, ICAL_PERCENTCOMPLETE_PROPERTY, ICAL_RRULE_PROPERTY})
        all += Text(c, kind) + "|";
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY))
        all += std::string(icalproperty_get_categories(p)) + ",";
    for (const char* x : {"X-CORVANE-LASTALARMACK", "X-CORVANE-TASK-POSITION"})
        all += "|" + GetXProperty(c, x).utf8_string();
    icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
    all += "|" + (alarm ? Text(alarm, ICAL_TRIGGER_PROPERTY) : "<none>");
    return all;
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
        {"DTSTART:20261101T100000Z\r\nDUE:20261101T120000Z\r\n", "2026-11-01 10:00:00 UTC",
         "2026-11-01 12:00:00 UTC"},
        {"DTSTART;TZID=America/New_York:20261101T013000\r\nDUE;TZID=America/New_York:20261101T120000\r\n",
         "2026-11-01 05:30:00 UTC", "2026-11-01 17:00:00 UTC"},
        {"DTSTART;TZID=Asia/Kolkata:20261101T100000\r\nDUE;TZID=Asia/Kolkata:20261101T120000\r\n",
         "2026-11-01 04:30:00 UTC", "2026-11-01 06:30:00 UTC"},
        {"DTSTART;VALUE=DATE:20261101\r\nDUE;VALUE=DATE:20261102\r\n", "DATE 2026-11-01", "DATE 2026-11-02"},
    };
    int n = 0;
    for (const char* zone : {"Europe/Berlin", "America/New_York", "UTC"}) {
        ScopedTimeZone machine(zone);
        ASSERT_TRUE(emulator->State().Tasks().SetTimeZone(zone));  // the user's account, like the machine
        for (const auto& form : forms) {
            const std::string where = std::string(zone) + "\n" + form.times;
            host().added.clear();
            const std::string body = std::string(fields) + form.times;
            IcalPtr written(Parse(Todo("trip-" + std::to_string(n++), body)));
            ASSERT_EQ(connection->UploadTask(token, written.get(), nullptr), RTM_OK) << where;
            const std::string text = ReRead();
            IcalPtr reread(Parse(text));
            ASSERT_TRUE(reread) << where;
            EXPECT_EQ(OtherFields(reread.get()), OtherFields(written.get())) << where << text;
            EXPECT_EQ(Instant(reread.get(), ICAL_DTSTART_PROPERTY),
                      form.start ? form.start : LocalInstant(2026, 11, 1, 10))
                << where << text;
            EXPECT_EQ(Instant(reread.get(), ICAL_DUE_PROPERTY),
                      form.due ? form.due : LocalInstant(2026, 11, 1, 12))
                << where << text;
            Upload(text);
            EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"})) << where;
        }
    }
    EXPECT_TRUE(host().messages.empty());
}
