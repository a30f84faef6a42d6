// Settings kept in the host's configuration and the four rows of the settings page.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

#include <wx/fileconf.h>
#include <wx/memconf.h>
#include <wx/sstream.h>

namespace {
wxString Choices(const SettingsRow& row) {
    wxString all;
    for (const wxString& c : row.choices)
        all += (all.empty() ? wxT("") : wxT(",")) + c;
    return all;
}
}  // namespace

class SettingsTest : public FakeHostTest {
  protected:
    std::unique_ptr<CRTMHandler> Make(const wxString& name = wxT("Work")) {
        return std::make_unique<CRTMHandler>(&config, name, RTM_PLUGIN_NAME);
    }
    void Store(const wxString& key, long value) {
        config.Write(wxT("/Remember The Milk/Work/") + key, value);
    }
    wxMemoryConfig config;
    int accepted = 0;  // any non-null argument means "the page was accepted"
};

TEST_F(SettingsTest, ReadsEveryKeyFromItsGroup) {
    config.Write(wxT("/Remember The Milk/AuthToken"), wxT("token-1"));
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    Store(wxT("PollFrequency"), 45);
    config.Write(wxT("/Remember The Milk/Work/SuppressErrors"), true);
    config.Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), true);
    Store(wxT("LastSync"), 1700000000);
    // The token belongs to the section; one in the calendar group is not the token.
    config.Write(wxT("/Remember The Milk/Work/AuthToken"), wxT("wrong"));

    auto handler = Make();
    const RTMSettings& s = handler->Settings();
    EXPECT_EQ(s.authToken, wxT("token-1"));
    EXPECT_EQ(s.list, wxT("Errands"));
    EXPECT_EQ(s.pollFrequency, 45);
    EXPECT_TRUE(s.suppressErrors);
    EXPECT_TRUE(s.keepOfflineCopy);
    EXPECT_EQ(s.lastSync, 1700000000);
    EXPECT_TRUE(handler->MirrorsToOffline());
    EXPECT_EQ(handler->GetDisplayName(), wxT("Errands"));
}

TEST_F(SettingsTest, RowsDescribeThePage) {
    Store(wxT("PollFrequency"), 15);
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Inbox"));
    config.Write(wxT("/Remember The Milk/Work/SuppressErrors"), true);
    auto handler = Make();
    SettingsRow** rows = handler->GetSettings(true);
    ASSERT_NE(rows, nullptr);
    ASSERT_NE(rows[3], nullptr);
    EXPECT_EQ(rows[4], nullptr);

    EXPECT_EQ(rows[0]->label, wxT("List"));
    EXPECT_EQ(rows[0]->type, ROW_TEXT);
    EXPECT_EQ(rows[0]->value, wxT("Inbox"));
    EXPECT_TRUE(rows[0]->hostFlag);

    EXPECT_EQ(rows[1]->label, wxT("Poll frequency (mins)"));
    EXPECT_EQ(rows[1]->type, ROW_CHOICE);
    EXPECT_EQ(rows[1]->selection, 1u);
    EXPECT_EQ(rows[1]->value, wxT("15"));
    EXPECT_EQ(Choices(*rows[1]), wxT("Never,15,30,60,120"));
    EXPECT_FALSE(rows[1]->hostFlag);

    EXPECT_EQ(rows[2]->label, wxT("Suppress errors"));
    EXPECT_EQ(rows[2]->type, ROW_CHECK);
    EXPECT_TRUE(rows[2]->ticked);
    EXPECT_EQ(rows[3]->label, wxT("Keep offline copy"));
    EXPECT_EQ(rows[3]->type, ROW_CHECK);
    EXPECT_FALSE(rows[3]->ticked);
    EXPECT_TRUE(rows[3]->auxiliary.empty());
}

