#include "convert/ServiceTime.h"

#include "convert/Logger.h"
#include "convert/NumberText.h"
#include "plugin/HostApi.h"

#include <wx/datetime.h>

#include <cstdio>

namespace {

const wxChar* const UNKNOWN_TIME_FORMAT = wxT("Unknown time format: %s");

// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const int shiftedMonth = month > 2 ? month - 3 : month + 9;
    const long long dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

icaltimezone* ZoneOf(icalproperty* property, const char* tzid) {
    icalcomponent* owner = icalproperty_get_parent(property);
    for (icalcomponent* c = owner; c; c = icalcomponent_get_parent(c)) {
        if (icalcomponent_isa(c) == ICAL_VCALENDAR_COMPONENT) {
            if (icaltimezone* zone = icalcomponent_get_timezone(c, tzid))
                return zone;
        }
    }
    // The host holds the zones of the to-dos it gives us; it finds them by the TZID of the
    // component's first zoned property, so ask with this property alone.
    icalcomponent* probe = icalcomponent_new_vtodo();
    icalcomponent_add_property(probe, icalproperty_new_clone(property));
    icaltimezone* zone = Corvane_CheckForTimeZone(probe);
    icalcomponent_free(probe);
    if (zone)
        return zone;
    if ((zone = icaltimezone_get_builtin_timezone_from_tzid(tzid)))
        return zone;
    return icaltimezone_get_builtin_timezone(tzid);
}

// A local wall-clock time as its UTC instant, daylight saving included.
icaltimetype LocalToUtc(const icaltimetype& time) {
    const wxDateTime local(static_cast<wxDateTime::wxDateTime_t>(time.day),
                           static_cast<wxDateTime::Month>(time.month - 1), time.year,
                           static_cast<wxDateTime::wxDateTime_t>(time.hour),
                           static_cast<wxDateTime::wxDateTime_t>(time.minute),
                           static_cast<wxDateTime::wxDateTime_t>(time.second));
    if (!local.IsValid())
        return time;
    const wxDateTime::Tm utc = local.GetTm(wxDateTime::UTC);
    icaltimetype result = icaltime_null_time();
    result.year = utc.year;
    result.month = static_cast<int>(utc.mon) + 1;
    result.day = utc.mday;
    result.hour = utc.hour;
    result.minute = utc.min;
    result.second = utc.sec;
    result.zone = icaltimezone_get_utc_timezone();
    return result;
}

}  // namespace

icaltimetype ServiceInstant(const icalproperty* property) {
    auto* p = const_cast<icalproperty*>(property);
    icalvalue* value = p ? icalproperty_get_value(p) : nullptr;
    if (!value)
        return icaltime_null_time();
    icaltimetype time = icalvalue_get_datetime(value);
    if (time.is_date || icaltime_is_utc(time) || !HasValidTimeFields(time))
        return time;
    icalparameter* tzidParameter = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    const char* tzid = tzidParameter ? icalparameter_get_tzid(tzidParameter) : nullptr;
    if (tzid && *tzid) {
        if (icaltimezone* zone = ZoneOf(p, tzid)) {
            time.zone = zone;
            icaltimetype utc = icaltime_convert_to_zone(time, icaltimezone_get_utc_timezone());
            // A wall clock that occurs twice (clocks going back) means its first occurrence;
            // libical gives the second.
            for (const int shift : {3600, 1800}) {
                icaltimetype earlier = utc;
                icaltime_adjust(&earlier, 0, 0, 0, -shift);
                const icaltimetype wall = icaltime_convert_to_zone(earlier, zone);
                if (wall.year == time.year && wall.month == time.month && wall.day == time.day &&
                    wall.hour == time.hour && wall.minute == time.minute && wall.second == time.second) {
                    utc = earlier;
                    break;
                }
            }
            return utc;
        }
    }
    time.zone = nullptr;
    return LocalToUtc(time);
}

bool HasValidTimeFields(const icaltimetype& time) {
    if (time.year < 1 || time.year > 9999 || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > icaltime_days_in_month(time.month, time.year))
        return false;
    if (time.is_date)
        return true;
    // 60 is a leap second, which the addition carries into the next minute.
    return time.hour >= 0 && time.hour <= 23 && time.minute >= 0 && time.minute <= 59 && time.second >= 0 &&
           time.second <= 60;
}

icaltimetype ParseServiceTime(const wxString& text, const Logger* log) {
    icaltimetype result = icaltime_null_time();
    const size_t length = text.length();
    if (length < 10) {
        LogThrough(log, LOG_ERROR, UNKNOWN_TIME_FORMAT, text);
        return result;
    }
    result.year = ReadLeadingInteger(text, 0, 4);
    result.month = ReadLeadingInteger(text, 5, 2);
    result.day = ReadLeadingInteger(text, 8, 2);
    result.is_date = 1;
    if (length < 19)
        return result;

    result.is_date = 0;
    result.hour = ReadLeadingInteger(text, 11, 2);
    result.minute = ReadLeadingInteger(text, 14, 2);
    result.second = ReadLeadingInteger(text, 17, 2);

    int offsetSeconds = 0;
    if (length >= 24 && text[23] != wxT('Z')) {
        if (length < 29) {
            LogThrough(log, LOG_ERROR, UNKNOWN_TIME_FORMAT, text);
        } else {
            const int offset = ReadLeadingInteger(text, 24, 2) * 3600 + ReadLeadingInteger(text, 27, 2) * 60;
            const wxChar sign = text[23];
            if (sign == wxT('+')) {
                offsetSeconds = -offset;
            } else {
                if (sign != wxT('-'))
                    LogThrough(log, LOG_ERROR, UNKNOWN_TIME_FORMAT, text);
                offsetSeconds = offset;
            }
        }
    }
    // Fields that form no date are left as read: libical's carry would turn them into a plausible
    // but invented time.
    if (offsetSeconds != 0 && HasValidTimeFields(result))
        icaltime_adjust(&result, 0, 0, 0, offsetSeconds);
    result.zone = icaltimezone_get_utc_timezone();
    return result;
}

wxString FormatServiceTime(const icaltimetype& time) {
    char buffer[96];
    if (time.is_date) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", time.year, time.month, time.day);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%s", time.year, time.month,
                      time.day, time.hour, time.minute, time.second, icaltime_is_utc(time) ? "Z" : "");
    }
    return AsciiText(buffer);
}

icaltimetype UtcToLocalDate(const icaltimetype& time) {
    if (!HasValidTimeFields(time))
        return time;
    icaltimetype result = time;
    if (!result.is_date) {
        // The local offset east of UTC at that instant: the local wall clock of the instant minus
        // the instant, both counted from the epoch.
        const long long utcSeconds = DaysFromCivil(time.year, time.month, time.day) * 86400LL +
                                     time.hour * 3600LL + time.minute * 60LL + time.second;
        const wxDateTime instant{wxLongLong(utcSeconds * 1000LL)};
        const wxDateTime::Tm local = instant.GetTm(wxDateTime::Local);
        const long long localSeconds =
            DaysFromCivil(local.year, static_cast<int>(local.mon) + 1, local.mday) * 86400LL +
            local.hour * 3600LL + local.min * 60LL + local.sec;
        icaltime_adjust(&result, 0, 0, 0, static_cast<int>(localSeconds - utcSeconds));
    }
    result.is_date = 1;
    return result;
}
