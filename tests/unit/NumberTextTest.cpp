#include "convert/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

TEST(NumberTextTest, ReadsLikeAtoiAndSaturates) {
    const std::pair<const wchar_t*, long long> cases[] = {{L"42", 42},
                                                          {L"  -7x", -7},
                                                          {L"+15", 15},
                                                          {L"\t\n 3", 3},
                                                          {L"x1", 0},
                                                          {L"", 0},
                                                          {L"- 5", 0},
                                                          {L"99999999999999999999999", LLONG_MAX},
                                                          {L"-9223372036854775808", LLONG_MIN},
                                                          {L"-99999999999999999999999", LLONG_MIN}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadLeadingInteger64(c.first), c.second) << c.first;
    EXPECT_EQ(ReadLeadingInteger(wxT("99999999999")), INT_MAX);
    EXPECT_EQ(ReadLeadingInteger(wxT("-99999999999")), INT_MIN);
    // Only its field is read, wherever the field lies.
    EXPECT_EQ(ReadLeadingInteger(wxT("2012-05-01"), 5, 2), 5);
    EXPECT_EQ(ReadLeadingInteger(wxT("2012-05-01"), 8, 100), 1);
    EXPECT_EQ(ReadLeadingInteger(wxT("2012-05-01"), 500, 2), 0);
}

TEST(NumberTextTest, DecimalText) {
    for (long long value : {0LL, 10057LL, -10LL, LLONG_MIN, LLONG_MAX})
        EXPECT_EQ(DecimalText(value), wxString::Format(wxT("%lld"), value));
}
