// The handler's log wrappers: the calendar's name in front, and every "%" doubled for the host,
// whose log call is a format (a calendar name and the texts around it are the user's).
#include "plugin/RTMHandler.h"
#include "tests/support/FakeHost.h"

class HandlerLogTest : public FakeHostTest {};

TEST_F(HandlerLogTest, NameInFrontAndPercentPrintedAsItStands) {
    const wxString name = wxT("50%% off %s%n");
    CRTMHandler handler(nullptr, name, RTM_PLUGIN_NAME);
    handler.Log(LOG_TRACE, wxT("plain"));
    handler.LogFormat(LOG_ERROR, wxT("Read %i tasks from %s"), 3, wxT("50% done"));
    LogThrough(nullptr, LOG_WARNING, wxT("%s"), wxT("a%b"));
    ASSERT_EQ(host().logs.size(), 3u);
    EXPECT_EQ(host().logs[0].level, LOG_TRACE);
    EXPECT_EQ(host().logs[0].raw, wxT("50%%%% off %%s%%n: plain"));
    EXPECT_EQ(host().logs[1].text, name + wxT(": Read 3 tasks from 50% done"));
    EXPECT_EQ(host().logs[2].raw, wxT("a%%b"));
}
