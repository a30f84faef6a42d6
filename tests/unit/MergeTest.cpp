#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <wx/filefn.h>

#include <memory>

using namespace offline_test;

namespace {

const time_t LAST_SYNC = 1700000000;
const wxString PREFIX = wxT("Remember The Milk-Work-Offline: ");

class MergeTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        Reopen();
    }
    void TearDown() override {
        offline.reset();
        FakeHostTest::TearDown();
    }
    void Reopen() {
        offline.reset();
        online.Clear();
        const wxFileName file(tempDir, wxT("Remember The Milk-Work-Offline.ics"));
        if (file.FileExists())
            wxRemoveFile(file.GetFullPath());
        offline = std::make_unique<COfflineCalendar>(file);
    }
    void Offline(const std::string& uid, const std::string& lines = "") {
        offline->StoreComponent(Todo(uid, lines).get());
    }
    void Online(const std::string& uid, const std::string& lines = "") {
        online.Store(wxString::FromUTF8(uid.c_str()), Todo(uid, lines).release());
    }
    // The log is cleared first, so a test sees only the merge's messages.
    void Merge(bool incremental, std::vector<icalcomponent*> deleted = {}) {
        host().logs.clear();
        offline->Merge(online, std::move(deleted), incremental, LAST_SYNC);
    }
    static std::vector<std::string> UidsOf(const ComponentList& list) {
        std::vector<std::string> uids;
        for (const auto& c : list)
            uids.push_back(icalcomponent_get_uid(c.get()));
        return uids;
    }
    std::string Summary(const wxString& uid) {
        const char* summary = icalcomponent_get_summary(offline->Components().Find(uid));
        return summary ? summary : "";
    }
    bool Cleared(const wxString& uid) {
        return offline->Components().Contains(uid) && !offline->Components().Find(uid);
    }

    std::unique_ptr<COfflineCalendar> offline;
    ComponentMap online;
};

}  // namespace

// The decision for a to-do found only offline in a full download, row by row.
TEST_F(MergeTest, OfflineOnlyTodoIsUploadedOrDroppedByTheDecisionTable) {
    struct Row {
        bool onlineEmpty;
        std::string uid, lines;
        bool uploaded;
        wxString extra;  // the message between the new-component one and the outcome, if any
    };
    const std::string readOnly = "X-CORVANE-READONLY:1\r\n";
    const Row rows[] = {
        {true, "1:100", Modified(LAST_SYNC + 50), false, wxString()},
        // Never on the service (no list:series UID), so an empty download cannot mean it was deleted.
        {true, "made-offline", Modified(LAST_SYNC - 50), true,
         wxT("The component has never been on the online calendar --> add it to the online.")},
        {true, "made-offline", readOnly, false, wxString()},
        // Nor can a full download that lacks it, however old its change time.
        {false, "made-offline", Modified(LAST_SYNC - 3600), true,
         wxT("The component has never been on the online calendar --> add it to the online.")},
        {false, "1:100", DtStamp(LAST_SYNC - 100000), true, wxString()},
        {false, "1:100", Modified(LAST_SYNC + 10) + readOnly, false,
         wxT("The component is marked as read only so it won't be added to online.")},
        {false, "1:100", Modified(LAST_SYNC - 1) + readOnly, false,
         wxT("The component was created before the last sync (1699999999 < 1700000000) --> remove from "
             "offline.")},
        {false, "1:100", Modified(LAST_SYNC), true,
         wxT("The component was created after the last sync (1700000000 > 1700000000) --> add it to the "
             "online.")},
        {false, "1:100", Modified(LAST_SYNC + 10) + "X-CORVANE-READONLYX:1\r\n", true,
         wxT("The component was created after the last sync (1700000010 > 1700000000) --> add it to the "
             "online.")},
        {false, "1:100", Modified(LAST_SYNC - 3600), false,
         wxT("The component was created before the last sync (1699996400 < 1700000000) --> remove from "
             "offline.")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.uid + " " + row.lines);
        Reopen();
        if (!row.onlineEmpty)
            Online("1:999", Modified(LAST_SYNC));
        Offline(row.uid, row.lines);
        offline->Save(true);
        Merge(false);

        const wxString uid = wxString::FromUTF8(row.uid.c_str());
        std::vector<wxString> expected = {
            PREFIX + wxString::Format(wxT("%d items in the online calendar"), row.onlineEmpty ? 0 : 1),
            PREFIX + wxT("1 items in the offline calendar"),
            PREFIX + wxT("New component in offline file: \"") + uid + "\""};
        if (!row.extra.empty())
            expected.push_back(PREFIX + row.extra);
        expected.push_back(PREFIX + (row.uploaded
                                         ? wxT("The component was added to the online calendar")
                                         : wxT("The component was removed from the offline calendar")));
        if (!row.onlineEmpty)
            expected.push_back(PREFIX + wxT("New component in online file: \"1:999\""));
        EXPECT_EQ(host().LogTexts(), expected);
        for (const auto& line : host().logs)
            EXPECT_EQ(line.level, LOG_DEBUG);

        EXPECT_EQ(UidsOf(offline->ToUpload()),
                  row.uploaded ? std::vector<std::string>{row.uid} : std::vector<std::string>{});
        EXPECT_EQ(UidsOf(offline->ToRemove()),
                  row.uploaded ? std::vector<std::string>{} : std::vector<std::string>{row.uid});
        EXPECT_EQ(Cleared(uid), !row.uploaded);
        EXPECT_EQ(offline->IsModified(), !row.uploaded || !row.onlineEmpty);
    }
}

