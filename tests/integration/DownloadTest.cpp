// The task download against the emulator: the list found by name, full and incremental reads,
// the merge with the offline copy, and what reaches the host.
#include "rtm/ResultCodes.h"
#include "sync/Download.h"
#include "sync/OfflineCalendar.h"
#include "tests/support/EmulatorFixture.h"

#include <wx/ffile.h>
#include <wx/filename.h>

#include <set>

namespace {
const char* const SEED = R"(<account>
  <lists>
    <list id="21" name="Work">
      <taskseries id="31" name="Report" modified="2026-12-01T09:00:00Z"><tags><tag>call_home</tag></tags>
        <task id="41" due="2026-12-11T15:00:00Z" has_due_time="1" priority="1"/></taskseries>
      <taskseries id="32" name="Done already" modified="2026-11-25T16:30:00Z"><task id="42" completed="2026-11-25T16:30:00Z"/></taskseries>
    </list>
    <list id="22" name="Errands">
      <taskseries id="33" name="Milk" modified="2026-12-01T09:00:00Z"><task id="43" due="2026-12-07" priority="N"/></taskseries>
    </list>
    <list id="23" name="Personal">
      <taskseries id="34" name="Call mum" modified="2026-12-01T09:00:00Z"><task id="44"/></taskseries>
    </list>
  </lists>
</account>)";

class DownloadTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedText(SEED, &error)) << error;
        token = wxString::FromUTF8(GrantedToken().c_str());
    }
    std::set<std::string> AddedUids(unsigned flags) {
        std::set<std::string> uids;
        for (const auto& added : host().added)
            if (added.flags == flags)
                uids.insert(added.uid);
        return uids;
    }
    const rtmemu::LoggedRequest* LastRequest(const std::string& method) {
        lastRequests = emulator->Requests();
        for (auto r = lastRequests.rbegin(); r != lastRequests.rend(); ++r)
            if (r->method == method)
                return &*r;
        return nullptr;
    }
    static icaltimetype Ago(int seconds) {
        return icaltime_from_timet_with_zone(std::time(nullptr) - seconds, 0,
                                             icaltimezone_get_utc_timezone());
    }
    wxString token;
    std::vector<rtmemu::LoggedRequest> lastRequests;
};
}  // namespace

TEST_F(DownloadTest, AFullReadOfAllListsGivesEveryIncompleteTaskToTheHost) {
    auto connection = Connection();
    EXPECT_EQ(DownloadTasks(*connection, Handler(), token, nullptr, icaltime_null_time()), RTM_OK);
    EXPECT_EQ(AddedUids(0), (std::set<std::string>{"21:31", "22:33", "23:34"}));
    const rtmemu::LoggedRequest* request = LastRequest("rtm.tasks.getList");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->params.count("list_id"), 0u);
    EXPECT_EQ(request->params.count("last_sync"), 0u);
    ASSERT_EQ(request->params.count("filter"), 1u);
    EXPECT_EQ(request->params.find("filter")->second, "status:incomplete");
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Work: Read 3 tasks from calendar: Work")));
    // Each to-do carries the id of its own list, and the fields of its series.
    for (const auto& added : host().added) {
        if (added.uid == "21:31") {
            EXPECT_NE(added.ical.find("CATEGORIES:call home"), std::string::npos) << added.ical;
            EXPECT_NE(added.ical.find("X-CORVANE-RTM-TASK-ID:41"), std::string::npos);
            EXPECT_NE(added.ical.find("PRIORITY:1"), std::string::npos);
        }
    }
}

TEST_F(DownloadTest, TheConfiguredListIsFoundWithoutRegardToCase) {
    auto connection = Connection();
    wxString listId;
    EXPECT_EQ(connection->FindListId(token, wxT("eRRANDS"), listId), RTM_OK);
    EXPECT_EQ(listId, wxT("22"));
    connection->listId = listId;
    DownloadTasks(*connection, Handler(), token, nullptr, icaltime_null_time());
    EXPECT_EQ(AddedUids(0), std::set<std::string>{"22:33"});
    EXPECT_EQ(LastRequest("rtm.tasks.getList")->params.find("list_id")->second, "22");
}

TEST_F(DownloadTest, AnUnknownListNameShowsTheAvailableLists) {
    auto connection = Connection();
    wxString listId = wxT("unchanged");
    EXPECT_EQ(connection->FindListId(token, wxT("Holidays"), listId), RTM_FAILED);
    EXPECT_EQ(listId, wxT("unchanged"));
    ASSERT_EQ(host().messages.size(), 1u);
    const FakeMessage& message = host().messages[0];
    EXPECT_EQ(message.style, MSG_STYLE_INFO);
    EXPECT_TRUE(
        message.text.StartsWith(wxT("Unable to find the Remember The Milk task list!\nThe list \"Holidays\" "
                                    "could not be found. Available lists are:\n\n")))
        << message.text;
    EXPECT_TRUE(message.text.Contains(wxT("Work\n")));
    EXPECT_TRUE(message.text.Contains(wxT("Errands\n")));
    EXPECT_TRUE(
        message.text.EndsWith(wxT("\n\nPlease write the name exactly like it is in the above list.")));
}

TEST_F(DownloadTest, AnIncrementalReadBringsChangesAndDeletions) {
    auto connection = Connection();
    const icaltimetype since = Ago(60);
    emulator->State().Tasks().RenameSeries("33", "Oat milk");
    emulator->State().Tasks().DeleteSeries("34");
    host().added.clear();
    EXPECT_EQ(DownloadTasks(*connection, Handler(), token, nullptr, since), RTM_OK);
    const rtmemu::LoggedRequest* request = LastRequest("rtm.tasks.getList");
    EXPECT_EQ(request->params.count("filter"), 0u);
    EXPECT_EQ(request->params.count("last_sync"), 1u);
    EXPECT_EQ(AddedUids(0), std::set<std::string>{"22:33"});
    EXPECT_EQ(AddedUids(0x8004), std::set<std::string>{"23:34"});
}

