#include "emulator/RepeatPhrase.h"

#include "emulator/ServiceTimes.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace rtmemu {

namespace {

using Words = std::vector<std::string>;

const int MAX_INTERVAL = 32767;  // the clients keep INTERVAL and COUNT in 16 bits

Words SplitWords(const std::string& phrase) {
    Words words;
    std::string word;
    for (char c : phrase) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isspace(u) || c == ',' || c == ';') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(std::tolower(u));
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// A signed decimal number, optionally with an English ordinal ending ("2nd", "15th", "-1").
bool ReadNumber(const std::string& word, int& value, bool allowOrdinal = true) {
    size_t at = 0;
    if (at < word.size() && (word[at] == '-' || word[at] == '+'))
        ++at;
    const size_t digitsStart = at;
    while (at < word.size() && std::isdigit(static_cast<unsigned char>(word[at])))
        ++at;
    const size_t digits = at - digitsStart;
    if (digits == 0 || digits > 6)
        return false;
    const std::string rest = word.substr(at);
    if (!rest.empty() && !(allowOrdinal && (rest == "st" || rest == "nd" || rest == "rd" || rest == "th")))
        return false;
    value = std::atoi(word.substr(0, at).c_str());
    return true;
}

// "two", "other" … as a count.
bool ReadCountWord(const std::string& word, int& value) {
    static const char* const WORDS[] = {"one",   "two",   "three", "four", "five",   "six",
                                        "seven", "eight", "nine",  "ten",  "eleven", "twelve"};
    for (int i = 0; i < 12; ++i) {
        if (word == WORDS[i]) {
            value = i + 1;
            return true;
        }
    }
    if (word == "other") {
        value = 2;
        return true;
    }
    return false;
}

bool ReadOrdinalWord(const std::string& word, int& value) {
    static const char* const WORDS[] = {"first", "second", "third", "fourth", "fifth"};
    for (int i = 0; i < 5; ++i) {
        if (word == WORDS[i]) {
            value = i + 1;
            return true;
        }
    }
    if (word == "last") {
        value = -1;
        return true;
    }
    return false;
}

// The RRULE day code of a weekday name: full, plural or abbreviated.
const char* WeekdayCode(const std::string& word) {
    struct Day {
        const char* name;
        const char* code;
    };
    static const Day DAYS[] = {{"monday", "MO"}, {"tuesday", "TU"},  {"wednesday", "WE"}, {"thursday", "TH"},
                               {"friday", "FR"}, {"saturday", "SA"}, {"sunday", "SU"}};
    std::string w = word;
    if (w.size() > 3 && w.back() == 's' && w != "tues" && w != "thurs")
        w.pop_back();
    for (const Day& day : DAYS) {
        const std::string name = day.name;
        if (w == name || (w.size() >= 3 && name.compare(0, w.size(), w) == 0))
            return day.code;
    }
    return nullptr;
}

int MonthNumber(const std::string& word) {
    static const char* const MONTHS[] = {"january",   "february", "march",    "april",
                                         "may",       "june",     "july",     "august",
                                         "september", "october",  "november", "december"};
    for (int i = 0; i < 12; ++i) {
        const std::string name = MONTHS[i];
        if (word == name || (word.size() >= 3 && name.compare(0, word.size(), word) == 0))
            return i + 1;
    }
    if (word == "sept")
        return 9;
    return 0;
}

// "31 Dec 2012", "Dec 31 2012", "2012-12-31" → "20121231".
bool ReadUntilDate(const Words& words, std::string& basicDate) {
    int year = 0, month = 0, day = 0;
    if (words.size() == 1) {
        const std::optional<TimeText> text = ParseTimeText(words[0]);
        if (!text)
            return false;
        year = text->year;
        month = text->month;
        day = text->day;
    } else if (words.size() == 3) {
        if (ReadNumber(words[0], day)) {
            month = MonthNumber(words[1]);
        } else {
            month = MonthNumber(words[0]);
            if (!ReadNumber(words[1], day))
                return false;
        }
        if (!ReadNumber(words[2], year, false))
            return false;
        if (month == 0 || year < 1900 || year > 9999 || day < 1)
            return false;
        // The same check as for due dates: no 31 Feb.
        const std::string iso = std::to_string(year) + "-" + (month < 10 ? "0" : "") + std::to_string(month) +
                                "-" + (day < 10 ? "0" : "") + std::to_string(day);
        if (!ParseTimeText(iso))
            return false;
    } else {
        return false;
    }
    basicDate = FormatBasicDate(year, month, day);
    return true;
}

// Cuts a trailing " for N times" or " until DATE" off the words; the limit's rule part, or false
// when the words hold a limit that cannot be read.
bool TakeLimit(Words& words, std::string& limit) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "for" && i > 0) {
            Words rest(words.begin() + i + 1, words.end());
            int count = 0;
            if (rest.empty() || rest.size() > 2 || !ReadNumber(rest[0], count, false) || count < 1 ||
                count > MAX_INTERVAL)
                return false;
            if (rest.size() == 2 && rest[1] != "times" && rest[1] != "time" && rest[1] != "occurrences")
                return false;
            limit = ";COUNT=" + std::to_string(count);
            words.resize(i);
            return true;
        }
        if (words[i] == "until" && i > 0) {
            std::string date;
            if (!ReadUntilDate(Words(words.begin() + i + 1, words.end()), date))
                return false;
            limit = ";UNTIL=" + date;
            words.resize(i);
            return true;
        }
    }
    return true;
}

