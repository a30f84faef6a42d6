#include "convert/RepeatText.h"
#include "tests/support/ConvertFixtures.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string RepeatOf(const std::string& rule, const std::string& due = "DUE;VALUE=DATE:20120502\n") {
    return RecurrenceToRepeat(ParseTodo(due + (rule.empty() ? "" : "RRULE:" + rule + "\n")).get())
        .utf8_string();
}

}  // namespace

// The phrase for each rule in tests/data/repeat-phrases.txt.
TEST(RepeatTextTest, Phrases) {
    std::istringstream lines(ReadTextFile(CORVANE_TEST_DATA_DIR "/repeat-phrases.txt"));
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t space = line.find(' ');
        EXPECT_EQ(RepeatOf(line.substr(0, space)), line.substr(space + 2, line.size() - space - 3)) << line;
        ++count;
    }
    EXPECT_GE(count, 27);
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
