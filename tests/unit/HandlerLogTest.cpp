// The handler's two log wrappers: the calendar's name in front, and "%" doubled for the host.
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

class HandlerLogTest : public FakeHostTest {};

TEST_F(HandlerLogTest, PlainLogPutsTheNameInFront) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    handler.Log(LOG_TRACE, wxT("hello"));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].level, LOG_TRACE);
    EXPECT_EQ(host().logs[0].raw, wxT("Work: hello"));
}

// A calendar name is the user's text: its "%" must reach the host's format doubled, never as a
// conversion, through either wrapper.
TEST_F(HandlerLogTest, PercentInTheNamePrintsAsItStands) {
    const wxString name = wxT("50%% off %s%n");
    CRTMHandler handler(nullptr, name, RTM_PLUGIN_NAME);
    handler.Log(LOG_INFO, wxT("plain"));
    handler.LogFormat(LOG_INFO, wxT("%s"), wxT("formatted"));
    ASSERT_EQ(host().logs.size(), 2u);
    EXPECT_EQ(host().logs[0].raw, wxT("50%%%% off %%s%%n: plain"));
    EXPECT_EQ(host().logs[0].text, name + wxT(": plain"));
    EXPECT_EQ(host().logs[1].text, name + wxT(": formatted"));
}

TEST_F(HandlerLogTest, FormattedLogDoublesEveryPercent) {
    CRTMHandler handler(nullptr, wxT("100% Work"), RTM_PLUGIN_NAME);
    handler.LogFormat(LOG_ERROR, wxT("Read %i tasks from %s"), 3, wxT("50% done"));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].raw, wxT("100%% Work: Read 3 tasks from 50%% done"));
    EXPECT_EQ(host().logs[0].text, wxT("100% Work: Read 3 tasks from 50% done"));
}

TEST_F(HandlerLogTest, LogThroughWithoutHandlerStillEscapes) {
    LogThrough(nullptr, LOG_WARNING, wxT("%s"), wxT("a%b"));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].raw, wxT("a%%b"));
}
