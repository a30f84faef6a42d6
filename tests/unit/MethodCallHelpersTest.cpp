#include "rtm/NetworkErrorText.h"
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

// A result code wins over the status; codes and statuses outside the tables are no index into them.
TEST(NetworkErrorText, CodeBeforeStatusAndUnknownValues) {
    EXPECT_EQ(GetNetworkErrorText(28, 200), wxT("The timeout time was reached"));
    EXPECT_EQ(GetNetworkErrorText(0, 503), wxT("Service Unavailable"));
    const std::pair<int, int> unknown[] = {{78, 200}, {-1, 0}, {-2147483647, 0}, {0, 418}, {0, 999}};
    for (const auto& c : unknown)
        EXPECT_EQ(GetNetworkErrorText(c.first, c.second), wxT("Unknown error")) << c.first << " " << c.second;
}

TEST(ProxyCredentials, ColonOnlyWithAPassword) {
    EXPECT_EQ(MakeProxyCredentials(wxT("ann"), wxString()), wxT("ann"));
    EXPECT_EQ(MakeProxyCredentials(wxT("ann"), wxT("p:w")), wxT("ann:p:w"));
}

}  // namespace
