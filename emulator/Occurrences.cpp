#include "emulator/Occurrences.h"

#include <libical/ical.h>

namespace rtmemu {

namespace {
icaltimetype LocalTime(const TimeZone& zone, Instant instant, bool dateOnly) {
    const TimeText local = zone.ToLocal(instant);
    icaltimetype time = icaltime_null_time();
    time.year = local.year;
    time.month = local.month;
    time.day = local.day;
    if (dateOnly) {
        time.is_date = 1;
    } else {
        time.hour = local.hour;
        time.minute = local.minute;
        time.second = local.second;
    }
    return time;
}

// Enough for a daily rule over centuries; stops a rule that never passes `current`.
const int MAX_STEPS = 100000;
}  // namespace

std::optional<Instant> NextOccurrence(const std::string& rule, Instant first, Instant current, bool dateOnly,
                                      const TimeZone& zone) {
    icalrecurrencetype recurrence = icalrecurrencetype_from_string(rule.c_str());
    if (recurrence.freq == ICAL_NO_RECURRENCE) {
        icalmemory_free_buffer(recurrence.rscale);
        return std::nullopt;
    }
    // A date UNTIL with a date-time start includes that whole day.
    if (!dateOnly && !icaltime_is_null_time(recurrence.until) && recurrence.until.is_date) {
        recurrence.until.is_date = 0;
        recurrence.until.hour = 23;
        recurrence.until.minute = 59;
        recurrence.until.second = 59;
    }
    const icaltimetype start = LocalTime(zone, first, dateOnly);
    const icaltimetype now = LocalTime(zone, current, dateOnly);
    std::optional<Instant> next;
    if (icalrecur_iterator* iterator = icalrecur_iterator_new(recurrence, start)) {
        for (int step = 0; step < MAX_STEPS; ++step) {
            const icaltimetype time = icalrecur_iterator_next(iterator);
            if (icaltime_is_null_time(time))
                break;
            if (icaltime_compare(time, now) > 0) {
                next = dateOnly
                           ? zone.ToUtc(time.year, time.month, time.day)
                           : zone.ToUtc(time.year, time.month, time.day, time.hour, time.minute, time.second);
                break;
            }
        }
        icalrecur_iterator_free(iterator);
    }
    icalmemory_free_buffer(recurrence.rscale);
    return next;
}

}  // namespace rtmemu
