// The merge of the offline store with a download: what is sent, kept, dropped or replaced.
#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <wx/filefn.h>

#include <memory>

using namespace offline_test;

namespace {
const time_t LAST_SYNC = 1700000000;

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
        const wxFileName file(tempDir, wxT("Work-Offline.ics"));
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

    std::unique_ptr<COfflineCalendar> offline;
    ComponentMap online;
};
}  // namespace

// A to-do found only offline in a full download: sent when it never was on the service or was
// changed since the last sync, dropped otherwise (the service closed or deleted it meanwhile).
TEST_F(MergeTest, OfflineOnlyTodoIsUploadedOrDroppedByTheDecisionTable) {
    const std::string readOnly = "X-CORVANE-READONLY:1\r\n";
    const struct {
        bool onlineEmpty, tracked;
        std::string uid, lines;
        bool uploaded;
    } rows[] = {
        {true, false, "1:100", Modified(LAST_SYNC + 50), false},
        // Never on the service (no list:series UID): an empty or full download cannot mean it was deleted.
        {true, false, "made-offline", Modified(LAST_SYNC - 50), true},
        {true, false, "made-offline", readOnly, false},
        {false, true, "made-offline", Modified(LAST_SYNC - 3600), true},
        {false, false, "1:100", DtStamp(LAST_SYNC - 100000), true},
        {false, false, "1:100", Modified(LAST_SYNC + 10) + readOnly, false},
        {false, false, "1:100", Modified(LAST_SYNC - 1) + readOnly, false},
        {false, false, "1:100", Modified(LAST_SYNC), true},
        {false, false, "1:100", Modified(LAST_SYNC + 10) + "X-CORVANE-READONLYX:1\r\n", true},
        {false, false, "1:100", Modified(LAST_SYNC - 3600), false},
        // With every unsent change known to wait on the queue, a closed task is no unsent change.
        {false, true, "1:100", Modified(LAST_SYNC + 10), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.uid + " " + row.lines);
        Reopen();
        offline->SetChangesTracked(row.tracked);
        if (!row.onlineEmpty)
            Online("1:999", Modified(LAST_SYNC));
        Offline(row.uid, row.lines);
        offline->Save(true);
        offline->Merge(online, {}, false, LAST_SYNC);

        const wxString uid = wxString::FromUTF8(row.uid.c_str());
        const std::vector<std::string> mine = {row.uid}, none;
        EXPECT_EQ(UidsOf(offline->ToUpload()), row.uploaded ? mine : none);
        EXPECT_EQ(UidsOf(offline->ToRemove()), row.uploaded ? none : mine);
        EXPECT_EQ(offline->Components().Find(uid) != nullptr, row.uploaded);
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
    offline->Merge(online, {}, false, LAST_SYNC);

    // Newer offline: a copy is queued for upload and the store keeps its version.
    ASSERT_EQ(UidsOf(offline->ToUpload()), std::vector<std::string>{"1:1"});
    EXPECT_STREQ(icalcomponent_get_summary(offline->ToUpload()[0].get()), "offline");
    EXPECT_NE(offline->ToUpload()[0].get(), offline->Components().Find(wxT("1:1")));
    EXPECT_EQ(Summary(wxT("1:1")) + Summary(wxT("1:2")) + Summary(wxT("1:3")) + Summary(wxT("1:4")) +
                  Summary(wxT("1:5")),
              "offlineonlineofflineonlineonline");
    EXPECT_NE(offline->Components().Find(wxT("1:5")), online.Find(wxT("1:5")));  // a copy
    EXPECT_TRUE(offline->ToRemove().empty());
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:1", "1:2", "1:3", "1:4", "1:5"}));
    EXPECT_EQ(Text(online.Find(wxT("1:1"))) + Text(online.Find(wxT("1:2"))), onlineBefore);
}

// An incremental download leaves offline-only to-dos and newer offline versions alone, and
// removes the series the service deleted.
TEST_F(MergeTest, IncrementalMergeAppliesChangesAndDeletionsOnly) {
    Offline("1:100", Modified(LAST_SYNC - 5000));  // a full merge would drop it
    Offline("made-offline");                       // a full merge would upload it
    Offline("1:300", Modified(LAST_SYNC + 30) + "SUMMARY:offline\r\n");
    Online("1:300", Modified(LAST_SYNC + 10) + "SUMMARY:online\r\n");
    Offline("1:400", "SUMMARY:gone\r\n");
    offline->Save(true);
    offline->Merge(online, {}, true, LAST_SYNC);
    EXPECT_TRUE(offline->ToUpload().empty());
    EXPECT_TRUE(offline->ToRemove().empty());
    EXPECT_EQ(Summary(wxT("1:300")), "offline");
    EXPECT_FALSE(offline->IsModified());

    auto gone = Todo("1:400");
    auto unknown = Todo("1:500");
    IcalComponentPtr noUid(icalcomponent_new_vtodo());
    offline->Merge(online, {gone.get(), noUid.get(), unknown.get()}, true, LAST_SYNC);
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:100", "made-offline", "1:300"}));
    EXPECT_TRUE(offline->ToRemove().empty());  // the download removes it from the host itself
    ASSERT_TRUE(offline->IsModified());
    offline->Save(true);
    EXPECT_EQ(ReadFile(offline->FileName().GetFullPath()).find("SUMMARY:gone"), std::string::npos);

    // An online to-do with the removed entry's UID fills it again.
    Online("1:400", Modified(LAST_SYNC + 10));
    offline->Merge(online, {}, true, LAST_SYNC);
    EXPECT_TRUE(offline->Components().Find(wxT("1:400")));
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
