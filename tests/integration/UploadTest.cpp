// The task upload and deletion against the emulator: the calls sent, what the host and the offline
// store receive, and the property that a re-read to-do uploads with no field call.
#include "rtm/ResultCodes.h"
#include "sync/OfflineCalendar.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/filename.h>

#include <cstdlib>

namespace {
const char* const SEED = R"(<account>
  <lists>
    <list id="21" name="Work">
      <taskseries id="31" name="Report" modified="2026-12-01T09:00:00Z">
        <task id="41" due="2026-12-11T15:00:00Z" has_due_time="1" priority="1"/></taskseries>
    </list>
    <list id="22" name="Errands"/>
  </lists>
</account>)";

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
        // Date-only dues are local dates: keep this process in the account's zone.
        const char* tz = std::getenv("TZ");
        oldTz = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedText(SEED, &error)) << error;
        token = wxString::FromUTF8(GrantedToken().c_str());
        connection = Connection();
    }
    void TearDown() override {
        connection.reset();
        if (hadTz)
            setenv("TZ", oldTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
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
    std::string oldTz;
    bool hadTz = false;
};

using Calls = std::vector<std::string>;
}  // namespace

TEST_F(UploadTest, ANewToDoIsAddedWithEveryFieldThenReadBackUnderItsNewUid) {
    const uint32_t result = Upload(Todo("host-1",
                                        "SUMMARY:Buy stamps\r\nDUE;VALUE=DATE:20261208\r\n"
                                        "DESCRIPTION:Second class\r\n"));
    EXPECT_EQ(result, RTM_OK);
    EXPECT_EQ(Methods(),
              (Calls{"rtm.timelines.create", "rtm.tasks.add", "rtm.tasks.setDueDate", "rtm.tasks.setPriority",
                     "rtm.tasks.setRecurrence", "rtm.tasks.setTags", "rtm.tasks.setURL",
                     "rtm.tasks.notes.add", "rtm.tasks.notes.add", "rtm.tasks.uncomplete"}));
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
    EXPECT_TRUE(
        host().HasLog(LOG_INFO, wxT("Removed old component since the new uid doesn't match (host-1 <> ")));
}

TEST_F(UploadTest, ACompletedNewToDoIsCompletedOnTheService) {
    Upload(Todo("host-2", "SUMMARY:Done\r\nSTATUS:COMPLETED\r\n"));
    EXPECT_EQ(Methods().back(), "rtm.tasks.complete");
    EXPECT_NE(ReRead().find("STATUS:COMPLETED"), std::string::npos);
}

TEST_F(UploadTest, ARenameOfAnUnchangedTaskSendsOnlyTheName) {
    Upload(Todo("host-3", "SUMMARY:First name\r\nPRIORITY:5\r\nCATEGORIES:home office\r\n"));
    std::string reread = ReRead();
    ASSERT_FALSE(reread.empty());
    const size_t at = reread.find("SUMMARY:First name");
    ASSERT_NE(at, std::string::npos);
    reread.replace(at, std::string("SUMMARY:First name").size(), "SUMMARY:Second name");
    host().added.clear();

    EXPECT_EQ(Upload(reread), RTM_OK);
    EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"}));
    ASSERT_EQ(host().added.size(), 1u) << "the UID stays";
    EXPECT_EQ(host().added[0].flags, 2u);
    EXPECT_NE(host().added[0].ical.find("SUMMARY:Second name"), std::string::npos);
}

TEST_F(UploadTest, RemovedDueAndDescriptionSendNothingEmptiedFieldsAreSentEmpty) {
    Upload(Todo("host-4",
                "SUMMARY:Full\r\nDUE:20261209T100000Z\r\nDESCRIPTION:Words\r\nPRIORITY:1\r\n"
                "CATEGORIES:a\r\nURL:http://example.com/\r\n"));
    const std::string reread = ReRead();
    // The same to-do without due, description, priority, tags and url.
    std::string stripped;
    for (size_t pos = 0; pos < reread.size();) {
        size_t end = reread.find("\r\n", pos);
        const std::string line = reread.substr(pos, end - pos);
        pos = end + 2;
        for (const char* drop : {"DUE", "DESCRIPTION", "PRIORITY", "CATEGORIES", "URL"})
            if (line.rfind(drop, 0) == 0)
                goto skip;
        stripped += line + "\r\n";
    skip:;
    }
    Upload(stripped);
    EXPECT_EQ(Request("rtm.tasks.setDueDate"), nullptr);
    EXPECT_EQ(Request("rtm.tasks.notes.edit"), nullptr) << "the description note keeps its text";
    EXPECT_EQ(Param(Request("rtm.tasks.setPriority"), "priority"), "");
    EXPECT_EQ(Param(Request("rtm.tasks.setTags"), "tags"), "");
    EXPECT_EQ(Param(Request("rtm.tasks.setURL"), "url"), "");
}

