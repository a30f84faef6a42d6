#include "sync/OfflineCalendar.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"
#include "tests/unit/OfflineTestHelpers.h"

#include <libical/icalss.h>
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
const wxString PREFIX = wxT("Remember The Milk-Work-Offline: ");

// A file another program wrote: an event, a zone of its own, a folded line, non-ASCII text,
// escaped text, parameters and X-properties, components without UID and a repeated UID.
const std::string FOREIGN = ReadTextFile(CORVANE_TEST_DATA_DIR "/offline/foreign.ics");

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
    static std::map<wxString, std::string> Texts(const COfflineCalendar& offline) {
        std::map<wxString, std::string> texts;
        for (const auto& entry : offline.Components())
            texts[entry.uid] = Text(entry.component);
        return texts;
    }

    wxFileName file;
    wxString path;
};

}  // namespace

// --- Reading ----------------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, MissingOrEmptyFileGivesEmptyStoreAndNoWrite) {
    auto offline = Open();
    EXPECT_TRUE(offline->Components().IsEmpty());
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, PREFIX + wxT("The offline file doesn't exist.")));
    offline.reset();
    EXPECT_FALSE(wxFileExists(path));  // nothing changed, nothing written

    WriteFile(path, "");
    offline = Open();
    EXPECT_TRUE(offline->Components().IsEmpty());
    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    EXPECT_TRUE(offline->SetAsidePath().empty());  // an empty file is not an unreadable one
}

TEST_F(OfflineCalendarTest, FileFromElsewhereLoadsWithoutLossAndIsWrittenBack) {
    WriteFile(path, FOREIGN);
    auto offline = Open();
    EXPECT_EQ(Uids(offline->Components()), (std::vector<std::string>{"event-1", "1:100", "1:200"}));
    EXPECT_EQ(host().timeZonesAdded, std::vector<wxString>{wxT("Test/Zone")});
    EXPECT_FALSE(offline->IsModified());

    icalcomponent* todo = offline->Components().Find(wxT("1:100"));
    EXPECT_STREQ(icalcomponent_get_summary(todo),
                 "Kävelylenkki järven ympäri \xe2\x80\x94 a summary long enough to be folded by its writer");
    EXPECT_STREQ(icalcomponent_get_description(todo), "first\nsecond, with comma");
    const std::string text = Text(todo);
    for (const char* kept : {"LOCATION;LANGUAGE=fi:Työ", "X-CORVANE-RTM-TASK-ID:555",
                             "X-OTHER-APP;X-PARAM=1:kept", "TRIGGER:-PT15M"}) {
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    }
    EXPECT_EQ(icalcomponent_isa(offline->Components().Find(wxT("event-1"))), ICAL_VEVENT_COMPONENT);
    EXPECT_STREQ(icalcomponent_get_summary(offline->Components().Find(wxT("1:200"))), "second version");

    const auto before = Texts(*offline);
    offline->RemoveByUid(wxT("none"));  // any change makes the closing save write
    offline.reset();
    const std::string written = ReadFile(path);
    EXPECT_EQ(Count(written, "BEGIN:VTIMEZONE"), 1u);  // the event's zone, from the host
    EXPECT_LT(written.find("TZID:Test/Zone"), written.find("BEGIN:VEVENT"));
    EXPECT_EQ(Texts(*Open()), before);
}

TEST_F(OfflineCalendarTest, UnreadableFileIsKeptAsideAtTheFirstSave) {
    const std::string garbage = "this is not a calendar\n\x01\x02";
    const std::string cutOff = FOREIGN.substr(0, FOREIGN.find("BEGIN:VTODO\r\nUID:1:200"));
    for (const std::string& content : {garbage, cutOff}) {
        SCOPED_TRACE(content.substr(0, 20));
        wxFileName::Rmdir(tempDir, wxPATH_RMDIR_RECURSIVE);
        wxFileName::Mkdir(tempDir);
        WriteFile(path, content);
        host().logs.clear();
        auto offline = Open();
        EXPECT_TRUE(offline->Components().IsEmpty());
        EXPECT_TRUE(
            host().HasLog(LOG_ERROR, PREFIX + wxT("Unable to open file \"") + path + wxT("\" for reading.")));
        offline->Save(true);  // nothing changed: the file stays as it is
        EXPECT_EQ(ReadFile(path), content);

        offline->StoreComponent(Todo("1:1").get());
        offline->Save(true);
        const wxString aside = offline->SetAsidePath();
        EXPECT_TRUE(aside.StartsWith(tempDir + wxT("/Remember The Milk-Work-Offline.unreadable-")));
        EXPECT_TRUE(aside.EndsWith(wxT(".ics")));
        EXPECT_EQ(ReadFile(aside), content);
        EXPECT_TRUE(
            host().HasLog(LOG_WARNING, wxT("The unreadable offline file was kept as \"") + aside + "\"."));
        EXPECT_NE(ReadFile(path).find("UID:1:1"), std::string::npos);

        offline->StoreComponent(Todo("1:2").get());  // only the first save moves a file aside
        offline->Save(true);
        EXPECT_EQ(FilesInTempDir().size(), 2u);
    }
}

