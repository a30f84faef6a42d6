#include "rtm/RTMConnection.h"
#include "tests/support/FakeHost.h"

namespace {
TEST(UrlEncode, KeepsOnlyLettersDigitsDotAndUnderscore) {
    EXPECT_EQ(CRTMConnection::UrlEncode(wxT("abcXYZ019._")), wxT("abcXYZ019._"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxT("word & word")), wxT("word%20%26%20word"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxT("-~")), wxT("%2D%7E"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxT("+=?/%")), wxT("%2B%3D%3F%2F%25"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxString::FromUTF8("\xC3\xA4")), wxT("%C3%A4"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxString::FromUTF8("\xE2\x82\xAC")), wxT("%E2%82%AC"));
    EXPECT_EQ(CRTMConnection::UrlEncode(wxString()), wxString());
}

TEST(Sign, DigestOfSecretAndText) {
    // md5("e5a07d3c91b26f48" "api_key7c3e91a05d2b48f6e0a9c1d7b25f8e43methodrtm.auth.getFrob")
    EXPECT_EQ(CRTMConnection::Sign(wxT("api_key7c3e91a05d2b48f6e0a9c1d7b25f8e43methodrtm.auth.getFrob")),
              wxT("0a7e93ed6e8381509022dfe059d32b81"));
    // The text is signed as UTF-8.
    EXPECT_EQ(CRTMConnection::Sign(wxString::FromUTF8("\xC3\xA4")), wxT("f9154838a916626ae90ea4829f6169ab"));
}

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

TEST(ProxyCredentials, ColonOnlyWithAPassword) {
    EXPECT_EQ(MakeProxyCredentials(wxT("ann"), wxString()), wxT("ann"));
    EXPECT_EQ(MakeProxyCredentials(wxT("ann"), wxT("p:w")), wxT("ann:p:w"));
}

class TransportTest : public FakeHostTest {};

TEST_F(TransportTest, UnreachableAddressIsLoggedAndReturned) {
    CRTMConnection connection(nullptr, nullptr, false, ServiceContext());
    wxString reply = wxT("old");
    int32_t status = 0;
    const int result = connection.Perform(wxT("http://127.0.0.1:1/services/rest/"), reply, status);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Url: http://127.0.0.1:1/services/rest/")));
    EXPECT_TRUE(host().HasLog(LOG_INFO, wxT("Result: (7) 0 Unable to connect to the server.")));
    // The debug bit is on (31): libcurl's own error text follows.
    EXPECT_TRUE(host().HasLog(LOG_DEBUG, wxT("Curl error: ")));
}
}  // namespace
