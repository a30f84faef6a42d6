#include "convert/ServiceTime.h"
#include "plugin/RTMHandler.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

#include <random>

class ServiceTimeTest : public FakeHostTest {};

namespace {

struct ParseCase {
    const char* text;
    icaltimetype expected;
    bool logsError;
};

void ExpectTime(const icaltimetype& actual, const icaltimetype& expected, const wxString& label) {
    SCOPED_TRACE(label);
    EXPECT_EQ(actual.year, expected.year);
    EXPECT_EQ(actual.month, expected.month);
    EXPECT_EQ(actual.day, expected.day);
    EXPECT_EQ(actual.is_date, expected.is_date);
    EXPECT_EQ(icaltime_is_utc(actual), icaltime_is_utc(expected));
    if (!expected.is_date) {
        EXPECT_EQ(actual.hour, expected.hour);
        EXPECT_EQ(actual.minute, expected.minute);
        EXPECT_EQ(actual.second, expected.second);
    }
}

}  // namespace

TEST_F(ServiceTimeTest, ParsesEveryAcceptedShape) {
    const ParseCase cases[] = {
        {"2006-05-07T10:19:54Z", MakeTime(2006, 5, 7, 10, 19, 54), false},
        {"2012-05-02", MakeTime(2012, 5, 2, 0, 0, 0, false, true), false},
        // Characters after the date of a short text are ignored.
        {"2012-05-02T10:1", MakeTime(2012, 5, 2, 0, 0, 0, false, true), false},
        {"2012-05-01T10:00:00.000+02:00", MakeTime(2012, 5, 1, 8, 0, 0), false},
        {"2012-05-01T10:00:00.000-02:00", MakeTime(2012, 5, 1, 12, 0, 0), false},
        {"2012-05-01T10:00:00.000Z", MakeTime(2012, 5, 1, 10, 0, 0), false},
        {"2012-05-01T10:00:00.000+05:30", MakeTime(2012, 5, 1, 4, 30, 0), false},
        // The carry crosses a year in both directions.
        {"2012-12-31T23:30:00.000-01:00", MakeTime(2013, 1, 1, 0, 30, 0), false},
        {"2013-01-01T00:30:00.000+01:00", MakeTime(2012, 12, 31, 23, 30, 0), false},
        {"2012-02-28T23:00:00.000-02:00", MakeTime(2012, 2, 29, 1, 0, 0), false},
        // No "Z": still UTC, so a floating time written without Z reads back as that wall clock.
        {"2012-05-01T10:00:00", MakeTime(2012, 5, 1, 10, 0, 0), false},
        // 24 to 28 characters without "Z" at position 23: logged, read without the offset.
        {"2012-05-01T10:00:00+02:00", MakeTime(2012, 5, 1, 10, 0, 0), true},
        // Any sign other than "+" logs and adds the offset.
        {"2012-05-01T10:00:00.000*02:00", MakeTime(2012, 5, 1, 12, 0, 0), true},
        {"2012-05", icaltime_null_time(), true},
        {"", icaltime_null_time(), true},
    };
    for (const ParseCase& c : cases) {
        host().Reset();
        const wxString text = wxString::FromUTF8(c.text);
        ExpectTime(ParseServiceTime(text, nullptr), c.expected, text);
        EXPECT_EQ(host().HasLog(LOG_ERROR, wxT("Unknown time format: ") + text), c.logsError) << c.text;
    }
}

TEST_F(ServiceTimeTest, ErrorGoesThroughTheHandlersLogWithPercentDoubled) {
    CRTMHandler handler(nullptr, wxT("Work"), RTM_PLUGIN_NAME);
    const icaltimetype t = ParseServiceTime(wxT("50%"), &handler);
    EXPECT_TRUE(icaltime_is_null_time(t));
    ASSERT_EQ(host().logs.size(), 1u);
    EXPECT_EQ(host().logs[0].level, LOG_ERROR);
    EXPECT_EQ(host().logs[0].text, wxT("Work: Unknown time format: 50%"));
    EXPECT_EQ(host().logs[0].raw, wxT("Work: Unknown time format: 50%%"));
}

TEST_F(ServiceTimeTest, NonDigitFieldsReadAsZeroWithoutMessage) {
    const icaltimetype t = ParseServiceTime(wxT("20xx-0y-0zT1a:2b:3cZ"), nullptr);
    EXPECT_EQ(t.year, 20);
    EXPECT_EQ(t.month, 0);
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(t.hour, 1);
    EXPECT_TRUE(host().logs.empty());
}

TEST_F(ServiceTimeTest, GarbageFieldsAreNotCarriedIntoAPlausibleTime) {
    const icaltimetype t = ParseServiceTime(wxT("2012-05-99T99:99:99.000+02:00"), nullptr);
    EXPECT_EQ(t.month, 5);
    EXPECT_EQ(t.day, 99);
    EXPECT_FALSE(HasValidTimeFields(t));
}

TEST_F(ServiceTimeTest, FormatsDatesAndDateTimes) {
    EXPECT_EQ(FormatServiceTime(MakeTime(2012, 5, 2, 0, 0, 0, false, true)), wxT("2012-05-02"));
    EXPECT_EQ(FormatServiceTime(MakeTime(2012, 5, 1, 8, 0, 0)), wxT("2012-05-01T08:00:00Z"));
    EXPECT_EQ(FormatServiceTime(MakeTime(2012, 5, 1, 8, 0, 0, false)), wxT("2012-05-01T08:00:00"));
    // A time with another zone keeps its wall clock and has no Z.
    icaltimetype zoned = MakeTime(2012, 5, 1, 8, 0, 0, false);
    zoned.zone = icaltimezone_get_builtin_timezone("Europe/Berlin");
    EXPECT_EQ(FormatServiceTime(zoned), wxT("2012-05-01T08:00:00"));
}

