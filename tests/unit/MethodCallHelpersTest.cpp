#include "rtm/NetworkErrorText.h"
#include "rtm/RTMConnection.h"
#include "tests/support/FakeHost.h"

namespace {

TEST(ExtractElement, PlainTextSearch) {
    const wxString reply = wxT("<rsp stat=\"ok\"><frob>0a1b</frob></rsp>");
    EXPECT_EQ(CRTMConnection::ExtractElement(reply, wxT("frob")), wxT("0a1b"));
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("<frob id=\"1\">x</frob>"), wxT("frob")), wxString());
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("<frob></frob>"), wxT("frob")), wxString());
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("<FROB>x</FROB>"), wxT("frob")), wxString());
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("<frob>x"), wxT("frob")), wxString());
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("</frob><frob>x"), wxT("frob")), wxString());
    EXPECT_EQ(CRTMConnection::ExtractElement(wxT("<auth><token>t</token></auth>"), wxT("token")), wxT("t"));
}

// A result code wins over the status; codes and statuses outside the tables are no index into them.
TEST(NetworkErrorText, CodeBeforeStatusAndUnknownValues) {
    EXPECT_EQ(GetNetworkErrorText(28, 200), wxT("The timeout time was reached"));
    EXPECT_EQ(GetNetworkErrorText(0, 503), wxT("Service Unavailable"));
    const std::pair<int, int> unknown[] = {{78, 200}, {-1, 0}, {-2147483647, 0}, {0, 418}, {0, 999}};
    for (const auto& c : unknown)
        EXPECT_EQ(GetNetworkErrorText(c.first, c.second), wxT("Unknown error")) << c.first << " " << c.second;
}

}  // namespace