// Weekday names from `at` to the end, "and" allowed between them; the BYDAY list.
bool ReadWeekdays(const Words& words, size_t at, std::string& byDay) {
    byDay.clear();
    bool expectDay = true;
    for (; at < words.size(); ++at) {
        if (words[at] == "and" && !expectDay) {
            expectDay = true;
            continue;
        }
        if (words[at] == "weekday" || words[at] == "weekdays") {
            for (const char* code : {"MO", "TU", "WE", "TH", "FR"})
                if (byDay.find(code) == std::string::npos)
                    byDay += std::string(byDay.empty() ? "" : ",") + code;
            expectDay = false;
            continue;
        }
        const char* code = WeekdayCode(words[at]);
        if (!code)
            return false;
        if (byDay.find(code) == std::string::npos)
            byDay += std::string(byDay.empty() ? "" : ",") + code;
        expectDay = false;
    }
    return !byDay.empty() && !expectDay;
}

// What follows "every N months on the": a day of the month, a weekday with its position, or the
// first/last working day.
bool ReadMonthDay(const Words& words, size_t at, std::string& byPart) {
    const size_t left = words.size() - at;
    if (left == 0)
        return false;
    int position = 0;
    const bool numeric = ReadNumber(words[at], position);
    if (!numeric && !ReadOrdinalWord(words[at], position))
        return false;
    if (left == 1 || (left == 2 && words[at + 1] == "day")) {
        if (position == 0 || position < -31 || position > 31)
            return false;
        byPart = ";BYMONTHDAY=" + std::to_string(position);
        return true;
    }
    if (left != 2)
        return false;
    if (words[at + 1] == "weekday") {
        if (position != 1 && position != -1)
            return false;
        byPart = ";BYDAY=MO,TU,WE,TH,FR;BYSETPOS=" + std::to_string(position);
        return true;
    }
    const char* code = WeekdayCode(words[at + 1]);
    if (!code || position < -5 || position > 5)
        return false;
    // Position 0 names the weekday without a place in the month.
    byPart = ";BYDAY=" + (position == 0 ? std::string() : std::to_string(position)) + code;
    return true;
}

}  // namespace

std::optional<Recurrence> ParseRepeatPhrase(const std::string& phrase) {
    Words words = SplitWords(phrase);
    std::string limit;
    if (words.empty() || !TakeLimit(words, limit) || words.empty())
        return std::nullopt;

    Recurrence recurrence;
    size_t at = 0;
    if (words[0] == "every") {
        ++at;
    } else if (words[0] == "after") {
        recurrence.every = false;
        ++at;
    }
    const auto make = [&](const char* freq, int interval, const std::string& byPart) {
        recurrence.rule =
            std::string("FREQ=") + freq + ";INTERVAL=" + std::to_string(interval) + byPart + limit;
        return recurrence;
    };

    // One-word forms: "daily", "weekly", "every weekday" …
    if (words.size() == at + 1) {
        const std::string& word = words[at];
        if (word == "daily")
            return make("DAILY", 1, "");
        if (word == "weekly")
            return make("WEEKLY", 1, "");
        if (word == "biweekly" || word == "fortnightly" || word == "fortnight")
            return make("WEEKLY", 2, "");
        if (word == "monthly")
            return make("MONTHLY", 1, "");
        if (word == "yearly" || word == "annually")
            return make("YEARLY", 1, "");
    }
    if (at >= words.size())
        return std::nullopt;

    int interval = 1;
    bool counted = false;
    if (ReadNumber(words[at], interval, false) || ReadCountWord(words[at], interval)) {
        counted = true;
        ++at;
    }
    if (interval < 1 || interval > MAX_INTERVAL || at >= words.size())
        return std::nullopt;

    const std::string& unit = words[at];
    const size_t next = at + 1;
    const bool last = next == words.size();
    if (unit == "day" || unit == "days")
        return last ? std::optional<Recurrence>(make("DAILY", interval, "")) : std::nullopt;
    if (unit == "week" || unit == "weeks") {
        if (last)
            return make("WEEKLY", interval, "");
        std::string byDay;
        if (words[next] != "on" || !ReadWeekdays(words, next + 1, byDay))
            return std::nullopt;
        return make("WEEKLY", interval, ";BYDAY=" + byDay);
    }
    if (unit == "month" || unit == "months") {
        if (last)
            return make("MONTHLY", interval, "");
        size_t day = next;
        if (words[day] != "on")
            return std::nullopt;
        if (++day < words.size() && words[day] == "the")
            ++day;
        std::string byPart;
        if (!ReadMonthDay(words, day, byPart))
            return std::nullopt;
        return make("MONTHLY", interval, byPart);
    }
    if (unit == "year" || unit == "years")
        return last ? std::optional<Recurrence>(make("YEARLY", interval, "")) : std::nullopt;

    // "every 1st of the month", "every last friday of the month".
    if (!counted && words.size() >= at + 3) {
        const size_t tail = words.size() - 3;
        if (words[tail] == "of" && words[tail + 1] == "the" && words[tail + 2] == "month") {
            Words day(words.begin() + at, words.begin() + tail);
            std::string byPart;
            if (ReadMonthDay(day, 0, byPart))
                return make("MONTHLY", 1, byPart);
            return std::nullopt;
        }
    }
    // "every monday wednesday", "every mon, wed", "every weekday", "every 2 tuesdays".
    std::string byDay;
    if (ReadWeekdays(words, at, byDay))
        return make("WEEKLY", interval, ";BYDAY=" + byDay);
    return std::nullopt;
}

}  // namespace rtmemu