TEST_F(SettingsTest, PollChoiceForEveryFrequency) {
    const struct {
        long minutes;
        uint32_t selection;
        const wchar_t* choices;
    } cases[] = {
        {0, 0, L"Never,15,30,60,120"},     {15, 1, L"Never,15,30,60,120"},  {30, 2, L"Never,15,30,60,120"},
        {60, 3, L"Never,15,30,60,120"},    {120, 4, L"Never,15,30,60,120"}, {45, 5, L"Never,15,30,60,120,45"},
        {-5, 5, L"Never,15,30,60,120,-5"},
    };
    for (const auto& c : cases) {
        Store(wxT("PollFrequency"), c.minutes);
        auto handler = Make();
        SettingsRow** rows = handler->GetSettings(false);
        EXPECT_EQ(rows[1]->selection, c.selection) << c.minutes;
        EXPECT_EQ(Choices(*rows[1]), wxString(c.choices)) << c.minutes;
        EXPECT_EQ(rows[1]->value, wxString::Format(wxT("%ld"), c.minutes));
    }
}

TEST_F(SettingsTest, FillingTheRowsTwiceDoesNotRepeatChoices) {
    Store(wxT("PollFrequency"), 45);
    auto handler = Make();
    handler->GetSettings(false);
    SettingsRow** rows = handler->GetSettings(false);
    EXPECT_EQ(rows[1]->choices.size(), 6u);
}

TEST_F(SettingsTest, ApplyTakesTheRowsAndWritesThem) {
    auto handler = Make();
    SettingsRow** rows = handler->GetSettings(false);
    rows[0]->value = wxT("Errands");
    rows[1]->value = wxT("90 minutes");
    rows[2]->ticked = true;
    rows[3]->ticked = true;
    handler->ApplySettings(&accepted);

    EXPECT_EQ(handler->Settings().list, wxT("Errands"));
    EXPECT_EQ(handler->Settings().pollFrequency, 90);
    EXPECT_EQ(config.Read(wxT("/Remember The Milk/Work/List"), wxString()), wxT("Errands"));
    EXPECT_EQ(config.ReadLong(wxT("/Remember The Milk/Work/PollFrequency"), -1), 90);
    EXPECT_TRUE(config.ReadBool(wxT("/Remember The Milk/Work/SuppressErrors"), false));
    EXPECT_TRUE(config.ReadBool(wxT("/Remember The Milk/Work/KeepOfflineCopy"), false));
    // The running handler keeps mirroring as it was created.
    EXPECT_FALSE(handler->MirrorsToOffline());
    // Token, frob and last sync are never written by the page.
    EXPECT_FALSE(config.Exists(wxT("/Remember The Milk/AuthToken")));
    EXPECT_FALSE(config.Exists(wxT("/Remember The Milk/Work/LastSync")));
}

TEST_F(SettingsTest, PollTextIsReadAsItsLeadingNumber) {
    const struct {
        const wchar_t* text;
        int32_t minutes;
    } cases[] = {{L"Never", 0}, {L"90abc", 90}, {L"  +30", 30}, {L"", 0}, {L"-7", -7}, {L"abc90", 0}};
    auto handler = Make();
    for (const auto& c : cases) {
        handler->GetSettings(false)[1]->value = c.text;
        handler->ApplySettings(&accepted);
        EXPECT_EQ(handler->Settings().pollFrequency, c.minutes) << c.text;
    }
}

TEST_F(SettingsTest, NullArgumentRewritesTheCurrentValues) {
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    auto handler = Make();
    handler->GetSettings(false)[0]->value = wxT("ignored");
    config.DeleteAll();
    handler->ApplySettings(nullptr);
    EXPECT_EQ(config.Read(wxT("/Remember The Milk/Work/List"), wxString()), wxT("Errands"));
    EXPECT_EQ(handler->Settings().list, wxT("Errands"));
}

TEST_F(SettingsTest, DummyCalendarReadsButNeverWrites) {
    config.Write(wxT("/Remember The Milk/Dummy/List"), wxT("Kept"));
    auto handler = Make(wxT("Dummy"));
    EXPECT_EQ(handler->Settings().list, wxT("Kept"));
    handler->GetSettings(false)[0]->value = wxT("Changed");
    handler->ApplySettings(&accepted);
    EXPECT_EQ(config.Read(wxT("/Remember The Milk/Dummy/List"), wxString()), wxT("Kept"));
    // Only the exact name is special.
    auto other = Make(wxT("dummy"));
    other->ApplySettings(nullptr);
    EXPECT_TRUE(config.Exists(wxT("/Remember The Milk/dummy/List")));
}

