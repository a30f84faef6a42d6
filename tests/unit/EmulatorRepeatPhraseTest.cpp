// The emulator's reading of repeat phrases, checked against the plug-in's own writing of them:
// the rule the emulator stores must give the client the phrase back.
#include "convert/RepeatText.h"
#include "emulator/RepeatPhrase.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <memory>

using rtmemu::ParseRepeatPhrase;

namespace {

// What the client makes of a stored rule: a to-do with a due and that RRULE, turned into a phrase.
std::string ClientPhrase(const std::string& rule) {
    std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> todo(icalcomponent_new_vtodo(),
                                                                  icalcomponent_free);
    icalcomponent_add_property(todo.get(), icalproperty_new_due(icaltime_from_string("20120502T080000Z")));
    icalrecurrencetype recurrence = icalrecurrencetype_from_string(rule.c_str());
    EXPECT_NE(recurrence.freq, ICAL_NO_RECURRENCE) << "libical cannot read " << rule;
    icalcomponent_add_property(todo.get(), icalproperty_new_rrule(recurrence));
    icalmemory_free_buffer(recurrence.rscale);
    return std::string(RecurrenceToRepeat(todo.get()).utf8_str());
}

std::string Rule(const std::string& phrase) {
    const std::optional<rtmemu::Recurrence> recurrence = ParseRepeatPhrase(phrase);
    return recurrence ? recurrence->rule : "<unreadable>";
}

// Every phrase shape the plug-in sends, as it writes it.
const char* const CLIENT_PHRASES[] = {
    "Every 1 day",
    "Every 3 day",
    "Every Monday Wednesday ",
    "Every Sunday ",
    "Every Monday Tuesday Wednesday Thursday Friday Saturday Sunday ",
    "Every 2 weeks",
    "Every week",
    "Every month",
    "Every 3 months",
    "Every month on the 15",
    "Every month on the -2",
    "Every month on the last day",
    "Every month on the last Friday",
    "Every month on the 2 Tuesday",
    "Every month on the 0 Monday",
    "month on the first weekday",
    "month on the last weekday",
    "Every 1 year",
    "Every 4 year",
};

TEST(EmulatorRepeatPhraseTest, EveryClientPhraseComesBackUnchangedWithAndWithoutALimit) {
    for (const char* base : CLIENT_PHRASES) {
        for (const char* limit : {"", " for 5 times", " until 31 Dec 2012", " until 1 Feb 2030"}) {
            const std::string phrase = std::string(base) + limit;
            const std::string rule = Rule(phrase);
            ASSERT_NE(rule, "<unreadable>") << phrase;
            EXPECT_EQ(ClientPhrase(rule), phrase) << rule;
        }
    }
}

TEST(EmulatorRepeatPhraseTest, RulesHaveTheServiceForm) {
    const std::pair<const char*, const char*> CASES[] = {
        {"Every 1 day", "FREQ=DAILY;INTERVAL=1"},
        {"Every 3 day for 5 times", "FREQ=DAILY;INTERVAL=3;COUNT=5"},
        {"Every Monday Wednesday ", "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,WE"},
        {"Every 2 weeks", "FREQ=WEEKLY;INTERVAL=2"},
        {"Every week", "FREQ=WEEKLY;INTERVAL=1"},
        {"Every 2 months", "FREQ=MONTHLY;INTERVAL=2"},
        {"Every month on the 15", "FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=15"},
        {"Every month on the last day", "FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=-1"},
        {"Every month on the last Friday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=-1FR"},
        {"Every month on the 2 Tuesday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=2TU"},
        {"Every month on the -1 Monday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=-1MO"},
        {"Every month on the 0 Monday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=MO"},
        {"month on the first weekday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1"},
        {"month on the last weekday", "FREQ=MONTHLY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1"},
        {"Every 1 year until 31 Dec 2012", "FREQ=YEARLY;INTERVAL=1;UNTIL=20121231"},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(Rule(c.first), c.second) << c.first;
}

TEST(EmulatorRepeatPhraseTest, PhrasesWithAnotherSpellingSettleAfterOneRoundTrip) {
    // The client writes these differently once it has read the rule back; sending that again
    // must keep the same rule, so repeated uploads change nothing.
    for (const char* phrase :
         {"Every month on the -1 Monday", "Every month on the 1 Monday", "every mon, wed", "every weekday",
          "Every 2 Monday ", "every 2 weeks on monday", "Every month on the 15th",
          "every 2nd tuesday of the month", "Every day"}) {
        const std::string rule = Rule(phrase);
        ASSERT_NE(rule, "<unreadable>") << phrase;
        const std::string reread = ClientPhrase(rule);
        ASSERT_FALSE(reread.empty()) << phrase;
        const std::string again = Rule(reread);
        EXPECT_EQ(ClientPhrase(again), reread) << phrase;
        EXPECT_EQ(Rule(ClientPhrase(again)), again) << phrase;
    }
}

TEST(EmulatorRepeatPhraseTest, ServicePhrasesAreReadWithoutRegardToCase) {
    struct Case {
        const char* phrase;
        bool every;
        const char* rule;
    };
    const Case CASES[] = {
        {"every day", true, "FREQ=DAILY;INTERVAL=1"},
        {"Daily", true, "FREQ=DAILY;INTERVAL=1"},
        {"every 2 days", true, "FREQ=DAILY;INTERVAL=2"},
        {"EVERY WEEK", true, "FREQ=WEEKLY;INTERVAL=1"},
        {"weekly", true, "FREQ=WEEKLY;INTERVAL=1"},
        {"every two weeks", true, "FREQ=WEEKLY;INTERVAL=2"},
        {"every other week", true, "FREQ=WEEKLY;INTERVAL=2"},
        {"every monday", true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO"},
        {"every mon, wed", true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,WE"},
        {"every tuesday and thursday", true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=TU,TH"},
        {"every weekday", true, "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR"},
        {"every month", true, "FREQ=MONTHLY;INTERVAL=1"},
        {"monthly", true, "FREQ=MONTHLY;INTERVAL=1"},
        {"every month on the 15th", true, "FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=15"},
        {"every month on the 2nd tuesday", true, "FREQ=MONTHLY;INTERVAL=1;BYDAY=2TU"},
        {"every 1st of the month", true, "FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=1"},
        {"every year", true, "FREQ=YEARLY;INTERVAL=1"},
        {"yearly", true, "FREQ=YEARLY;INTERVAL=1"},
        {"after 1 week", false, "FREQ=WEEKLY;INTERVAL=1"},
        {"after 3 days", false, "FREQ=DAILY;INTERVAL=3"},
        {"every day until 2012-12-31", true, "FREQ=DAILY;INTERVAL=1;UNTIL=20121231"},
        {"every week until Dec 31 2012", true, "FREQ=WEEKLY;INTERVAL=1;UNTIL=20121231"},
    };
    for (const Case& c : CASES) {
        const std::optional<rtmemu::Recurrence> recurrence = ParseRepeatPhrase(c.phrase);
        ASSERT_TRUE(recurrence) << c.phrase;
        EXPECT_EQ(recurrence->every, c.every) << c.phrase;
        EXPECT_EQ(recurrence->rule, c.rule) << c.phrase;
    }
}

TEST(EmulatorRepeatPhraseTest, UnreadablePhrasesAreRefused) {
    for (const char* phrase : {"",
                               "   ",
                               "every",
                               "sometimes",
                               "every blue moon",
                               "every 0 days",
                               "every -2 days",
                               "every 40000 days",
                               "every day for",
                               "every day for 0 times",
                               "every day for many times",
                               "every day until someday",
                               "every day until 31 Feb 2012",
                               "every month on the 32",
                               "every month on the 0",
                               "every month on the 6 monday",
                               "every month on the second weekday",
                               "every week on",
                               "every day now",
                               "every year on monday",
                               "for 5 times"}) {
        EXPECT_FALSE(ParseRepeatPhrase(phrase)) << "\"" << phrase << "\" gave " << Rule(phrase);
    }
}

}  // namespace
