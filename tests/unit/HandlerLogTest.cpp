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
