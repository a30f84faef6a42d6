#include "convert/RepeatText.h"
#include "tests/support/ConvertFixtures.h"

#include <gtest/gtest.h>

namespace {

wxString RepeatOf(const std::string& rule, const std::string& due = "DUE;VALUE=DATE:20120502\n") {
    IcalPtr todo =
        ParseTodo("BEGIN:VTODO\n" + due + (rule.empty() ? "" : "RRULE:" + rule + "\n") + "END:VTODO\n");
    EXPECT_TRUE(todo);
    return todo ? RecurrenceToRepeat(todo.get()) : wxString();
}

struct RepeatCase {
    const char* rule;
    const char* phrase;
};

}  // namespace

TEST(RepeatTextTest, EveryRowOfThePhraseTable) {
    const RepeatCase cases[] = {
        {"FREQ=DAILY", "Every 1 day"},
        {"FREQ=DAILY;INTERVAL=3;COUNT=5", "Every 3 day for 5 times"},
        {"FREQ=WEEKLY;BYDAY=MO,WE", "Every Monday Wednesday "},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=TU", "Every 2 weeks"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH", "Every Monday Thursday "},
        {"FREQ=MONTHLY;BYMONTHDAY=15", "Every month on the 15"},
        {"FREQ=MONTHLY;BYMONTHDAY=-1", "Every month on the last day"},
        {"FREQ=MONTHLY;BYDAY=-1FR", "Every month on the last Friday"},
        {"FREQ=MONTHLY;BYDAY=2TU", "Every month on the 2 Tuesday"},
        {"FREQ=MONTHLY;BYDAY=-1MO,-1FR", "Every month on the -1 Monday"},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1", "month on the first weekday"},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1", "month on the last weekday"},
        {"FREQ=YEARLY;UNTIL=20121231", "Every 1 year until 31 Dec 2012"},
    };
    for (const RepeatCase& c : cases)
        EXPECT_EQ(RepeatOf(c.rule).utf8_string(), c.phrase) << c.rule;
}

TEST(RepeatTextTest, EdgeCases) {
    const RepeatCase cases[] = {
        {"FREQ=MONTHLY;BYDAY=MO", "Every month on the 0 Monday"},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR", ""},
        {"FREQ=MONTHLY;BYDAY=1MO,1TU,1WE,1TH,1FR", "month on the first weekday"},
        {"FREQ=MONTHLY;BYDAY=-1MO,-1TU,-1WE,-1TH,-1FR", "month on the last weekday"},
        {"FREQ=MONTHLY;BYMONTHDAY=-2", "Every month on the -2"},
        // libical keeps the days in week order from Monday.
        {"FREQ=WEEKLY;BYDAY=SU,SA", "Every Saturday Sunday "},
        {"FREQ=WEEKLY;BYDAY=FR;UNTIL=20130105T230000Z", "Every Friday  until 5 Jan 2013"},
        {"FREQ=YEARLY;INTERVAL=2;COUNT=4", "Every 2 year for 4 times"},
    };
    for (const RepeatCase& c : cases)
        EXPECT_EQ(RepeatOf(c.rule).utf8_string(), c.phrase) << c.rule;
}

// Where the rules give no usable phrase, the phrase is one the service reads, or nothing at all;
// a limit is never sent on its own.
TEST(RepeatTextTest, RulesWithoutAPhraseOfTheirOwn) {
    const RepeatCase cases[] = {
        {"FREQ=WEEKLY", "Every week"},
        {"FREQ=WEEKLY;INTERVAL=3", "Every 3 weeks"},
        {"FREQ=WEEKLY;COUNT=4", "Every week for 4 times"},
        {"FREQ=MONTHLY", "Every month"},
        {"FREQ=MONTHLY;INTERVAL=2;UNTIL=20121231", "Every 2 months until 31 Dec 2012"},
        {"FREQ=HOURLY;COUNT=3", ""},
        {"FREQ=MINUTELY", ""},
        {"FREQ=SECONDLY;UNTIL=20121231", ""},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;COUNT=3", ""},
    };
    for (const RepeatCase& c : cases)
        EXPECT_EQ(RepeatOf(c.rule).utf8_string(), c.phrase) << c.rule;
}

TEST(RepeatTextTest, NeedsARuleAndAValidDue) {
    EXPECT_EQ(RepeatOf(""), wxString());
    EXPECT_EQ(RepeatOf("FREQ=DAILY", ""), wxString());
    EXPECT_EQ(RepeatOf("FREQ=DAILY", "DUE:20120501T080000Z\n"), wxT("Every 1 day"));
    EXPECT_EQ(RecurrenceToRepeat(nullptr), wxString());
}

// libical cannot hold such an UNTIL from text, so the rule is built by hand. (It cannot hold
// COUNT and UNTIL together at all, so that case never reaches the phrase.)
TEST(RepeatTextTest, UntilWithAMonthOutOfRangeAppendsNothing) {
    IcalPtr todo = ParseTodo("BEGIN:VTODO\nDUE;VALUE=DATE:20120502\nEND:VTODO\n");
    icalrecurrencetype rule = icalrecurrencetype_from_string("FREQ=DAILY;INTERVAL=2");
    rule.until = MakeTime(2012, 13, 1, 0, 0, 0, false, true);
    icalcomponent_add_property(todo.get(), icalproperty_new_rrule(rule));
    EXPECT_EQ(RecurrenceToRepeat(todo.get()), wxT("Every 2 day"));
}
