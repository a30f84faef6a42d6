// What libcurl's trace and the client's own lines look like in the log: a prefix by type, the
// right end trimmed, and passwords, credentials and tokens removed.
#include "rtm/LogRedaction.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
TEST(DebugLine, PrefixTrimAndRedaction) {
    const struct {
        int type;
        const char* data;
        const wchar_t* line;
    } cases[] = {
        {0, "  lead and trail \r\n\n", L"CURLINFO_TEXT:   lead and trail"},
        {1, "in", L"CURLINFO_HEADER_IN: in"},
        {3, "data", L"CURLINFO_DATA_IN: data"},
        {5, "ssl", L"ssl"},
        {7, "end", L"CURLINFO_END: end"},
        {9, "other", L"other"},
        {4, "q=100%25&x=%", L"CURLINFO_DATA_OUT: q=100%25&x=%"},
        {4, "User=ann&Passwd=s3cret&Remember=1",
         L"CURLINFO_DATA_OUT: User=ann&Passwd=<REMOVED FROM LOG>&Remember=1"},
        {4, "User=ann&Passwd=s3cret", L"CURLINFO_DATA_OUT: User=ann&Passwd="},  // no end: cut after the key
        {2, "GET / HTTP/1.1\nAuthorization: Basic YW5u\nAccept: */*\n",
         L"CURLINFO_HEADER_OUT: GET / HTTP/1.1\nAuthorization:<REMOVED FROM LOG>\nAccept: */*"},
        {2, "GET / HTTP/1.1\nProxy-Authorization: Basic YW5u\r\n",
         L"CURLINFO_HEADER_OUT: GET / HTTP/1.1\nProxy-Authorization:"},
        {2, "GET /services/rest/?api_key=k&auth_token=abc123&method=m HTTP/1.1\r\nHost: h\r\n",
         L"CURLINFO_HEADER_OUT: GET /services/rest/?api_key=k&auth_token=<REMOVED FROM LOG>&method=m "
         L"HTTP/1.1\r\nHost: h"},
        {3, "<rsp stat=\"ok\"><auth><token>abc123</token><perms>delete</perms></auth></rsp>",
         L"CURLINFO_DATA_IN: <rsp stat=\"ok\"><auth><token><REMOVED FROM "
         L"LOG></token><perms>delete</perms></auth></rsp>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDebugLine(c.type, c.data, std::strlen(c.data)), wxString(c.line)) << c.data;
    EXPECT_EQ(FormatDebugLine(3, nullptr, 0), wxT("CURLINFO_DATA_IN:"));
}

TEST(RedactToken, EveryOccurrenceAndEveryEnding) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"a?auth_token=x1&b=2&auth_token=y2",
         L"a?auth_token=<REMOVED FROM LOG>&b=2&auth_token=<REMOVED FROM LOG>"},
        {L"auth_token=x1 HTTP/1.1", L"auth_token=<REMOVED FROM LOG> HTTP/1.1"},
        {L"<auth><token>abc", L"<auth><token><REMOVED FROM LOG>"},  // a reply cut off inside the element
        {L"<auth_token>abc</auth_token><x>1</x>", L"<auth_token><REMOVED FROM LOG></auth_token><x>1</x>"},
        {L"<frob>f</frob>", L"<frob>f</frob>"},
        {L"auth_token=&x=1", L"auth_token=&x=1"},  // an empty value gets no marker
    };
    for (const auto& c : cases)
        EXPECT_EQ(RedactToken(c.first), wxString(c.second)) << c.first;
    EXPECT_EQ(RedactFirst(wxT("k=1&k=2&z"), wxT("k="), wxT("&")), wxT("k=<REMOVED FROM LOG>&k=2&z"));
}

}  // namespace
