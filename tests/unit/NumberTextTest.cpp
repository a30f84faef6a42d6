#include "convert/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

TEST(NumberTextTest, ReadsLikeAtoi) {
    const struct {
        const wchar_t* text;
        long long value;
    } cases[] = {
        {L"42", 42},
        {L"  -7x", -7},
        {L"+15", 15},
        {L"\t\n 3", 3},
        {L"x1", 0},
        {L"", 0},
        {L"-", 0},
        {L"- 5", 0},
        {L"0040", 40},
        {L"1e3", 1},
        {L"99999999999999999999999", LLONG_MAX},
        {L"-9223372036854775808", LLONG_MIN},
        {L"-99999999999999999999999", LLONG_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadLeadingInteger64(c.text), c.value) << c.text;
    EXPECT_EQ(ReadLeadingInteger(wxT("99999999999")), INT_MAX);
    EXPECT_EQ(ReadLeadingInteger(wxT("-99999999999")), INT_MIN);
}

TEST(NumberTextTest, ReadsOnlyItsField) {
    const wxString text = wxT("2012-05-01");
    EXPECT_EQ(ReadLeadingInteger(text, 0, 4), 2012);
    EXPECT_EQ(ReadLeadingInteger(text, 5, 2), 5);
    EXPECT_EQ(ReadLeadingInteger(text, 8, 2), 1);
    EXPECT_EQ(ReadLeadingInteger(text, 8, 100), 1);
    EXPECT_EQ(ReadLeadingInteger(text, 10, 2), 0);
    EXPECT_EQ(ReadLeadingInteger(text, 500, 2), 0);
    EXPECT_EQ(ReadLeadingInteger(text, 0, 0), 0);
}

TEST(NumberTextTest, DecimalText) {
    EXPECT_EQ(DecimalText(0), wxT("0"));
    EXPECT_EQ(DecimalText(10057), wxT("10057"));
    EXPECT_EQ(DecimalText(-10), wxT("-10"));
    EXPECT_EQ(DecimalText(LLONG_MIN), wxT("-9223372036854775808"));
    EXPECT_EQ(DecimalText(LLONG_MAX), wxT("9223372036854775807"));
    EXPECT_EQ(AsciiText("Every 1 day"), wxT("Every 1 day"));
}