// The reader gives what libical's own file set reads from the same file: the same components and
// zones, in the same order, also for lines longer than the parser's buffer, a second calendar
// (ignored) and a last line without its line end.
TEST_F(OfflineCalendarTest, ReadingGivesWhatLibicalsFileSetReads) {
    std::string many = HEAD;
    for (int i = 0; i < 2000; ++i)
        many += "BEGIN:VTODO\r\nUID:1:" + std::to_string(i) + "\r\nSUMMARY:" + std::to_string(i) +
                "\r\nEND:VTODO\r\n";
    const std::string contents[] = {
        FOREIGN, FOREIGN + FOREIGN.substr(0, FOREIGN.find("BEGIN:VEVENT")) + "END:VCALENDAR\r\n",
        std::string(HEAD) + "BEGIN:VTODO\r\nUID:long\r\nDESCRIPTION:" + std::string(5000, 'y') +
            "\r\nEND:VTODO\r\nEND:VCALENDAR",
        many + "END:VCALENDAR"};
    for (const std::string& content : contents) {
        SCOPED_TRACE(content.size());
        WriteFile(path, content);
        std::vector<std::string> uids;
        std::vector<wxString> zones;
        std::map<wxString, std::string> texts;
        icalset* set = icalfileset_new_reader(path.fn_str());
        icalcomponent* top =
            icalcomponent_get_first_component(icalfileset_get_component(set), ICAL_ANY_COMPONENT);
        for (icalcomponent* c = icalcomponent_get_first_component(top, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(top, ICAL_ANY_COMPONENT)) {
            const char* uid = icalcomponent_get_uid(c);
            if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT)
                zones.push_back(wxString::FromUTF8(
                    icalproperty_get_tzid(icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY))));
            else if (uid && texts.emplace(wxString::FromUTF8(uid), Text(c)).second)
                uids.push_back(uid);
            else if (uid)
                texts[wxString::FromUTF8(uid)] = Text(c);
        }
        icalset_free(set);
        host().timeZonesAdded.clear();
        auto offline = Open();
        EXPECT_EQ(Uids(offline->Components()), uids);
        EXPECT_EQ(Texts(*offline), texts);
        EXPECT_EQ(host().timeZonesAdded, zones);
    }
}

TEST_F(OfflineCalendarTest, SkipCompletedLeavesCompletedTodosOutButKeepsTheirZone) {
    auto offline = Open();
    offline->StoreComponent(Todo("1:1", std::string(HELSINKI_DUE) + "STATUS:COMPLETED\r\n").get());
    offline->Save(true);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find(HEAD), 0u);
    EXPECT_EQ(text.find("BEGIN:VTODO"), std::string::npos);
    EXPECT_EQ(Count(text, "BEGIN:VTIMEZONE"), 1u);
    EXPECT_TRUE(host().HasLog(LOG_INFO, PREFIX + wxT("The task \"1:1\" is completed -> ignored")));
    EXPECT_TRUE(offline->Components().Find(wxT("1:1")));  // still in memory

    offline.reset();  // the closing save writes only when something changed since
    EXPECT_EQ(ReadFile(path), text);
    offline = Open();
    offline->StoreComponent(Todo("1:1", "STATUS:COMPLETED\r\n").get());
    offline.reset();
    EXPECT_NE(ReadFile(path).find("UID:1:1"), std::string::npos);
}

// --- The store --------------------------------------------------------------------------------------

TEST_F(OfflineCalendarTest, NoUidIsRefusedAndAnUnknownUidStillRewritesTheFile) {
    auto offline = Open();
    IcalComponentPtr noUid(icalcomponent_new_vtodo());
    offline->StoreComponent(noUid.get());
    offline->RemoveComponent(noUid.get());
    EXPECT_EQ(host().CountLogs(PREFIX + wxT("The UID is missing from the component.")), 2u);
    EXPECT_FALSE(offline->IsModified());

    offline->StoreComponent(Todo("1:1").get());
    offline->Save(true);
    offline->RemoveComponent(Todo("1:1").get());
    offline->Save(true);
    host().logs.clear();
    offline->RemoveByUid(wxT("100%"));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].raw, PREFIX + wxT("Unable to find component: 100%%"));
    EXPECT_TRUE(offline->IsModified());
    offline->Save(true);
    EXPECT_TRUE(host().HasLog(wxT("Writing offline file")));
    EXPECT_EQ(ReadFile(path).find("BEGIN:VTODO"), std::string::npos);
}