TEST_F(DownloadTest, TheReplyIsDumpedOnlyAtTheDebugLevel) {
    const wxString dump = tempDir + wxT("/RTMDump.xml");
    host().logLevel = 15;
    DownloadTasks(*Connection(), Handler(), token, nullptr, icaltime_null_time());
    EXPECT_FALSE(wxFileName::FileExists(dump));
    host().logLevel = 31;
    DownloadTasks(*Connection(), Handler(), token, nullptr, icaltime_null_time());
    wxString text;
    ASSERT_TRUE(wxFFile(dump).ReadAll(&text, wxConvUTF8));
    EXPECT_TRUE(text.Contains(wxT("<taskseries id=\"33\"")));
}

TEST_F(DownloadTest, WithAnOfflineCopyTheMergeRunsAndLastSyncIsWritten) {
    wxFileName file(tempDir, wxT("offline.ics"));
    COfflineCalendar offline(file);
    // A to-do created offline after the last sync: it must go to the service.
    icalcomponent* local = icalcomponent_new_vtodo();
    icalcomponent_set_uid(local, "local-1");
    icalcomponent_set_summary(local, "Made offline");
    icalcomponent_add_property(local, icalproperty_new_lastmodified(Ago(10)));
    offline.StoreComponent(local);
    icalcomponent_free(local);
    Handler().Settings().lastSync = static_cast<int32_t>(std::time(nullptr) - 3600);

    EXPECT_EQ(DownloadTasks(*Connection(), Handler(), token, &offline, icaltime_null_time()), RTM_OK);
    EXPECT_TRUE(offline.Components().Contains(wxT("21:31")));
    EXPECT_FALSE(offline.IsModified()) << "saved after the merge";
    EXPECT_TRUE(wxFileName::FileExists(file.GetFullPath()));
    ASSERT_EQ(Handler().QueueCount(true), 1u);
    EXPECT_STREQ(icalcomponent_get_uid(Handler().Dequeue(true)->component), "local-1");
    ASSERT_EQ(host().settingsWritten.size(), 1u);
    EXPECT_EQ(host().settingsWritten[0].path, wxT("Remember The Milk/Work"));
    EXPECT_EQ(host().settingsWritten[0].key, wxT("LastSync"));
    EXPECT_EQ(host().settingsWritten[0].value, wxString::Format(wxT("%i"), Handler().Settings().lastSync));
    EXPECT_GE(Handler().Settings().lastSync, static_cast<int32_t>(std::time(nullptr) - 5));
}

TEST_F(DownloadTest, AFailedReadChangesNothing) {
    wxFileName file(tempDir, wxT("offline.ics"));
    COfflineCalendar offline(file);
    ASSERT_TRUE(emulator->SetRefusing(true));
    EXPECT_EQ(DownloadTasks(*Connection(), Handler(), token, &offline, icaltime_null_time()),
              RTM_NO_CONNECTION);
    EXPECT_TRUE(host().added.empty());
    EXPECT_TRUE(host().settingsWritten.empty());
    EXPECT_FALSE(wxFileName::FileExists(file.GetFullPath()));
    EXPECT_TRUE(host().HasLog(wxT("Work: Read 0 tasks from calendar: Work")));
}

// Series are converted as the reply arrives, yet a reply that does not end as a whole answering
// envelope is never applied: a full download removes whatever to-do its reply lacks.
TEST_F(DownloadTest, AReplyCutShortOrRefusedAfterSomeSeriesChangesNothing) {
    const std::string begun =
        "<rsp stat=\"ok\"><tasks><list id=\"21\"><taskseries id=\"31\" name=\"Report\">"
        "<task id=\"41\"/></taskseries><taskseries id=\"3";
    const std::string refused =
        "<rsp stat=\"fail\"><tasks><list id=\"21\"><taskseries id=\"39\" name=\"New\">"
        "<task id=\"49\"/></taskseries></list></tasks><err code=\"105\" msg=\"Down\"/></rsp>";
    const std::pair<const char*, rtmemu::Fault> cases[] = {
        {"connection lost part-way", rtmemu::Fault::Lost()},
        {"body ends part-way", rtmemu::Fault::Status(200, begun)},
        {"fail envelope after a series", rtmemu::Fault::Status(200, refused)},
    };
    wxFileName file(tempDir, wxT("offline.ics"));
    COfflineCalendar offline(file);
    ASSERT_EQ(DownloadTasks(*Connection(), Handler(), token, &offline, icaltime_null_time()), RTM_OK);
    wxString saved, now;
    ASSERT_TRUE(wxFFile(file.GetFullPath()).ReadAll(&saved, wxConvUTF8));
    for (auto c : cases) {
        host().added.clear();
        host().settingsWritten.clear();
        emulator->InjectFault(c.second.ForMethod("rtm.tasks.getList"));
        EXPECT_EQ(DownloadTasks(*Connection(), Handler(), token, &offline, icaltime_null_time()),
                  RTM_RETRY_LATER)
            << c.first;
        EXPECT_TRUE(host().added.empty()) << c.first;
        EXPECT_TRUE(host().settingsWritten.empty()) << c.first;
        EXPECT_EQ(offline.Components().Size(), 3u) << c.first;
        ASSERT_TRUE(wxFFile(file.GetFullPath()).ReadAll(&now, wxConvUTF8));
        EXPECT_EQ(now, saved) << c.first;
    }
}
