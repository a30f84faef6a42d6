#include "sync/OfflineCalendar.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <wx/datetime.h>
#include <wx/dir.h>
#include <wx/filefn.h>

#include <map>
#include <memory>

using namespace offline_test;

namespace {

const char* const HEAD =
    "BEGIN:VCALENDAR\r\nPRODID:-//Corvane/OfflineFile//EN\r\nVERSION:2.0\r\nMETHOD:PUBLISH\r\n";
const char* const HELSINKI_DUE = "DUE;TZID=Europe/Helsinki:20240105T100000\r\n";

class OfflineCalendarTest : public FakeHostTest {
  protected:
    void SetUp() override {
        FakeHostTest::SetUp();
        file = wxFileName(tempDir, wxT("Remember The Milk-Work-Offline.ics"));
        path = file.GetFullPath();
    }
    std::unique_ptr<COfflineCalendar> Open() { return std::make_unique<COfflineCalendar>(file); }
    std::vector<wxString> FilesInTempDir() {
        std::vector<wxString> names;
        wxDir dir(tempDir);
        wxString name;
        for (bool more = dir.GetFirst(&name); more; more = dir.GetNext(&name))
            names.push_back(name);
        return names;
    }

    wxFileName file;
    wxString path;
};

const std::string FOREIGN =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Someone Else//EN\r\n"
    "X-WR-CALNAME:Home\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Test/Zone\r\n"
    "BEGIN:STANDARD\r\n"
    "DTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0200\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:event-1\r\n"
    "DTSTART;TZID=Test/Zone:20240101T100000\r\n"
    "SUMMARY:Meeting\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VTODO\r\n"
    "UID:1:100\r\n"
    "SUMMARY:Kävelylenkki järven ympäri ja sitten kotiin \xe2\x80\x94 a summary long enough to be\r\n"
    "  folded by its writer\r\n"
    "DESCRIPTION:first\\nsecond\\, with comma\r\n"
    "LOCATION;LANGUAGE=fi:Työ\r\n"
    "X-CORVANE-RTM-TASK-ID:555\r\n"
    "X-OTHER-APP;X-PARAM=1:kept\r\n"
    "CATEGORIES:home\r\n"
    "BEGIN:VALARM\r\n"
    "ACTION:DISPLAY\r\n"
    "TRIGGER:-PT15M\r\n"
    "DESCRIPTION:Reminder\r\n"
    "END:VALARM\r\n"
    "END:VTODO\r\n"
    "BEGIN:VTODO\r\n"
    "SUMMARY:no uid, skipped\r\n"
    "END:VTODO\r\n"
    "BEGIN:VTODO\r\n"
    "UID:\r\n"
    "SUMMARY:empty uid, skipped\r\n"
    "END:VTODO\r\n"
    "BEGIN:VTODO\r\n"
    "UID:1:200\r\n"
    "SUMMARY:first version\r\n"
    "END:VTODO\r\n"
    "BEGIN:VTODO\r\n"
    "UID:1:200\r\n"
    "SUMMARY:second version\r\n"
    "END:VTODO\r\n"
    "END:VCALENDAR\r\n";

}  // namespace

// --- Reading ----------------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, MissingFileGivesEmptyStore) {
    auto offline = Open();
    EXPECT_TRUE(offline->Components().IsEmpty());
    ASSERT_EQ(host().logs.size(), 2u);
    EXPECT_EQ(host().logs[0].level, LOG_INFO);
    EXPECT_EQ(host().logs[0].text,
              wxT("Remember The Milk-Work-Offline: Reading offline file \"") + path + wxT("\""));
    EXPECT_EQ(host().logs[1].level, LOG_DEBUG);
    EXPECT_EQ(host().logs[1].text, wxT("Remember The Milk-Work-Offline: The offline file doesn't exist."));
    offline.reset();
    EXPECT_FALSE(wxFileExists(path));  // nothing changed, nothing written
}

TEST_F(OfflineCalendarTest, EmptyFileGivesEmptyStoreWithOnlyTheReadingLine) {
    WriteFile(path, "");
    auto offline = Open();
    EXPECT_TRUE(offline->Components().IsEmpty());
    EXPECT_EQ(host().logs.size(), 1u);
    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    EXPECT_TRUE(offline->SetAsidePath().empty());  // an empty file is not an unreadable one
    EXPECT_EQ(FilesInTempDir().size(), 1u);
}

