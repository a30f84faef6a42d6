#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <memory>

using namespace offline_test;

namespace {

const time_t LAST_SYNC = 1700000000;

class MergeTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        offline = std::make_unique<COfflineCalendar>(
            wxFileName(tempDir, wxT("Remember The Milk-Work-Offline.ics")));
    }
    void TearDown() override {
        offline.reset();
        FakeHostTest::TearDown();
    }

    void Offline(const std::string& uid, const std::string& lines = "") {
        offline->StoreComponent(Todo(uid, lines).get());
    }
    void Online(const std::string& uid, const std::string& lines = "") {
        online.Store(wxString::FromUTF8(uid.c_str()), Todo(uid, lines).release());
    }
    // Runs a merge with the log cleared first, so a test sees only the merge's messages.
    void Merge(bool incremental, std::vector<icalcomponent*> deleted = {}) {
        host().logs.clear();
        offline->Merge(online, std::move(deleted), incremental, LAST_SYNC);
    }
    std::vector<std::string> Uploads() {
        std::vector<std::string> uids;
        for (const auto& c : offline->ToUpload())
            uids.push_back(icalcomponent_get_uid(c.get()));
        return uids;
    }
    std::vector<std::string> Removed() {
        std::vector<std::string> uids;
        for (const auto& c : offline->ToRemove())
            uids.push_back(icalcomponent_get_uid(c.get()));
        return uids;
    }
    std::vector<wxString> Messages() { return host().LogTexts(); }
    bool Cleared(const wxString& uid) {
        return offline->Components().Contains(uid) && !offline->Components().Find(uid);
    }

    std::unique_ptr<COfflineCalendar> offline;
    ComponentMap online;
};

const wxString PREFIX = wxT("Remember The Milk-Work-Offline: ");

}  // namespace

// --- The decision for to-dos found only offline, row by row -------------------------------------

TEST_F(MergeTest, EmptyOnlineSetDropsEveryTodoThatCameFromTheService) {
    Offline("1:100", Modified(LAST_SYNC + 50));
    Offline("1:200");  // no LAST-MODIFIED: would be uploaded if the set were not empty
    Merge(false);

    EXPECT_TRUE(Uploads().empty());
    EXPECT_EQ(Removed(), (std::vector<std::string>{"1:100", "1:200"}));
    EXPECT_TRUE(Cleared(wxT("1:100")));
    EXPECT_TRUE(Cleared(wxT("1:200")));
    EXPECT_TRUE(offline->IsModified());
    EXPECT_EQ(Messages(), (std::vector<wxString>{
                              PREFIX + wxT("0 items in the online calendar"),
                              PREFIX + wxT("2 items in the offline calendar"),
                              PREFIX + wxT("New component in offline file: \"1:100\""),
                              PREFIX + wxT("The component was removed from the offline calendar"),
                              PREFIX + wxT("New component in offline file: \"1:200\""),
                              PREFIX + wxT("The component was removed from the offline calendar"),
                          }));
}

TEST_F(MergeTest, EmptyOnlineSetStillUploadsTodoThatNeverReachedTheService) {
    Offline("created-offline", Modified(LAST_SYNC - 500));
    Offline("created-offline-readonly", "X-CORVANE-READONLY:1\r\n");
    Offline("1:100");
    Merge(false);

    EXPECT_EQ(Uploads(), std::vector<std::string>{"created-offline"});
    EXPECT_EQ(Removed(), (std::vector<std::string>{"created-offline-readonly", "1:100"}));
    EXPECT_TRUE(offline->Components().Find(wxT("created-offline")));
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("The component was added to the online calendar")));
}

TEST_F(MergeTest, TodoWithoutLastModifiedIsUploadedWhateverItsDtstamp) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", DtStamp(LAST_SYNC - 100000));
    Merge(false);

    EXPECT_EQ(Uploads(), std::vector<std::string>{"1:100"});
    EXPECT_TRUE(Removed().empty());
    EXPECT_TRUE(offline->Components().Find(wxT("1:100")));
    const auto logs = Messages();
    ASSERT_GE(logs.size(), 4u);
    EXPECT_EQ(logs[2], PREFIX + wxT("New component in offline file: \"1:100\""));
    EXPECT_EQ(logs[3], PREFIX + wxT("The component was added to the online calendar"));
}