TEST_F(ServiceTimeTest, FormatAndParseRoundTrip) {
    for (const char* text : {"2012-05-02", "2012-05-01T08:00:00Z", "1999-12-31T23:59:59Z"}) {
        const wxString s = wxString::FromUTF8(text);
        EXPECT_EQ(FormatServiceTime(ParseServiceTime(s, nullptr)), s);
    }
}

namespace {

struct LocalDateCase {
    const char* zone;
    icaltimetype utc;
    int year, month, day;
};

}  // namespace

TEST_F(ServiceTimeTest, UtcToLocalDateFollowsTheZoneAndDaylightSaving) {
    const char* const EAST = "XST-3";  // UTC+3, no daylight saving
    const char* const WEST = "EST5";   // UTC-5, no daylight saving
    const char* const CET = "CET-1CEST,M3.5.0,M10.5.0/3";
    const LocalDateCase cases[] = {
        {EAST, MakeTime(2012, 5, 1, 21, 0, 0), 2012, 5, 2},
        {EAST, MakeTime(2012, 5, 1, 20, 59, 59), 2012, 5, 1},
        {EAST, MakeTime(2012, 12, 31, 21, 0, 0), 2013, 1, 1},
        {WEST, MakeTime(2012, 5, 2, 5, 0, 0), 2012, 5, 2},
        {WEST, MakeTime(2012, 5, 2, 4, 59, 59), 2012, 5, 1},
        {WEST, MakeTime(2013, 1, 1, 3, 0, 0), 2012, 12, 31},
        {WEST, MakeTime(2012, 3, 1, 2, 0, 0), 2012, 2, 29},
        // Summer: +2, winter: +1.
        {CET, MakeTime(2012, 5, 1, 22, 0, 0), 2012, 5, 2},
        {CET, MakeTime(2012, 5, 1, 21, 59, 59), 2012, 5, 1},
        {CET, MakeTime(2012, 1, 1, 23, 0, 0), 2012, 1, 2},
        {CET, MakeTime(2012, 1, 1, 22, 59, 59), 2012, 1, 1},
        // Local midnight on the days the clocks change.
        {CET, MakeTime(2012, 3, 24, 23, 0, 0), 2012, 3, 25},
        {CET, MakeTime(2012, 10, 27, 22, 0, 0), 2012, 10, 28},
        {"UTC0", MakeTime(2012, 5, 1, 23, 59, 59), 2012, 5, 1},
    };
    for (const LocalDateCase& c : cases) {
        ScopedTimeZone zone(c.zone);
        const icaltimetype date = UtcToLocalDate(c.utc);
        SCOPED_TRACE(wxString::Format("%s %s", c.zone, FormatServiceTime(c.utc)).ToStdString());
        EXPECT_TRUE(date.is_date);
        EXPECT_EQ(date.year, c.year);
        EXPECT_EQ(date.month, c.month);
        EXPECT_EQ(date.day, c.day);
    }
}

TEST_F(ServiceTimeTest, UtcToLocalDateLeavesWhatIsNoDateTimeAlone) {
    ScopedTimeZone zone("XST-3");
    const icaltimetype null = UtcToLocalDate(icaltime_null_time());
    EXPECT_TRUE(icaltime_is_null_time(null));
    EXPECT_FALSE(null.is_date);
    icaltimetype garbage = MakeTime(2012, 0, 99, 99, 0, 0);
    const icaltimetype same = UtcToLocalDate(garbage);
    EXPECT_EQ(same.month, 0);
    EXPECT_EQ(same.day, 99);
    // A DATE is already a calendar date.
    const icaltimetype date = UtcToLocalDate(MakeTime(2012, 5, 2, 0, 0, 0, false, true));
    EXPECT_EQ(date.day, 2);
    EXPECT_TRUE(date.is_date);
}

// Arbitrary text must never crash, hang or read outside the text (the sanitizer build runs this).
TEST_F(ServiceTimeTest, ArbitraryTextIsSafe) {
    std::mt19937 random(20121231);
    const wchar_t alphabet[] = L"0123456789-+:.TZ xé\t\n\r9999-99";
    const wxString seeds[] = {wxT("2012-12-31T23:30:00.000-01:00"), wxT("9999-99-99T99:99:99.000+99:99"),
                              wxT("-999--9--9T-9:-9:-9.000--9:-9"), wxT("0000-00-00T00:00:00Z")};
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    for (int i = 0; i < 20000; ++i) {
        wxString text;
        if (i % 2) {
            text = seeds[random() % 4];
            for (int edits = random() % 4; edits >= 0; --edits) {
                const size_t at = random() % (text.length() + 1);
                const wxChar ch = alphabet[random() % (sizeof alphabet / sizeof alphabet[0] - 1)];
                if (random() % 3 == 0 && at < text.length())
                    text.erase(at, 1);
                else
                    text.insert(at, 1, ch);
            }
        } else {
            const size_t length = random() % 40;
            for (size_t k = 0; k < length; ++k)
                text += alphabet[random() % (sizeof alphabet / sizeof alphabet[0] - 1)];
        }
        const icaltimetype t = ParseServiceTime(text, nullptr);
        const icaltimetype date = UtcToLocalDate(t);
        FormatServiceTime(t);
        FormatServiceTime(date);
        if (HasValidTimeFields(t) && t.year < 9999) {
            EXPECT_TRUE(HasValidTimeFields(date)) << text;
        }
        if (i % 1000 == 0)
            host().Reset();
    }
}