TEST_F(OfflineCalendarTest, FileFromElsewhereLoadsWithoutLoss) {
    WriteFile(path, FOREIGN);
    auto offline = Open();

    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"event-1", "1:100", "1:200"}));
    EXPECT_EQ(host().timeZonesAdded, std::vector<wxString>{wxT("Test/Zone")});
    EXPECT_FALSE(offline->IsModified());

    const std::string todo = Text(offline->Components().Find(wxT("1:100")));
    EXPECT_EQ(icalcomponent_isa(offline->Components().Find(wxT("event-1"))), ICAL_VEVENT_COMPONENT);
    // The folded line is whole again and non-ASCII text is intact.
    const char* summary = icalcomponent_get_summary(offline->Components().Find(wxT("1:100")));
    EXPECT_STREQ(
        summary,
        "Kävelylenkki järven ympäri ja sitten kotiin \xe2\x80\x94 a summary long enough to be folded by its "
        "writer");
    EXPECT_STREQ(icalcomponent_get_description(offline->Components().Find(wxT("1:100"))),
                 "first\nsecond, with comma");
    EXPECT_NE(todo.find("LOCATION;LANGUAGE=fi:Työ"), std::string::npos);
    EXPECT_NE(todo.find("X-CORVANE-RTM-TASK-ID:555"), std::string::npos);
    EXPECT_NE(todo.find("X-OTHER-APP;X-PARAM=1:kept"), std::string::npos);
    EXPECT_NE(todo.find("BEGIN:VALARM"), std::string::npos);
    EXPECT_NE(todo.find("CATEGORIES:home"), std::string::npos);
    // A later component with the same UID takes the place of the earlier one.
    EXPECT_STREQ(icalcomponent_get_summary(offline->Components().Find(wxT("1:200"))), "second version");
}

TEST_F(OfflineCalendarTest, FileFromElsewhereIsWrittenBackWithEveryStoredComponent) {
    WriteFile(path, FOREIGN);
    std::map<std::string, std::string> before;
    {
        auto offline = Open();
        for (const auto& entry : offline->Components()) {
            before[entry.uid.ToStdString(wxConvUTF8)] = Text(entry.component);
        }
        offline->RemoveByUid(wxT("nothing"));  // marks the store changed
    }
    host().logs.clear();
    auto reread = Open();
    std::map<std::string, std::string> after;
    for (const auto& entry : reread->Components())
        after[entry.uid.ToStdString(wxConvUTF8)] = Text(entry.component);
    EXPECT_EQ(after, before);
    // The event's zone came from the host, so it was written before the event.
    const std::string text = ReadFile(path);
    EXPECT_EQ(Count(text, "BEGIN:VTIMEZONE"), 1u);
    EXPECT_LT(text.find("TZID:Test/Zone"), text.find("BEGIN:VEVENT"));
}

// --- Unreadable files --------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, UnreadableFileIsReportedAndKeptUntilTheFirstSave) {
    const std::string garbage = "this is not a calendar\n\x01\x02\x03";
    WriteFile(path, garbage);
    auto offline = Open();
    EXPECT_TRUE(offline->Components().IsEmpty());
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("Unable to open file \"") + path + wxT("\" for reading.")));

    offline->Save(true);  // nothing changed: the file stays as it is
    EXPECT_EQ(ReadFile(path), garbage);

    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    const wxString aside = offline->SetAsidePath();
    ASSERT_FALSE(aside.empty());
    EXPECT_TRUE(aside.Contains(wxT("Remember The Milk-Work-Offline.unreadable-")));
    EXPECT_TRUE(aside.EndsWith(wxT(".ics")));
    EXPECT_EQ(ReadFile(aside), garbage);
    EXPECT_TRUE(
        host().HasLog(LOG_WARNING, wxT("The unreadable offline file was kept as \"") + aside + wxT("\".")));
    EXPECT_NE(ReadFile(path).find("UID:1:1"), std::string::npos);

    // Only the first save moves a file aside.
    offline->StoreComponent(Todo("1:2").get());
    offline->Save(true);
    EXPECT_EQ(FilesInTempDir().size(), 2u);
}

TEST_F(OfflineCalendarTest, CalendarCutOffBeforeItsEndIsUnreadableToo) {
    std::string cut = FOREIGN.substr(0, FOREIGN.find("BEGIN:VTODO\r\nUID:1:200"));
    WriteFile(path, cut);
    auto offline = Open();
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("for reading.")));
    offline->StoreComponent(Todo("1:1").get());
    offline.reset();
    bool kept = false;
    for (const auto& name : FilesInTempDir()) {
        if (name.Contains(wxT(".unreadable-")) && ReadFile(tempDir + wxT("/") + name) == cut)
            kept = true;
    }
    EXPECT_TRUE(kept);
}