TEST_F(MergeTest, TodosOnBothSidesKeepTheNewerVersion) {
    Offline("1:1", Modified(LAST_SYNC + 20) + "SUMMARY:offline\r\n");
    Online("1:1", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    Offline("1:2", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    Online("1:2", Modified(LAST_SYNC + 20) + "SUMMARY:online\r\n");
    Offline("1:3", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    Online("1:3", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    // LAST-MODIFIED on one side is compared with DTSTAMP on the other.
    Offline("1:4", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
    Online("1:4", DtStamp(LAST_SYNC + 20) + "SUMMARY:online\r\n");
    Online("1:5", "SUMMARY:online\r\n");
    const std::string onlineBefore = Text(online.Find(wxT("1:1"))) + Text(online.Find(wxT("1:2")));
    Merge(false);

    // Newer offline: a copy is queued for upload and the store keeps its version.
    ASSERT_EQ(UidsOf(offline->ToUpload()), std::vector<std::string>{"1:1"});
    EXPECT_STREQ(icalcomponent_get_summary(offline->ToUpload()[0].get()), "offline");
    EXPECT_NE(offline->ToUpload()[0].get(), offline->Components().Find(wxT("1:1")));
    EXPECT_EQ(Summary(wxT("1:1")), "offline");
    EXPECT_EQ(Summary(wxT("1:2")), "online");
    EXPECT_EQ(Summary(wxT("1:3")), "offline");
    EXPECT_EQ(Summary(wxT("1:4")), "online");
    EXPECT_EQ(Summary(wxT("1:5")), "online");
    EXPECT_NE(offline->Components().Find(wxT("1:5")), online.Find(wxT("1:5")));  // a copy
    EXPECT_TRUE(offline->ToRemove().empty());
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:1", "1:2", "1:3", "1:4", "1:5"}));
    EXPECT_EQ(host().LogTexts(), (std::vector<wxString>{
                                     PREFIX + wxT("5 items in the online calendar"),
                                     PREFIX + wxT("4 items in the offline calendar"),
                                     PREFIX + wxT("Updated component from offline to online \"1:1\""),
                                     PREFIX + wxT("Updated component from online to offline: \"1:2\""),
                                     PREFIX + wxT("Updated component from online to offline: \"1:4\""),
                                     PREFIX + wxT("New component in online file: \"1:5\""),
                                 }));
    EXPECT_EQ(Text(online.Find(wxT("1:1"))) + Text(online.Find(wxT("1:2"))), onlineBefore);
}

TEST_F(MergeTest, IsNewerComparesLastModifiedElseDtstamp) {
    auto early = Todo("a", Modified(LAST_SYNC));
    auto late = Todo("b", DtStamp(LAST_SYNC + 1));
    auto stampIgnored = Todo("c", Modified(LAST_SYNC) + DtStamp(LAST_SYNC + 100));
    auto none = Todo("d");
    EXPECT_TRUE(COfflineCalendar::IsNewer(late.get(), early.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(early.get(), late.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(stampIgnored.get(), early.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(early.get(), stampIgnored.get()));
    EXPECT_TRUE(COfflineCalendar::IsNewer(early.get(), none.get()));
    EXPECT_FALSE(COfflineCalendar::IsNewer(none.get(), nullptr));
}

TEST_F(MergeTest, IncrementalMergeLeavesOfflineOnlyTodosAndNewerOfflineVersionsAlone) {
    Offline("1:100", Modified(LAST_SYNC - 5000));  // a full merge would drop it
    Offline("made-offline");                       // a full merge would upload it
    Offline("1:300", Modified(LAST_SYNC + 30) + "SUMMARY:offline\r\n");
    Online("1:300", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    offline->Save(true);
    Merge(true);

    EXPECT_TRUE(offline->ToUpload().empty());
    EXPECT_TRUE(offline->ToRemove().empty());
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:100", "made-offline", "1:300"}));
    EXPECT_EQ(Summary(wxT("1:300")), "offline");
    EXPECT_FALSE(offline->IsModified());
    EXPECT_EQ(host().logs.size(), 2u);
}

TEST_F(MergeTest, DeletedSeriesClearsItsOfflineEntry) {
    Offline("1:100", "SUMMARY:gone\r\n");
    Offline("1:200", "SUMMARY:stays\r\n");
    offline->Save(true);
    auto stored = Todo("1:100");
    auto unknown = Todo("1:300");
    IcalComponentPtr noUid(icalcomponent_new_vtodo());
    Merge(true, {stored.get(), noUid.get(), unknown.get()});

    EXPECT_TRUE(Cleared(wxT("1:100")));
    EXPECT_TRUE(offline->ToRemove().empty());  // the download removes it from the host itself
    EXPECT_FALSE(offline->Components().Contains(wxT("1:300")));
    EXPECT_EQ(host().LogTexts(),
              (std::vector<wxString>{
                  PREFIX + wxT("0 items in the online calendar"),
                  PREFIX + wxT("2 items in the offline calendar"),
                  PREFIX + wxT("Removed component from offline file: \"1:100\""),
                  PREFIX + wxT("Removed component was not found from offline file: \"1:300\""),
              }));
    ASSERT_TRUE(offline->IsModified());
    offline->Save(true);
    const std::string file = ReadFile(offline->FileName().GetFullPath());
    EXPECT_EQ(file.find("SUMMARY:gone"), std::string::npos);
    EXPECT_NE(file.find("SUMMARY:stays"), std::string::npos);
}

TEST_F(MergeTest, SecondMergeStartsWithFreshListsAndSkipsClearedEntries) {
    Offline("1:100", Modified(LAST_SYNC - 3600));  // dropped by the first merge
    Offline("made-offline");                       // uploaded by both merges
    Online("1:999", Modified(LAST_SYNC));
    Merge(false);
    ASSERT_EQ(UidsOf(offline->ToRemove()), std::vector<std::string>{"1:100"});
    ASSERT_EQ(UidsOf(offline->ToUpload()), std::vector<std::string>{"made-offline"});

    Merge(false);
    EXPECT_TRUE(offline->ToRemove().empty());
    EXPECT_EQ(UidsOf(offline->ToUpload()), std::vector<std::string>{"made-offline"});
    EXPECT_FALSE(host().HasLog(wxT("\"1:100\"")));
    EXPECT_TRUE(host().HasLog(wxT("3 items in the offline calendar")));  // the cleared entry counts

    // An online to-do with the cleared entry's UID finds the entry and fills it.
    online.Store(wxT("1:100"), Todo("1:100", Modified(LAST_SYNC + 10)).release());
    Merge(true);
    EXPECT_TRUE(offline->Components().Find(wxT("1:100")));
    EXPECT_TRUE(host().HasLog(wxT("Updated component from online to offline: \"1:100\"")));
}

TEST_F(MergeTest, AToDoWhoseChangeWaitsForTheServiceIsLeftAlone) {
    Offline("1:1", Modified(LAST_SYNC + 10) + "SUMMARY:edited in the host\r\n");
    Online("1:1", Modified(LAST_SYNC + 20) + "SUMMARY:older on the service\r\n");
    Offline("1:2", Modified(LAST_SYNC - 3600));  // would be dropped as created before the last sync
    Online("1:9", Modified(LAST_SYNC));
    offline->Merge(online, {}, false, LAST_SYNC, [](const wxString& uid) { return uid != wxT("1:9"); });
    EXPECT_EQ(Summary(wxT("1:1")), "edited in the host");
    EXPECT_TRUE(offline->Components().Find(wxT("1:2")));
    EXPECT_TRUE(offline->ToUpload().empty());
    EXPECT_TRUE(offline->ToRemove().empty());
}

// A merge that takes the downloaded to-dos leaves the store as one that copies them, and the
// online set keeps just what the store did not take: an older version, and one the reply also
// lists as deleted (the download still gives that one to the host).
TEST_F(MergeTest, TakingTheDownloadedToDosStoresTheSameAndLeavesTheRest) {
    std::string stores[2];
    for (bool taking : {false, true}) {
        Reopen();
        Offline("1:1", Modified(LAST_SYNC - 10) + "SUMMARY:old\r\n");
        Offline("1:2", Modified(LAST_SYNC + 10) + "SUMMARY:offline\r\n");
        Online("1:1", Modified(LAST_SYNC) + "SUMMARY:new\r\n");
        Online("1:2", Modified(LAST_SYNC) + "SUMMARY:older\r\n");
        Online("1:4", Modified(LAST_SYNC) + "SUMMARY:added\r\n");
        Online("1:5", Modified(LAST_SYNC) + "SUMMARY:gone\r\n");
        const IcalComponentPtr deleted = Todo("1:5");
        if (taking)
            offline->MergeTaking(online, {deleted.get()}, false, LAST_SYNC);
        else
            offline->Merge(online, {deleted.get()}, false, LAST_SYNC);
        for (const ComponentMap::Entry& entry : offline->Components())
            stores[taking] +=
                entry.uid.utf8_string() + "=" + (entry.component ? Summary(entry.uid) : "-") + " ";
    }
    EXPECT_EQ(stores[1], stores[0]);
    EXPECT_EQ(stores[1], "1:1=new 1:2=offline 1:4=added 1:5=- ");
    for (const char* uid : {"1:1", "1:2", "1:4", "1:5"})
        EXPECT_EQ(online.Find(uid) != nullptr, uid == std::string("1:2") || uid == std::string("1:5")) << uid;
}