TEST_F(MergeTest, ReadOnlyTodoCreatedAfterLastSyncIsDroppedNotUploaded) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC + 10) + "X-CORVANE-READONLY:TRUE\r\n");
    Merge(false);

    EXPECT_TRUE(Uploads().empty());
    EXPECT_EQ(Removed(), std::vector<std::string>{"1:100"});
    const auto logs = Messages();
    ASSERT_GE(logs.size(), 5u);
    EXPECT_EQ(logs[2], PREFIX + wxT("New component in offline file: \"1:100\""));
    EXPECT_EQ(logs[3], PREFIX + wxT("The component is marked as read only so it won't be added to online."));
    EXPECT_EQ(logs[4], PREFIX + wxT("The component was removed from the offline calendar"));
}

TEST_F(MergeTest, ReadOnlyMarkIsMatchedByExactName) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC + 10) + "X-CORVANE-READONLYX:1\r\n");
    Merge(false);
    EXPECT_EQ(Uploads(), std::vector<std::string>{"1:100"});
}

TEST_F(MergeTest, ReadOnlyTodoCreatedBeforeLastSyncGetsTheBeforeMessage) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC - 1) + "X-CORVANE-READONLY:1\r\n");
    Merge(false);

    EXPECT_EQ(Removed(), std::vector<std::string>{"1:100"});
    EXPECT_TRUE(host().HasLog(wxT("created before the last sync")));
    EXPECT_FALSE(host().HasLog(wxT("marked as read only")));
}

TEST_F(MergeTest, TodoModifiedExactlyAtLastSyncIsUploaded) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC));
    Merge(false);

    EXPECT_EQ(Uploads(), std::vector<std::string>{"1:100"});
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("The component was created after the last sync (1700000000 > "
                                             "1700000000) --> add it to the online.")));
}

TEST_F(MergeTest, TodoModifiedBeforeLastSyncIsDroppedAndRemovedFromTheHost) {
    // Completed or deleted on the service since it reached the offline file: a full download
    // no longer lists it.
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC - 3600) + "SUMMARY:Stale\r\n");
    Merge(false);

    EXPECT_TRUE(Uploads().empty());
    ASSERT_EQ(Removed(), std::vector<std::string>{"1:100"});
    EXPECT_NE(Text(offline->ToRemove()[0].get()).find("SUMMARY:Stale"), std::string::npos);
    EXPECT_TRUE(Cleared(wxT("1:100")));
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("The component was created before the last sync (1699996400 < "
                                             "1700000000) --> remove from offline.")));
}

TEST_F(MergeTest, EveryMergeMessageGoesToTheOfflineLogAtDebugLevel) {
    Online("1:999", Modified(LAST_SYNC));
    Offline("1:100", Modified(LAST_SYNC - 3600));
    Offline("2:100");
    Merge(false, {});
    for (const auto& line : host().logs) {
        EXPECT_EQ(line.level, LOG_DEBUG) << line.text;
        EXPECT_TRUE(line.text.StartsWith(PREFIX)) << line.text;
    }
}

// --- To-dos on both sides ---------------------------------------------------------------------