TEST_F(SettingsTest, TheConfigurationPathIsRestoredAfterEveryAccess) {
    config.SetPath(wxT("/Elsewhere/Deep"));
    auto handler = Make(wxT("team/a:b"));
    EXPECT_EQ(config.GetPath(), wxT("/Elsewhere/Deep"));
    handler->ApplySettings(nullptr);
    EXPECT_EQ(config.GetPath(), wxT("/Elsewhere/Deep"));
    handler->ReadAuthToken();
    EXPECT_EQ(config.GetPath(), wxT("/Elsewhere/Deep"));
    // Relative to the path the host had set, in one group whatever the name holds.
    EXPECT_TRUE(config.Exists(wxT("/Elsewhere/Deep/Remember The Milk/%team%2Fa:b/List")));
}

// Every calendar name, whatever it holds, keeps its settings in a group of its own inside the
// section, and reads them back from the file.
TEST_F(SettingsTest, SettingsSurviveAFileConfigurationRoundTrip) {
    const wxString names[] = {wxT("Work"),    wxT("/x"),       wxT("x"),       wxT("a/b"),  wxT("a:b"),
                              wxT("a_b"),     wxT(".."),       wxT("."),       wxT(""),     wxT("%2Fx"),
                              wxT("%s 50%%"), wxT(" padded "), wxT("[x] = y"), wxT("a\\b"), wxT("Ünï/..")};
    const wxString path = tempDir + wxT("/corvane.ini");
    {
        wxFileConfig file(wxT("Corvane"), wxEmptyString, path, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        int poll = 1;
        for (const wxString& name : names) {
            CRTMHandler handler(&file, name, RTM_PLUGIN_NAME);
            SettingsRow** rows = handler.GetSettings(false);
            rows[0]->value = wxT("List of ") + name + wxT(" ä");
            rows[1]->value = wxString::Format(wxT("%i"), poll++);
            rows[3]->ticked = true;
            handler.ApplySettings(&accepted);
        }
        file.Flush();
    }
    wxFileConfig file(wxT("Corvane"), wxEmptyString, path, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
    EXPECT_EQ(file.GetNumberOfGroups(false), 1u);  // nothing outside the section
    file.SetPath(wxT("/Remember The Milk"));
    EXPECT_EQ(file.GetNumberOfGroups(false), WXSIZEOF(names));
    file.SetPath(wxT("/"));
    int poll = 1;
    for (const wxString& name : names) {
        CRTMHandler handler(&file, name, RTM_PLUGIN_NAME);
        EXPECT_EQ(handler.Settings().list, wxT("List of ") + name + wxT(" ä")) << name;
        EXPECT_EQ(handler.Settings().pollFrequency, poll++) << name;
        EXPECT_TRUE(handler.Settings().keepOfflineCopy) << name;
    }
}

TEST_F(SettingsTest, WorkersCopyMatchesTheRecord) {
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    config.Write(wxT("/Remember The Milk/AuthToken"), wxT("tok"));
    host().network.proxyPassword = wxT("secret");
    auto handler = Make();
    RTMSettings copy = handler->Settings().DeepCopy();
    EXPECT_EQ(copy.list, wxT("Errands"));
    EXPECT_EQ(copy.authToken, wxT("tok"));
    EXPECT_EQ(copy.network.proxyPassword, wxT("secret"));
    EXPECT_NE(copy.list.wc_str(), handler->Settings().list.wc_str());
}

TEST_F(SettingsTest, HelpText) {
    auto handler = Make();
    EXPECT_EQ(
        handler->GetSettingsHelp(),
        wxT("Choose the name of the task list from the Remember The Milk. You can also leave the field empty "
            "if you want to get all your lists."));
}