// --- Saving ------------------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, SaveWritesTheCalendarHeaderAndTodosInStoreOrder) {
    auto offline = Open();
    offline->StoreComponent(Todo("b").get());
    offline->StoreComponent(Todo("a").get());
    offline->StoreComponent(Todo("c").get());
    offline->Save(true);
    EXPECT_FALSE(offline->IsModified());
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Writing offline file \"") + path + wxT("\"")));
    EXPECT_EQ(ReadFile(path), std::string(HEAD) + "BEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\n" +
                                  "BEGIN:VTODO\r\nUID:a\r\nEND:VTODO\r\n" +
                                  "BEGIN:VTODO\r\nUID:c\r\nEND:VTODO\r\n" + "END:VCALENDAR\r\n");
    EXPECT_FALSE(wxFileExists(AtomicTempPath(path)));
}

TEST_F(OfflineCalendarTest, WrittenFileReadsBackToTheSameComponents) {
    auto offline = Open();
    offline->StoreComponent(
        Todo("1:100", "SUMMARY:Grüße, \"quoted\"; semi\r\n" + Modified(1700000000) + HELSINKI_DUE +
                          "X-CORVANE-RTM-TASK-ID:9\r\n" +
                          "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n")
            .get());
    offline->StoreComponent(
        Todo("1:200", "DESCRIPTION:" + std::string(200, 'x') + "\r\nSTATUS:COMPLETED\r\n").get());
    offline->Save(false);

    auto reread = std::make_unique<COfflineCalendar>(file);
    ASSERT_EQ(Uids(reread->Components()), Uids(offline->Components()));
    for (const auto& entry : offline->Components()) {
        EXPECT_EQ(Text(reread->Components().Find(entry.uid)), Text(entry.component));
    }
}

TEST_F(OfflineCalendarTest, TimeZoneIsWrittenOnceBeforeItsFirstUser) {
    auto offline = Open();
    offline->StoreComponent(Todo("plain").get());
    offline->StoreComponent(Todo("first", HELSINKI_DUE).get());
    offline->StoreComponent(Todo("second", HELSINKI_DUE).get());
    offline->Save(true);

    const std::string text = ReadFile(path);
    EXPECT_EQ(Count(text, "BEGIN:VTIMEZONE"), 1u);
    const size_t zone = text.find("BEGIN:VTIMEZONE");
    EXPECT_GT(zone, text.find("UID:plain"));
    EXPECT_LT(zone, text.find("UID:first"));
    EXPECT_EQ(text.rfind("BEGIN:VTODO", zone), text.find("BEGIN:VTODO"));  // no to-do starts between
}

TEST_F(OfflineCalendarTest, ZoneHandedToTheHostAtReadingIsWrittenAtSaving) {
    WriteFile(path, std::string(HEAD) +
                        "BEGIN:VTIMEZONE\r\nTZID:Test/Zone\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                        "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                        "BEGIN:VTODO\r\nUID:1:1\r\nDUE;TZID=Test/Zone:20240101T100000\r\nEND:VTODO\r\n"
                        "END:VCALENDAR\r\n");
    {
        auto offline = Open();
        ASSERT_EQ(host().timeZonesAdded.size(), 1u);
        offline->StoreComponent(Todo("1:2", "DUE;TZID=Test/Zone:20240102T100000\r\n").get());
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(Count(text, "BEGIN:VTIMEZONE"), 1u);
    EXPECT_NE(text.find("TZOFFSETTO:+0300"), std::string::npos);
    EXPECT_LT(text.find("BEGIN:VTIMEZONE"), text.find("UID:1:1"));
}

TEST_F(OfflineCalendarTest, SkipCompletedLeavesCompletedTodosOutButKeepsTheirZone) {
    auto offline = Open();
    offline->StoreComponent(Todo("1:1", std::string(HELSINKI_DUE) + "STATUS:COMPLETED\r\n").get());
    offline->Save(true);

    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("BEGIN:VTODO"), std::string::npos);
    EXPECT_EQ(text.find(HEAD), 0u);
    EXPECT_EQ(Count(text, "BEGIN:VTIMEZONE"), 1u);
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("The task \"1:1\" is completed -> ignored")));
    // Still in memory; the closing save writes it only when something changed since.
    EXPECT_TRUE(offline->Components().Find(wxT("1:1")));
    offline.reset();
    EXPECT_EQ(ReadFile(path), text);

    offline = Open();  // the completed to-do is gone from the file, so add it back and change
    offline->StoreComponent(Todo("1:1", "STATUS:COMPLETED\r\n").get());
    offline.reset();
    EXPECT_NE(ReadFile(path).find("UID:1:1"), std::string::npos);
}

