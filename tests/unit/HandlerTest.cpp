// Construction, cloning and the root operations of the handler chain.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

#include <wx/memconf.h>

class HandlerTest : public FakeHostTest {
  protected:
    wxMemoryConfig config;
};

TEST_F(HandlerTest, EmptyConfigurationGivesTheDefaults) {
    CRTMHandler handler(&config, wxT("Work"), RTM_PLUGIN_NAME);
    const RTMSettings& s = handler.Settings();
    EXPECT_TRUE(s.list.empty());
    EXPECT_EQ(s.pollFrequency, 0);
    EXPECT_FALSE(s.suppressErrors);
    EXPECT_FALSE(s.keepOfflineCopy);
    EXPECT_TRUE(s.authToken.empty());
    EXPECT_EQ(s.lastSync, 0);
    EXPECT_FALSE(handler.MirrorsToOffline());
    EXPECT_TRUE(handler.IsEnabled());
    EXPECT_TRUE(icaltime_is_null_time(handler.GetLastRead()));
    EXPECT_EQ(handler.GetDisplayName(), wxT("Remember The Milk"));
}

TEST_F(HandlerTest, ConstructionTakesNetworkParametersAndDataDirectoryFromTheHost) {
    host().network.proxyServer = wxT("proxy:3128");
    host().network.proxyType = 2;
    host().network.fallBackToDirect = true;
    host().concurrentSync = true;
    CRTMHandler handler(&config, wxT("Work"), RTM_PLUGIN_NAME);
    EXPECT_EQ(handler.Settings().network.proxyServer, wxT("proxy:3128"));
    EXPECT_EQ(handler.Settings().network.proxyType, 2);
    EXPECT_TRUE(handler.Settings().network.fallBackToDirect);
    EXPECT_TRUE(handler.Settings().concurrentSync);
    EXPECT_EQ(handler.Settings().dataDir.GetPath(), wxFileName::DirName(tempDir).GetPath());
    EXPECT_EQ(host().decodeCalls, 0) << "the handler's own password stays encoded";
}

TEST_F(HandlerTest, HasFlagsNeedsEveryBitOfTheMask) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    EXPECT_TRUE(handler.HasFlags(0x6, 0x2));
    EXPECT_FALSE(handler.HasFlags(0x4, 0x6));
    EXPECT_TRUE(handler.HasFlags(0x0, 0x0));
}

TEST_F(HandlerTest, RootOperationsAnswerNothing) {
    CRTMHandler handler(&config, wxT("Work"), RTM_PLUGIN_NAME);
    CCalendarHandler& root = handler;
    EXPECT_FALSE(root.HostHook07(nullptr, nullptr));
    EXPECT_FALSE(root.HostHook08(nullptr));
    EXPECT_TRUE(root.HostHook10().empty());
    EXPECT_TRUE(root.HostHook22(nullptr).empty());
    EXPECT_EQ(root.GetConfig(), &config);
}

TEST_F(HandlerTest, CloneCopiesSettingsAndRowsButNotTheQueues) {
    config.Write(wxT("/Remember The Milk/Work/List"), wxT("Errands"));
    config.Write(wxT("/Remember The Milk/Work/PollFrequency"), 30L);
    CRTMHandler handler(&config, wxT("Work"), RTM_PLUGIN_NAME);
    handler.SetEnabled(false);
    handler.Enqueue(true, ITEM_READ, nullptr);
    handler.SetLastRead(icaltime_from_string("20240102T030405Z"));
    SettingsRow** rows = handler.GetSettings(false);
    rows[0]->value = wxT("edited on the page");

    std::unique_ptr<CCalendarHandler> clone(handler.Clone());
    auto* copy = dynamic_cast<CRTMHandler*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetName(), wxT("Work"));
    EXPECT_EQ(copy->GetSection(), wxT("Remember The Milk"));
    EXPECT_FALSE(copy->IsEnabled());
    EXPECT_EQ(copy->Settings().list, wxT("Errands"));
    EXPECT_EQ(copy->Settings().pollFrequency, 30);
    EXPECT_EQ(copy->QueueCount(true), 0u);
    EXPECT_TRUE(icaltime_is_null_time(copy->GetLastRead()));
}

TEST_F(HandlerTest, CloneKeepsTheEditedRowsUntilTheyAreFilledAgain) {
    CRTMHandler handler(&config, wxT("Work"), RTM_PLUGIN_NAME);
    handler.GetSettings(false)[0]->value = wxT("Edited");
    std::unique_ptr<CCalendarHandler> clone(handler.Clone());
    auto* copy = static_cast<CRTMHandler*>(clone.get());
    int pageAccepted = 0;
    copy->ApplySettings(&pageAccepted);
    EXPECT_EQ(copy->Settings().list, wxT("Edited"));
}
