#include "convert/RepeatText.h"

#include "convert/NumberText.h"

#include <cstdio>
#include <string>

namespace {

bool HasValidDue(icalcomponent* c) {
    icalproperty* dueProperty = icalcomponent_get_first_property(c, ICAL_DUE_PROPERTY);
    if (!dueProperty)
        return false;
    const icaltimetype due = icalproperty_get_due(dueProperty);
    return !icaltime_is_null_time(due) && icaltime_is_valid_time(due);
}

const char* const WEEKDAY_NAMES[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
const char* const MONTH_NAMES[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Printf(const char* format, int value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The BYDAY entries up to libical's end marker.
int ByDayCount(const icalrecurrencetype& rule) {
    int count = 0;
    while (count < ICAL_BY_DAY_SIZE && rule.by_day[count] != ICAL_RECURRENCE_ARRAY_MAX)
        ++count;
    return count;
}

// The weekday name of one BYDAY entry, or null when its weekday is out of range.
const char* WeekdayName(short entry) {
    const int index = static_cast<int>(icalrecurrencetype_day_day_of_week(entry)) - 1;
    return index >= 0 && index <= 6 ? WEEKDAY_NAMES[index] : nullptr;
}

// "Every week", or "Every N weeks"; also for a weekly rule without days, which would otherwise
// give "Every " alone.
std::string EveryWeeks(short interval) {
    return interval > 1 ? Printf("Every %i weeks", interval) : std::string("Every week");
}

std::string WeeklyPhrase(const icalrecurrencetype& rule, int byDays) {
    std::string phrase = "Every ";
    int named = 0;
    for (int i = 0; i < byDays; ++i) {
        if (const char* name = WeekdayName(rule.by_day[i])) {
            phrase += name;
            phrase += ' ';
            ++named;
        }
    }
    if (named == 0 || (rule.interval > 1 && named == 1))
        return EveryWeeks(rule.interval);
    return phrase;
}

bool IsWorkWeek(const icalrecurrencetype& rule, int byDays) {
    static const icalrecurrencetype_weekday WORK_DAYS[] = {ICAL_MONDAY_WEEKDAY, ICAL_TUESDAY_WEEKDAY,
                                                           ICAL_WEDNESDAY_WEEKDAY, ICAL_THURSDAY_WEEKDAY,
                                                           ICAL_FRIDAY_WEEKDAY};
    if (byDays < 5)
        return false;
    for (int i = 0; i < 5; ++i)
        if (icalrecurrencetype_day_day_of_week(rule.by_day[i]) != WORK_DAYS[i])
            return false;
    return true;
}

std::string MonthlyPhrase(const icalrecurrencetype& rule, int byDays) {
    if (byDays == 0) {
        const short monthDay = rule.by_month_day[0];
        if (monthDay == -1)
            return "Every month on the last day";
        // Without BYMONTHDAY the day follows the due date, which the service takes from the task.
        if (monthDay == ICAL_RECURRENCE_ARRAY_MAX)
            return rule.interval > 1 ? Printf("Every %i months", rule.interval) : std::string("Every month");
        return Printf("Every month on the %i", monthDay);
    }
    const short first = rule.by_day[0];
    const int position = icalrecurrencetype_day_position(first);
    if (position == -1 && byDays == 1) {
        const char* name = WeekdayName(first);
        return name ? std::string("Every month on the last ") + name : std::string();
    }
    if (IsWorkWeek(rule, byDays)) {
        const short setPosition = rule.by_set_pos[0];
        if (setPosition == 1 || position == 1)
            return "month on the first weekday";
        if (setPosition == -1 || position == -1)
            return "month on the last weekday";
        return std::string();
    }
    const char* name = WeekdayName(first);
    return name ? Printf("Every month on the %i ", position) + name : std::string();
}

}  // namespace

wxString RecurrenceToRepeat(const icalcomponent* todo) {
    auto* c = const_cast<icalcomponent*>(todo);
    if (!c)
        return wxString();
    icalproperty* rruleProperty = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rruleProperty || !HasValidDue(c))
        return wxString();

    const icalrecurrencetype rule = icalproperty_get_rrule(rruleProperty);
    const int byDays = ByDayCount(rule);
    std::string phrase;
    switch (rule.freq) {
        case ICAL_DAILY_RECURRENCE:
            phrase = Printf("Every %i day", rule.interval);
            break;
        case ICAL_WEEKLY_RECURRENCE:
            phrase = WeeklyPhrase(rule, byDays);
            break;
        case ICAL_MONTHLY_RECURRENCE:
            phrase = MonthlyPhrase(rule, byDays);
            break;
        case ICAL_YEARLY_RECURRENCE:
            phrase = Printf("Every %i year", rule.interval);
            break;
        default:
            // The service repeats daily at the finest; hourly and finer rules have no phrase.
            break;
    }
    // A limit alone is no phrase the service accepts.
    if (phrase.empty())
        return wxString();

    if (rule.count != 0) {
        phrase += Printf(" for %i times", rule.count);
    } else if (!icaltime_is_null_time(rule.until) && rule.until.month >= 1 && rule.until.month <= 12) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, " until %i %s %i", rule.until.day,
                      MONTH_NAMES[rule.until.month - 1], rule.until.year);
        phrase += buffer;
    }
    return AsciiText(phrase.c_str());
}

bool RepeatAwaitsDue(const icalcomponent* todo) {
    auto* c = const_cast<icalcomponent*>(todo);
    return c && icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY) && !HasValidDue(c);
}
