// What libcurl's trace and the client's own lines look like in the log.
#include "plugin/RTMHandler.h"
#include "rtm/LogRedaction.h"
#include "rtm/RTMConnection.h"
#include "tests/support/FakeHost.h"

#include <curl/curl.h>
#include <wx/memconf.h>

#include <cstring>

namespace {
wxString Line(int type, const char* text) {
    return FormatDebugLine(type, text, std::strlen(text));
}

TEST(DebugLine, PrefixByType) {
    EXPECT_EQ(Line(0, "text"), wxT("CURLINFO_TEXT: text"));
    EXPECT_EQ(Line(1, "in"), wxT("CURLINFO_HEADER_IN: in"));
    EXPECT_EQ(Line(2, "out"), wxT("CURLINFO_HEADER_OUT: out"));
    EXPECT_EQ(Line(3, "data"), wxT("CURLINFO_DATA_IN: data"));
    EXPECT_EQ(Line(4, "data"), wxT("CURLINFO_DATA_OUT: data"));
    EXPECT_EQ(Line(5, "ssl"), wxT("ssl"));
    EXPECT_EQ(Line(6, "ssl"), wxT("ssl"));
    EXPECT_EQ(Line(7, "end"), wxT("CURLINFO_END: end"));
    EXPECT_EQ(Line(9, "other"), wxT("other"));
}

TEST(DebugLine, TrimsTheRightEndOnly) {
    EXPECT_EQ(Line(0, "  lead and trail \r\n\n"), wxT("CURLINFO_TEXT:   lead and trail"));
    EXPECT_EQ(Line(4, "q=100%25&x=%"), wxT("CURLINFO_DATA_OUT: q=100%25&x=%"));
    EXPECT_EQ(FormatDebugLine(3, nullptr, 0), wxT("CURLINFO_DATA_IN:"));
}

TEST(DebugLine, PasswordValueIsRemoved) {
    EXPECT_EQ(Line(4, "User=ann&Passwd=s3cret&Remember=1"),
              wxT("CURLINFO_DATA_OUT: User=ann&Passwd=<REMOVED FROM LOG>&Remember=1"));
    // Without a terminator the line ends after the key.
    EXPECT_EQ(Line(4, "User=ann&Passwd=s3cret"), wxT("CURLINFO_DATA_OUT: User=ann&Passwd="));
}

TEST(DebugLine, AuthorizationHeaderIsRemoved) {
    EXPECT_EQ(Line(2, "GET / HTTP/1.1\nAuthorization: Basic YW5u\nAccept: */*\n"),
              wxT("CURLINFO_HEADER_OUT: GET / HTTP/1.1\nAuthorization:<REMOVED FROM LOG>\nAccept: */*"));
    EXPECT_EQ(Line(2, "GET / HTTP/1.1\nProxy-Authorization: Basic YW5u\r\n"),
              wxT("CURLINFO_HEADER_OUT: GET / HTTP/1.1\nProxy-Authorization:"));
}

TEST(DebugLine, TokensAreRemovedFromRequestsAndReplies) {
    EXPECT_EQ(Line(2, "GET /services/rest/?api_key=k&auth_token=abc123&method=m HTTP/1.1\r\nHost: h\r\n"),
              wxT("CURLINFO_HEADER_OUT: GET /services/rest/?api_key=k&auth_token=<REMOVED FROM LOG>&method=m "
                  "HTTP/1.1\r\nHost: h"));
    EXPECT_EQ(
        Line(3, "<rsp stat=\"ok\"><auth><token>abc123</token><perms>delete</perms></auth></rsp>"),
        wxT("CURLINFO_DATA_IN: <rsp stat=\"ok\"><auth><token><REMOVED FROM LOG></token><perms>delete</perms>"
            "</auth></rsp>"));
}

TEST(RedactToken, EveryOccurrenceAndEveryEnding) {
    EXPECT_EQ(RedactToken(wxT("a?auth_token=x1&b=2&auth_token=y2")),
              wxT("a?auth_token=<REMOVED FROM LOG>&b=2&auth_token=<REMOVED FROM LOG>"));
    EXPECT_EQ(RedactToken(wxT("auth_token=x1 HTTP/1.1")), wxT("auth_token=<REMOVED FROM LOG> HTTP/1.1"));
    // A reply cut off inside the element still loses the value.
    EXPECT_EQ(RedactToken(wxT("<auth><token>abc")), wxT("<auth><token><REMOVED FROM LOG>"));
    EXPECT_EQ(RedactToken(wxT("<auth_token>abc</auth_token><x>1</x>")),
              wxT("<auth_token><REMOVED FROM LOG></auth_token><x>1</x>"));
    // Nothing to hide, nothing changed; an empty value gets no marker.
    EXPECT_EQ(RedactToken(wxT("<frob>f</frob>")), wxT("<frob>f</frob>"));
    EXPECT_EQ(RedactToken(wxT("auth_token=&x=1")), wxT("auth_token=&x=1"));
}

TEST(RedactFirst, OnlyTheFirstOccurrence) {
    EXPECT_EQ(RedactFirst(wxT("k=1&k=2&z"), wxT("k="), wxT("&")), wxT("k=<REMOVED FROM LOG>&k=2&z"));
    EXPECT_EQ(RedactFirst(wxT("nothing"), wxT("k="), wxT("&")), wxT("nothing"));
}

class DebugCallbackTest : public FakeHostTest {};

TEST_F(DebugCallbackTest, WritesAtTraceLevelWithTheCalendarsPrefix) {
    Logger log(wxT("Work 100%"));
    char data[] = "Passwd=abc&x=50%";
    EXPECT_EQ(CRTMConnection::CurlDebugCallback(nullptr, CURLINFO_DATA_OUT, data, std::strlen(data), &log),
              0);
    EXPECT_EQ(CRTMConnection::CurlDebugCallback(nullptr, CURLINFO_TEXT, data, 6, nullptr), 0);
    ASSERT_EQ(host().logs.size(), 2u);
    EXPECT_EQ(host().logs[0].level, LOG_TRACE);
    EXPECT_EQ(host().logs[0].raw, wxT("Work 100%%: CURLINFO_DATA_OUT: Passwd=<REMOVED FROM LOG>&x=50%%"));
    EXPECT_EQ(host().logs[1].raw, wxT("CURLINFO_TEXT: Passwd"));
}
}  // namespace
