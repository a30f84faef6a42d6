#include "convert/ServiceTime.h"
#include "plugin/RTMHandler.h"
#include "tests/support/ConvertFixtures.h"
#include "tests/support/FakeHost.h"

class ServiceTimeTest : public FakeHostTest {};

TEST_F(ServiceTimeTest, ParsesEveryAcceptedShape) {
    const struct {
        const char* text;
        const char* expected;
        bool logsError;
    } cases[] = {
        {"2006-05-07T10:19:54Z", "2006-05-07 10:19:54 UTC", false},
        {"2012-05-02", "DATE 2012-05-02", false},
        {"2012-05-02T10:1", "DATE 2012-05-02", false},  // the rest of a short text is ignored
        {"2012-05-01T10:00:00.000+02:00", "2012-05-01 08:00:00 UTC", false},
        {"2012-05-01T10:00:00.000-02:00", "2012-05-01 12:00:00 UTC", false},
        {"2012-05-01T10:00:00.000+05:30", "2012-05-01 04:30:00 UTC", false},
        {"2012-05-01T10:00:00.000Z", "2012-05-01 10:00:00 UTC", false},
        // The carry crosses a year, and a leap day.
        {"2012-12-31T23:30:00.000-01:00", "2013-01-01 00:30:00 UTC", false},
        {"2013-01-01T00:30:00.000+01:00", "2012-12-31 23:30:00 UTC", false},
        {"2012-02-28T23:00:00.000-02:00", "2012-02-29 01:00:00 UTC", false},
        // Without "Z" still UTC, so a floating time written without Z reads back as its wall clock.
        {"2012-05-01T10:00:00", "2012-05-01 10:00:00 UTC", false},
        {"2012-05-01T10:00:00+02:00", "2012-05-01 10:00:00 UTC", true},      // 25 characters
        {"2012-05-01T10:00:00.000*02:00", "2012-05-01 12:00:00 UTC", true},  // other sign: added
        {"2012-05", "null", true},
        {"", "null", true},
        // Non-digits read as 0 without a message; fields that form no date are not carried.
        {"20xx-0y-0zT1a:2b:3cZ", "0020-00-00 01:02:03 UTC", false},
        {"2012-05-99T99:99:99.000+02:00", "2012-05-99 99:99:99 UTC", false},
    };
    for (const auto& c : cases) {
        host().Reset();
        const wxString text = wxString::FromUTF8(c.text);
        EXPECT_EQ(DescribeTime(ParseServiceTime(text, nullptr)), c.expected) << c.text;
        EXPECT_EQ(host().HasLog(LOG_ERROR, wxT("Unknown time format: ") + text), c.logsError) << c.text;
    }
}

TEST_F(ServiceTimeTest, UtcToLocalDateFollowsTheZoneAndDaylightSaving) {
    const char* const EAST = "XST-3";  // UTC+3
    const char* const WEST = "EST5";   // UTC-5
    const char* const CET = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        const char* zone;
        icaltimetype utc;
        const char* date;
    } cases[] = {
        {EAST, MakeTime(2012, 5, 1, 21, 0, 0), "DATE 2012-05-02"},
        {EAST, MakeTime(2012, 5, 1, 20, 59, 59), "DATE 2012-05-01"},
        {EAST, MakeTime(2012, 12, 31, 21, 0, 0), "DATE 2013-01-01"},
        {WEST, MakeTime(2012, 5, 2, 5, 0, 0), "DATE 2012-05-02"},
        {WEST, MakeTime(2012, 5, 2, 4, 59, 59), "DATE 2012-05-01"},
        {WEST, MakeTime(2013, 1, 1, 3, 0, 0), "DATE 2012-12-31"},
        {WEST, MakeTime(2012, 3, 1, 2, 0, 0), "DATE 2012-02-29"},
        {CET, MakeTime(2012, 5, 1, 22, 0, 0), "DATE 2012-05-02"},  // summer: +2
        {CET, MakeTime(2012, 5, 1, 21, 59, 59), "DATE 2012-05-01"},
        {CET, MakeTime(2012, 1, 1, 23, 0, 0), "DATE 2012-01-02"},  // winter: +1
        {CET, MakeTime(2012, 1, 1, 22, 59, 59), "DATE 2012-01-01"},
        {CET, MakeTime(2012, 3, 24, 23, 0, 0), "DATE 2012-03-25"},  // midnights of the change days
        {CET, MakeTime(2012, 10, 27, 22, 0, 0), "DATE 2012-10-28"},
        {"UTC0", MakeTime(2012, 5, 1, 23, 59, 59), "DATE 2012-05-01"},
        // The day clocks go back: 04:00Z is still 00:00 EDT, so the offset at the instant gives the
        // 4th (the offset at 04:00 local, EST, would give the 3rd).
        {"EST5EDT", MakeTime(2012, 11, 4, 4, 0, 0), "DATE 2012-11-04"},
        // What is no date-time comes back unchanged; a DATE is already a date.
        {EAST, icaltime_null_time(), "null"},
        {EAST, MakeTime(2012, 0, 99, 99, 0, 0), "2012-00-99 99:00:00 UTC"},
        {EAST, MakeTime(2012, 5, 2, 0, 0, 0, false, true), "DATE 2012-05-02"},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(DescribeTime(UtcToLocalDate(c.utc)), c.date) << c.zone << " " << DescribeTime(c.utc);
    }
}