// Removing the due of a repeating task sends neither a due nor an empty repeat: the service keeps
// both, and the re-read to-do has them again.
TEST_F(UploadTest, RemovingTheDueOfARepeatingTaskKeepsItsRepeat) {
    Upload(Todo("host-9", "SUMMARY:Weekly\r\nDUE;VALUE=DATE:20261214\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n"));
    std::string reread = ReRead();
    const size_t due = reread.find("DUE;VALUE=DATE:20261214\r\n");
    ASSERT_NE(due, std::string::npos) << reread;
    reread.erase(due, std::string("DUE;VALUE=DATE:20261214\r\n").size());
    Upload(reread);
    EXPECT_EQ(Methods(), (Calls{"rtm.timelines.create", "rtm.tasks.setName"}));
    EXPECT_NE(ReRead().find("RRULE:FREQ=WEEKLY;BYDAY=MO"), std::string::npos) << ReRead();
    EXPECT_NE(ReRead().find("DUE;VALUE=DATE:20261214"), std::string::npos) << ReRead();
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

TEST_F(UploadTest, AKnownDataNoteIsEditedNotAdded) {
    Upload(Todo("host-5", "SUMMARY:Located\r\nLOCATION:Office\r\n"));
    std::string reread = ReRead();
    const size_t at = reread.find("LOCATION:Office");
    ASSERT_NE(at, std::string::npos) << reread;
    reread.replace(at, std::string("LOCATION:Office").size(), "LOCATION:Home");
    Upload(reread);
    const rtmemu::LoggedRequest* edit = Request("rtm.tasks.notes.edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_NE(Param(edit, "note_id"), "<absent>");
    EXPECT_EQ(Param(edit, "note_title"), "C2:data");
    EXPECT_EQ(Param(edit, "list_id"), "<absent>");
    EXPECT_EQ(Param(edit, "taskseries_id"), "<absent>");
    EXPECT_EQ(Param(edit, "task_id"), "<absent>");
    EXPECT_EQ(Request("rtm.tasks.notes.add"), nullptr);
}

TEST_F(UploadTest, AToDoOfAnotherListIsAddedToTheConfiguredOne) {
    connection->listId = wxT("22");
    Upload(Todo("21:31", "SUMMARY:Report\r\nX-CORVANE-RTM-TASK-ID:41\r\n"));
    EXPECT_EQ(Request("rtm.tasks.setName"), nullptr);
    EXPECT_EQ(Param(Request("rtm.tasks.add"), "list_id"), "22");
    EXPECT_EQ(Request("rtm.tasks.delete"), nullptr) << "the old task is not deleted";
    EXPECT_NE(ReRead().find("UID:22:"), std::string::npos);
}

TEST_F(UploadTest, AFailedCallInTheMiddleChangesNeitherHostNorOfflineStore) {
    COfflineCalendar offline(wxFileName(tempDir, wxT("offline.ics")));
    emulator->SetRequestObserver([this](const rtmemu::LoggedRequest& r) {
        if (r.method == "rtm.tasks.setTags")
            emulator->InjectFault(rtmemu::Fault::Envelope(340, "Invalid task"));
    });
    const uint32_t result = Upload(Todo("host-6", "SUMMARY:Broken\r\nCATEGORIES:x\r\n"), &offline);
    emulator->SetRequestObserver(nullptr);
    EXPECT_EQ(result, RTM_OK) << "reported by the method call";
    EXPECT_EQ(Methods().back(), "rtm.tasks.setTags");
    EXPECT_TRUE(host().added.empty());
    EXPECT_EQ(offline.Components().Size(), 0u);
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
