#include "convert/RepeatText.h"
#include "tests/support/ConvertFixtures.h"

#include <gtest/gtest.h>

namespace {

std::string RepeatOf(const std::string& rule, const std::string& due = "DUE;VALUE=DATE:20120502\n") {
    return RecurrenceToRepeat(ParseTodo(due + (rule.empty() ? "" : "RRULE:" + rule + "\n")).get())
        .utf8_string();
}

}  // namespace

TEST(RepeatTextTest, Phrases) {
    const std::pair<const char*, const char*> cases[] = {
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
        {"FREQ=MONTHLY;BYDAY=MO", "Every month on the 0 Monday"},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR", ""},
        {"FREQ=MONTHLY;BYDAY=1MO,1TU,1WE,1TH,1FR", "month on the first weekday"},
        {"FREQ=MONTHLY;BYDAY=-1MO,-1TU,-1WE,-1TH,-1FR", "month on the last weekday"},
        {"FREQ=MONTHLY;BYMONTHDAY=-2", "Every month on the -2"},
        {"FREQ=WEEKLY;BYDAY=SU,SA", "Every Saturday Sunday "},  // libical orders the days from Monday
        {"FREQ=WEEKLY;BYDAY=FR;UNTIL=20130105T230000Z", "Every Friday  until 5 Jan 2013"},
        // Rules the phrases above cannot express give a phrase the service reads, or nothing; a
        // limit is never sent on its own.
        {"FREQ=WEEKLY", "Every week"},
        {"FREQ=WEEKLY;INTERVAL=3;COUNT=4", "Every 3 weeks for 4 times"},
        {"FREQ=MONTHLY", "Every month"},
        {"FREQ=MONTHLY;INTERVAL=2;UNTIL=20121231", "Every 2 months until 31 Dec 2012"},
        {"FREQ=HOURLY;COUNT=3", ""},
        {"FREQ=SECONDLY;UNTIL=20121231", ""},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;COUNT=3", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RepeatOf(c.first), c.second) << c.first;
}

TEST(RepeatTextTest, NeedsARuleAndAValidDue) {
    EXPECT_EQ(RepeatOf(""), "");
    EXPECT_EQ(RepeatOf("FREQ=DAILY", ""), "");
    EXPECT_EQ(RepeatOf("FREQ=DAILY", "DUE:20120501T080000Z\n"), "Every 1 day");
}

// libical cannot read such an UNTIL (nor COUNT with UNTIL at all), so the rule is built by hand.
TEST(RepeatTextTest, UntilWithAMonthOutOfRangeAppendsNothing) {
    IcalPtr todo = ParseTodo("DUE;VALUE=DATE:20120502\n");
    icalrecurrencetype rule = icalrecurrencetype_from_string("FREQ=DAILY;INTERVAL=2");
    rule.until = MakeTime(2012, 13, 1, 0, 0, 0, false, true);
    icalcomponent_add_property(todo.get(), icalproperty_new_rrule(rule));
    EXPECT_EQ(RecurrenceToRepeat(todo.get()), wxT("Every 2 day"));
}