TEST_F(OfflineCalendarTest, SaveAfterReadingDoesNotTouchTheFile) {
    {
        auto offline = Open();
        offline->StoreComponent(Todo("1:1", "STATUS:COMPLETED\r\n").get());
    }
    const std::string content = ReadFile(path);
    const wxDateTime past(1, wxDateTime::Jan, 2020, 12, 0, 0);
    ASSERT_TRUE(file.SetTimes(nullptr, &past, nullptr));
    host().logs.clear();

    {
        auto offline = Open();
        offline->Save(true);
        offline->Save(false);
        EXPECT_FALSE(host().HasLog(wxT("Writing offline file")));
    }
    wxFileName after(path);
    EXPECT_EQ(after.GetModificationTime(), past);
    EXPECT_EQ(ReadFile(path), content);
}

TEST_F(OfflineCalendarTest, SaveCreatesTheMissingDataDirectory) {
    wxFileName nested(tempDir + wxT("/data"), wxT("Cal-Offline.ics"));
    auto offline = std::make_unique<COfflineCalendar>(nested);
    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    EXPECT_TRUE(nested.FileExists());
}

// --- The store --------------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, StoreReplacesInPlaceAndKeepsItsOwnCopy) {
    auto offline = Open();
    offline->StoreComponent(Todo("1:1", "SUMMARY:old\r\n").get());
    offline->StoreComponent(Todo("1:2").get());
    auto replacement = Todo("1:1", "SUMMARY:new\r\n");
    offline->StoreComponent(replacement.get());
    EXPECT_EQ(offline->Components().Size(), 2u);
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"1:1", "1:2"}));
    EXPECT_STREQ(icalcomponent_get_summary(offline->Components().Find(wxT("1:1"))), "new");
    EXPECT_NE(offline->Components().Find(wxT("1:1")), replacement.get());
}

TEST_F(OfflineCalendarTest, ComponentsWithoutUidAreRefused) {
    auto offline = Open();
    host().logs.clear();
    IcalComponentPtr noUid(icalcomponent_new_vtodo());
    offline->StoreComponent(noUid.get());
    offline->RemoveComponent(noUid.get());
    EXPECT_EQ(host().CountLogs(wxT("The UID is missing from the component.")), 2u);
    EXPECT_TRUE(host().HasLog(LOG_ERROR, wxT("The UID is missing")));
    EXPECT_FALSE(offline->IsModified());
}

TEST_F(OfflineCalendarTest, RemovingAnUnknownUidLogsAndStillRewritesTheFile) {
    auto offline = Open();
    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    offline->RemoveComponent(Todo("1:1").get());
    offline->RemoveByUid(wxT("1:9"));
    EXPECT_TRUE(host().HasLog(LOG_WARNING, wxT("Unable to find component: 1:9")));
    EXPECT_TRUE(offline->IsModified());
    offline->Save(true);
    EXPECT_EQ(ReadFile(path).find("BEGIN:VTODO"), std::string::npos);
}

TEST_F(OfflineCalendarTest, PublishAllGivesTheHostCopiesInStoreOrder) {
    auto offline = Open();
    offline->StoreComponent(Todo("1:2").get());
    offline->StoreComponent(Todo("1:1").get());
    offline->PublishAll(nullptr);
    ASSERT_EQ(host().added.size(), 2u);
    EXPECT_EQ(host().added[0].uid, "1:2");
    EXPECT_EQ(host().added[1].uid, "1:1");
    EXPECT_EQ(host().added[0].flags, 0u);
    EXPECT_TRUE(offline->Components().Find(wxT("1:2")));
}

TEST_F(OfflineCalendarTest, LogPutsTheFileNameFirstAndDoublesPercent) {
    auto offline = Open();
    host().logs.clear();
    offline->RemoveByUid(wxT("100%"));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].raw, wxT("Remember The Milk-Work-Offline: Unable to find component: 100%%"));
}
