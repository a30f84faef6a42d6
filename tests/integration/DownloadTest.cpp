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
class DownloadTest : public EmulatorTest {
  protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        std::string error;
        ASSERT_TRUE(emulator->State().Tasks().LoadSeedFile(CORVANE_TEST_DATA_DIR "/account.xml", &error))
            << error;
        token = wxString::FromUTF8(GrantedToken().c_str());
    }
    std::set<std::string> AddedUids(unsigned flags) {
        std::set<std::string> uids;
        for (const auto& added : host().added)
            if (added.flags == flags)
                uids.insert(added.uid);
        return uids;
    }
    static icaltimetype Ago(int seconds) {
        return icaltime_from_timet_with_zone(std::time(nullptr) - seconds, 0,
                                             icaltimezone_get_utc_timezone());
    }
    wxString token;
};
}  // namespace

TEST_F(DownloadTest, AFullReadOfAllListsGivesEveryIncompleteTaskToTheHost) {
    auto connection = Connection();
    EXPECT_EQ(DownloadTasks(*connection, Handler(), token, nullptr, icaltime_null_time()), RTM_OK);
    EXPECT_EQ(AddedUids(0), (std::set<std::string>{"21:31", "22:33", "23:34"}));
    EXPECT_EQ(Param("rtm.tasks.getList", "list_id") + Param("rtm.tasks.getList", "last_sync"),
              "<absent><absent>");
    EXPECT_EQ(Param("rtm.tasks.getList", "filter"), "status:incomplete");
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
    EXPECT_EQ(Param("rtm.tasks.getList", "list_id"), "22");
}

TEST_F(DownloadTest, AnIncrementalReadBringsChangesAndDeletions) {
    auto connection = Connection();
    const icaltimetype since = Ago(60);
    emulator->State().Tasks().RenameSeries("33", "Oat milk");
    emulator->State().Tasks().DeleteSeries("34");
    host().added.clear();
    EXPECT_EQ(DownloadTasks(*connection, Handler(), token, nullptr, since), RTM_OK);
    EXPECT_EQ(Param("rtm.tasks.getList", "filter"), "<absent>");
    EXPECT_NE(Param("rtm.tasks.getList", "last_sync"), "<absent>");
    EXPECT_EQ(AddedUids(0), std::set<std::string>{"22:33"});
    EXPECT_EQ(AddedUids(0x8004), std::set<std::string>{"23:34"});
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
