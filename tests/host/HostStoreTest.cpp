// The headless host's calendar store and the services that feed it.
#include "host/CalendarStore.h"
#include "host/HostContext.h"
#include "host/PasswordCodec.h"
#include "plugin/HostApi.h"

#include <gtest/gtest.h>
#include <wx/filename.h>

#include <cstdlib>
#include <fstream>
#include <set>

namespace {
icalcomponent* Todo(const char* uid, const char* summary) {
    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_set_uid(todo, uid);
    icalcomponent_set_summary(todo, summary);
    return todo;
}

class HostStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-host-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};
}  // namespace

// The store keeps components by UID; a file that cannot be read or written is reported, never
// dropped or left half-written.
TEST_F(HostStoreTest, ComponentsAreKeptByUidAndFailuresAreReported) {
    const wxString path = wxString::FromUTF8(dir + "/Work.ics");
    {
        CalendarStore store(path);
        store.Put(Todo("1:2", "first"));
        store.Put(Todo("1:3", "second"));
        store.Put(Todo("1:2", "first, edited"));
        wxString error;
        ASSERT_TRUE(store.Save(error)) << error;
    }
    CalendarStore again(path);
    wxString error;
    ASSERT_TRUE(again.Load(error)) << error;
    ASSERT_EQ(again.Size(), 2u);
    EXPECT_STREQ(icalcomponent_get_summary(const_cast<icalcomponent*>(again.Find("1:2"))), "first, edited");

    std::ofstream(dir + "/Broken.ics") << "this is not a calendar";
    CalendarStore broken(wxString::FromUTF8(dir + "/Broken.ics"));
    EXPECT_FALSE(broken.Load(error));
    EXPECT_TRUE(error.Contains(wxT("Broken.ics")));
    CalendarStore unwritable(wxString::FromUTF8(dir + "/missing-dir/Work.ics"));
    unwritable.Put(Todo("1:2", "x"));
    EXPECT_FALSE(unwritable.Save(error));
    EXPECT_TRUE(error.Contains(wxT("missing-dir")));
    EXPECT_TRUE(unwritable.IsModified());
    wxFileName::Mkdir(wxString::FromUTF8(dir + "/Taken.ics"));  // written, but not put in place
    CalendarStore taken(wxString::FromUTF8(dir + "/Taken.ics"));
    taken.Put(Todo("1:2", "x"));
    EXPECT_FALSE(taken.Save(error));
    EXPECT_FALSE(wxFileName::FileExists(wxString::FromUTF8(dir + "/Taken.ics.tmp")))
        << "no temporary file left";
}

TEST_F(HostStoreTest, EveryCalendarHasAStoreFileOfItsOwn) {
    EXPECT_EQ(CalendarStore::FileNameFor(wxT("Work")), wxT("Work.ics"));
    EXPECT_EQ(CalendarStore::FileNameFor(wxT("a_b")), wxT("a_b.ics"));
    std::set<wxString> files;
    for (const wchar_t* name : {L"Work", L"a_b", L"a/b", L"a:b", L"a.b", L"a_b.ics", L"x\\*?\"<>|y", L"."})
        EXPECT_TRUE(files.insert(CalendarStore::FileNameFor(name)).second) << wxString(name);
    EXPECT_TRUE(CalendarStore::FileNameFor(wxT("a/b")).Matches(wxT("a_b.????????.ics")));
}

TEST_F(HostStoreTest, RemoveFlagDropsTheComponentByUid) {
    HostContext& host = HostContext::Get();
    wxString error;
    ASSERT_TRUE(host.Open(wxString::FromUTF8(dir), 0, error)) << error;
    host.AddComponent(Todo("1:2", "shown"), nullptr, 0);
    host.AddComponent(Todo("1:3", "shown too"), nullptr, 2);
    EXPECT_EQ(host.Store(wxString()).Size(), 2u);
    host.AddComponent(Todo("1:2", "old version"), nullptr, 0x8004);
    EXPECT_EQ(host.Store(wxString()).Size(), 1u);
    EXPECT_NE(host.Store(wxString()).Find("1:3"), nullptr);
    host.Close();
}

TEST_F(HostStoreTest, TimeZonesFromThePluginAreFoundByTheTzidOfATime) {
    HostContext& host = HostContext::Get();
    wxString error;
    ASSERT_TRUE(host.Open(wxString::FromUTF8(dir), 0, error)) << error;
    icalcomponent* zone = icalparser_parse_string(
        "BEGIN:VTIMEZONE\r\nTZID:Test/Zone\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0200\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n");
    host.AddTimeZone(zone);
    icalcomponent* todo = icalparser_parse_string(
        "BEGIN:VTODO\r\nUID:a\r\nDUE;TZID=Test/Zone:20240101T100000\r\nEND:VTODO\r\n");
    icaltimezone* found = host.CheckForTimeZone(todo);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(icaltimezone_get_tzid(found), "Test/Zone");

    icalcomponent* builtin = icalparser_parse_string(
        "BEGIN:VTODO\r\nUID:b\r\nDUE;TZID=Europe/Helsinki:20240101T100000\r\nEND:VTODO\r\n");
    EXPECT_NE(host.CheckForTimeZone(builtin), nullptr);
    icalcomponent* floating =
        icalparser_parse_string("BEGIN:VTODO\r\nUID:c\r\nDUE:20240101T100000\r\nEND:VTODO\r\n");
    EXPECT_EQ(host.CheckForTimeZone(floating), nullptr);
    for (icalcomponent* c : {todo, builtin, floating})
        icalcomponent_free(c);
    host.Close();
}

TEST(PasswordCodecTest, EncodedSecretsDecodeBackAndHideTheText) {
    for (const wxString& secret :
         {wxString(wxT("")), wxString(wxT("hunter2")), wxString(wxT("päss wörd:%&"))}) {
        const wxString encoded = EncodeSecret(secret, wxT("Proxy"));
        if (!secret.empty()) {
            EXPECT_FALSE(encoded.Contains(secret));
        }
        wxString decoded;
        ASSERT_TRUE(DecodeSecret(encoded, wxT("Proxy"), decoded));
        EXPECT_EQ(decoded, secret);
    }
    wxString untouched;
    EXPECT_FALSE(DecodeSecret(wxT("not hex!"), wxT("Proxy"), untouched));
}