TEST_F(MergeTest, NewerOfflineVersionIsQueuedForUploadAndKept) {
    Offline("1:100", Modified(LAST_SYNC + 20) + "SUMMARY:offline\r\n");
    Online("1:100", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    Merge(false);

    ASSERT_EQ(Uploads(), std::vector<std::string>{"1:100"});
    EXPECT_NE(Text(offline->ToUpload()[0].get()).find("SUMMARY:offline"), std::string::npos);
    EXPECT_NE(Text(offline->Components().Find(wxT("1:100"))).find("SUMMARY:offline"), std::string::npos);
    EXPECT_TRUE(host().HasLog(wxT("Updated component from offline to online \"1:100\"")));
    // The upload is a copy: the store still owns its own component.
    EXPECT_NE(offline->ToUpload()[0].get(), offline->Components().Find(wxT("1:100")));
}

TEST_F(MergeTest, NewerOnlineVersionReplacesTheOfflineOne) {
    Offline("1:100", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    Offline("1:200");
    Online("1:100", Modified(LAST_SYNC + 20) + "SUMMARY:online\r\n");
    Merge(true);

    EXPECT_TRUE(Uploads().empty());
    EXPECT_NE(Text(offline->Components().Find(wxT("1:100"))).find("SUMMARY:online"), std::string::npos);
    EXPECT_NE(offline->Components().Find(wxT("1:100")), online.Find(wxT("1:100")));
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:100", "1:200"}));
    EXPECT_TRUE(host().HasLog(wxT("Updated component from online to offline: \"1:100\"")));
}

TEST_F(MergeTest, EqualChangeTimesChangeNothing) {
    Offline("1:100", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    offline->Save(true);
    Online("1:100", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    Merge(false);

    EXPECT_TRUE(Uploads().empty());
    EXPECT_FALSE(offline->IsModified());
    EXPECT_EQ(Messages().size(), 2u);  // only the two counts
}

TEST_F(MergeTest, LastModifiedIsComparedWithTheOtherSidesDtstamp) {
    Offline("1:100", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    Online("1:100", DtStamp(LAST_SYNC + 20) + "SUMMARY:online\r\n");
    Merge(false);
    EXPECT_TRUE(Uploads().empty());
    EXPECT_NE(Text(offline->Components().Find(wxT("1:100"))).find("SUMMARY:online"), std::string::npos);
}

TEST_F(MergeTest, IsNewerComparesChangeTimes) {
    auto early = Todo("a", Modified(LAST_SYNC));
    auto late = Todo("b", DtStamp(LAST_SYNC + 1));
    auto lateBoth = Todo("c", Modified(LAST_SYNC) + DtStamp(LAST_SYNC + 100));  // LAST-MODIFIED wins
    auto none = Todo("d");
    EXPECT_TRUE(COfflineCalendar::IsNewer(late.get(), early.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(early.get(), late.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(lateBoth.get(), early.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(early.get(), lateBoth.get()));
    EXPECT_TRUE(COfflineCalendar::IsNewer(early.get(), none.get()));
    EXPECT_TRUE(COfflineCalendar::IsNewer(early.get(), nullptr));
    EXPECT_FALSE(COfflineCalendar::IsNewer(none.get(), nullptr));
}

// --- Online-only, incremental and full ----------------------------------------------------------

TEST_F(MergeTest, OnlineOnlyTodoIsStoredOffline) {
    Online("1:100", Modified(LAST_SYNC));
    Merge(true);
    EXPECT_TRUE(offline->Components().Find(wxT("1:100")));
    EXPECT_NE(offline->Components().Find(wxT("1:100")), online.Find(wxT("1:100")));
    EXPECT_TRUE(offline->IsModified());
    EXPECT_TRUE(host().HasLog(wxT("New component in online file: \"1:100\"")));
}

TEST_F(MergeTest, IncrementalMergeLeavesOfflineOnlyTodosAndNewerOfflineVersionsAlone) {
    Offline("1:100", Modified(LAST_SYNC - 5000));  // would be dropped by a full merge
    Offline("created-offline");                    // would be uploaded by a full merge
    Offline("1:300", Modified(LAST_SYNC + 30) + "SUMMARY:offline\r\n");
    Online("1:300", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    offline->Save(true);
    Merge(true);

    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(Removed().empty());
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:100", "created-offline", "1:300"}));
    EXPECT_NE(Text(offline->Components().Find(wxT("1:300"))).find("SUMMARY:offline"), std::string::npos);
    EXPECT_FALSE(offline->IsModified());
}

TEST_F(MergeTest, MergeDoesNotChangeTheOnlineSet) {
    Offline("1:100", Modified(LAST_SYNC + 20));
    Online("1:100", Modified(LAST_SYNC + 10));
    Online("1:200", Modified(LAST_SYNC + 10));
    const std::string before = Text(online.Find(wxT("1:100"))) + Text(online.Find(wxT("1:200")));
    Merge(false);
    EXPECT_EQ(Text(online.Find(wxT("1:100"))) + Text(online.Find(wxT("1:200"))), before);
    EXPECT_EQ(online.Size(), 2u);
}

// --- Deleted series -------------------------------------------------------------------------------

TEST_F(MergeTest, DeletedSeriesStoredOfflineIsClearedAndLeftOutOfTheNextSave) {
    Offline("1:100", "SUMMARY:gone\r\n");
    Offline("1:200", "SUMMARY:stays\r\n");
    offline->Save(true);
    auto deleted = Todo("1:100");
    Merge(true, {deleted.get()});

    EXPECT_TRUE(Cleared(wxT("1:100")));
    EXPECT_TRUE(Removed().empty());  // the download removes it from the host itself
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("Removed component from offline file: \"1:100\"")));
    ASSERT_TRUE(offline->IsModified());
    offline->Save(true);
    const std::string file = ReadFile(offline->FileName().GetFullPath());
    EXPECT_EQ(file.find("SUMMARY:gone"), std::string::npos);
    EXPECT_NE(file.find("SUMMARY:stays"), std::string::npos);
    EXPECT_TRUE(deleted);  // the deleted list's components stay the caller's
}

TEST_F(MergeTest, DeletedSeriesNotStoredOfflineOnlyLogs) {
    Offline("1:200");
    offline->Save(true);
    auto deleted = Todo("1:100");
    auto noUid = IcalComponentPtr(icalcomponent_new_vtodo());
    Merge(true, {noUid.get(), deleted.get()});

    EXPECT_FALSE(offline->IsModified());
    EXPECT_FALSE(offline->Components().Contains(wxT("1:100")));
    EXPECT_EQ(Messages().size(), 3u);  // the two counts and the message; the UID-less one is silent
    EXPECT_TRUE(host().HasLog(wxT("Removed component was not found from offline file: \"1:100\"")));
}

TEST_F(MergeTest, OnlineTodoFindsItsClearedEntryAndFillsIt) {
    Offline("1:100", Modified(LAST_SYNC - 3600));
    Online("1:999", Modified(LAST_SYNC));
    Merge(false);
    ASSERT_TRUE(Cleared(wxT("1:100")));

    online.Store(wxT("1:100"), Todo("1:100", Modified(LAST_SYNC + 10)).release());
    Merge(true);
    EXPECT_TRUE(offline->Components().Find(wxT("1:100")));
    EXPECT_TRUE(host().HasLog(wxT("Updated component from online to offline: \"1:100\"")));
}

// --- A second merge in the same run -----------------------------------------------------------

TEST_F(MergeTest, SecondMergeStartsWithFreshListsAndSkipsClearedEntries) {
    Offline("1:100", Modified(LAST_SYNC - 3600));  // dropped by the first merge
    Offline("created-offline");                    // uploaded by both merges
    Online("1:999", Modified(LAST_SYNC));
    Merge(false);
    ASSERT_EQ(Removed(), std::vector<std::string>{"1:100"});
    ASSERT_EQ(Uploads(), std::vector<std::string>{"created-offline"});

    Merge(false);
    EXPECT_TRUE(Removed().empty());
    EXPECT_EQ(Uploads(), std::vector<std::string>{"created-offline"});
    EXPECT_FALSE(host().HasLog(wxT("New component in offline file: \"1:100\"")));
    // The cleared entry still counts among the offline items.
    EXPECT_TRUE(host().HasLog(wxT("3 items in the offline calendar")));
}
