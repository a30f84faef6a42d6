// Settings kept in the host's configuration and the four rows of the settings page.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

#include <wx/fileconf.h>
#include <wx/memconf.h>

namespace {
wxString Choices(const SettingsRow& row) {
    return wxJoin(row.choices, wxT(','));
}

class SettingsTest : public FakeHostTest {
  protected:
    std::unique_ptr<CRTMHandler> Make(const wxString& name = wxT("Work")) {
        return std::make_unique<CRTMHandler>(&config, name, RTM_PLUGIN_NAME);
    }
    wxMemoryConfig config;
    int accepted = 0;  // any non-null argument means "the page was accepted"
};
}  // namespace

TEST_F(SettingsTest, ReadsEveryKeyFromItsGroupAndFillsTheRows) {
    config.Write(wxT("/Remember The Milk/AuthToken"), wxT("token-1"));
    config.Write(wxT("/Remember The Milk/Work/AuthToken"), wxT("wrong"));  // the token is the section's
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    config.Write(wxT("/Remember The Milk/Work/SuppressErrors"), true);
    config.Write(wxT("/Remember The Milk/Work/LastSync"), 1700000000L);
    auto handler = Make();
    EXPECT_EQ(handler->Settings().authToken, wxT("token-1"));
    EXPECT_EQ(handler->Settings().lastSync, 1700000000);
    EXPECT_EQ(handler->GetDisplayName(), wxT("Errands"));

    const struct {
        long minutes;
        uint32_t selection;
        const wchar_t* choices;
    } polls[] = {{0, 0, L"Never,15,30,60,120"},    {15, 1, L"Never,15,30,60,120"},
                 {30, 2, L"Never,15,30,60,120"},   {60, 3, L"Never,15,30,60,120"},
                 {120, 4, L"Never,15,30,60,120"},  {45, 5, L"Never,15,30,60,120,45"},
                 {-5, 5, L"Never,15,30,60,120,-5"}};
    for (const auto& p : polls) {
        config.Write(wxT("/Remember The Milk/Work/PollFrequency"), p.minutes);
        config.Write(wxT("/Remember The Milk/Work/KeepOfflineCopy"), p.minutes == 45);
        handler = Make();
        handler->GetSettings(false);  // filling twice repeats no choice
        SettingsRow** rows = handler->GetSettings(false);
        EXPECT_EQ(rows[1]->selection, p.selection) << p.minutes;
        EXPECT_EQ(Choices(*rows[1]), wxString(p.choices)) << p.minutes;
        EXPECT_EQ(rows[1]->value, wxString::Format(wxT("%ld"), p.minutes));
        EXPECT_EQ(rows[0]->value, wxT("Errands"));
        EXPECT_TRUE(rows[2]->ticked);
        EXPECT_EQ(rows[3]->ticked, p.minutes == 45);
        EXPECT_EQ(handler->MirrorsToOffline(), p.minutes == 45);
        EXPECT_EQ(rows[4], nullptr);
    }
}

TEST_F(SettingsTest, ApplyTakesTheRowsOfACloneAndWritesThem) {
    auto handler = Make();
    const std::pair<const wchar_t*, int32_t> polls[] = {{L"Never", 0}, {L"90 minutes", 90}, {L"  +30", 30},
                                                        {L"", 0},      {L"-7", -7},         {L"abc90", 0}};
    for (const auto& p : polls) {
        handler->GetSettings(false)[1]->value = p.first;
        handler->ApplySettings(&accepted);
        EXPECT_EQ(handler->Settings().pollFrequency, p.second) << p.first;
        EXPECT_EQ(config.ReadLong(wxT("/Remember The Milk/Work/PollFrequency"), -1), p.second);
    }
    // The host edits a clone, which keeps the edited rows until they are filled again.
    SettingsRow** edited = handler->GetSettings(false);
    edited[0]->value = wxT("Errands");
    edited[2]->ticked = true;
    edited[3]->ticked = true;
    std::unique_ptr<CCalendarHandler> clone(handler->Clone());
    auto* copy = static_cast<CRTMHandler*>(clone.get());
    copy->ApplySettings(&accepted);
    EXPECT_EQ(copy->Settings().list, wxT("Errands"));
    EXPECT_EQ(config.Read(wxT("/Remember The Milk/Work/List"), wxString()), wxT("Errands"));
    EXPECT_TRUE(config.ReadBool(wxT("/Remember The Milk/Work/SuppressErrors"), false));
    EXPECT_TRUE(config.ReadBool(wxT("/Remember The Milk/Work/KeepOfflineCopy"), false));
    // Token and last sync are never written by the page; the running handler keeps mirroring as it was made.
    EXPECT_FALSE(config.Exists(wxT("/Remember The Milk/AuthToken")));
    EXPECT_FALSE(config.Exists(wxT("/Remember The Milk/Work/LastSync")));
    EXPECT_FALSE(copy->MirrorsToOffline());

    // The calendar named "Dummy" (exactly) reads but never writes.
    config.Write(wxT("/Remember The Milk/Dummy/List"), wxT("Kept"));
    auto dummy = Make(wxT("Dummy"));
    dummy->GetSettings(false)[0]->value = wxT("Changed");
    dummy->ApplySettings(&accepted);
    EXPECT_EQ(config.Read(wxT("/Remember The Milk/Dummy/List"), wxString()), wxT("Kept"));
    Make(wxT("dummy"))->ApplySettings(nullptr);
    EXPECT_TRUE(config.Exists(wxT("/Remember The Milk/dummy/List")));
}

// Every calendar name, whatever it holds, keeps its settings in a group of its own inside the
// section (relative to the path the host had set, which is restored), and reads them back.
TEST_F(SettingsTest, EveryNameSurvivesAFileConfigurationRoundTrip) {
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

    config.SetPath(wxT("/Elsewhere/Deep"));
    auto handler = Make(wxT("team/a:b"));
    handler->ApplySettings(nullptr);
    handler->ReadAuthToken();
    EXPECT_EQ(config.GetPath(), wxT("/Elsewhere/Deep"));
    EXPECT_TRUE(config.Exists(wxT("/Elsewhere/Deep/Remember The Milk/%team%2Fa:b/List")));
}
