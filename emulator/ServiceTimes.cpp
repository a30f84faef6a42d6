#include "emulator/ServiceTimes.h"

#include <libical/ical.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace rtmemu {

namespace {
// Days since 1970-01-01 of a proleptic Gregorian date (valid for any year).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

Instant FieldsToInstant(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

void Put(char* at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

bool Digits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month) {
    static const int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : DAYS[month - 1];
}

// "+HH:MM", "-HHMM", "+HH"; false when the text is none of these.
bool ParseOffset(const std::string& text, size_t at, int& seconds) {
    if (at >= text.size() || (text[at] != '+' && text[at] != '-'))
        return false;
    const int sign = text[at] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (!Digits(text, at + 1, 2, hours))
        return false;
    size_t next = at + 3;
    if (next < text.size() && text[next] == ':')
        ++next;
    if (next < text.size() && !Digits(text, next, 2, minutes))
        return false;
    if (next < text.size() && next + 2 != text.size())
        return false;
    if (hours > 23 || minutes > 59)
        return false;
    seconds = sign * (hours * 3600 + minutes * 60);
    return true;
}
}  // namespace

void AppendUtc(std::string& out, Instant instant) {
    std::int64_t days = instant / 86400;
    std::int64_t rest = instant % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days (inverse of DaysFromCivil).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    year += month <= 2;

    char buffer[20];
    Put(buffer, static_cast<int>(year), 4);
    buffer[4] = '-';
    Put(buffer + 5, static_cast<int>(month), 2);
    buffer[7] = '-';
    Put(buffer + 8, static_cast<int>(day), 2);
    buffer[10] = 'T';
    Put(buffer + 11, static_cast<int>(rest / 3600), 2);
    buffer[13] = ':';
    Put(buffer + 14, static_cast<int>(rest / 60 % 60), 2);
    buffer[16] = ':';
    Put(buffer + 17, static_cast<int>(rest % 60), 2);
    buffer[19] = 'Z';
    out.append(buffer, 20);
}

std::string FormatUtc(Instant instant) {
    std::string text;
    AppendUtc(text, instant);
    return text;
}

std::string FormatBasicDate(int year, int month, int day) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", year, month, day);
    return buffer;
}

std::optional<TimeText> ParseTimeText(const std::string& text) {
    TimeText t;
    if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, t.year) ||
        !Digits(text, 5, 2, t.month) || !Digits(text, 8, 2, t.day))
        return std::nullopt;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month))
        return std::nullopt;
    if (text.size() == 10) {
        t.dateOnly = true;
        return t;
    }
    if ((text[10] != 'T' && text[10] != ' ') || text.size() < 19 || text[13] != ':' || text[16] != ':' ||
        !Digits(text, 11, 2, t.hour) || !Digits(text, 14, 2, t.minute) || !Digits(text, 17, 2, t.second))
        return std::nullopt;
    if (t.hour > 23 || t.minute > 59 || t.second > 60)
        return std::nullopt;
    size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            ++at;
    }
    if (at == text.size())
        return t;
    if (text[at] == 'Z' && at + 1 == text.size()) {
        t.hasZone = true;
        return t;
    }
    if (!ParseOffset(text, at, t.offsetSeconds))
        return std::nullopt;
    t.hasZone = true;
    return t;
}

std::optional<TimeZone> TimeZone::Find(const std::string& name) {
    TimeZone zone;
    zone.m_Name = name;
    if (name.empty() || name == "UTC" || name == "Z" || name == "GMT")
        return zone;
    std::string offset = name;
    if (offset.compare(0, 3, "UTC") == 0 || offset.compare(0, 3, "GMT") == 0)
        offset = offset.substr(3);
    if (ParseOffset(offset, 0, zone.m_OffsetSeconds))
        return zone;
    // libical loads its zones lazily into a shared table.
    static std::mutex zoneLock;
    std::lock_guard<std::mutex> lock(zoneLock);
    zone.m_Zone = icaltimezone_get_builtin_timezone(name.c_str());
    if (!zone.m_Zone)
        return std::nullopt;
    return zone;
}

Instant TimeZone::ToUtc(int year, int month, int day, int hour, int minute, int second) const {
    const Instant wallClock = FieldsToInstant(year, month, day, hour, minute, second);
    if (!m_Zone)
        return wallClock - m_OffsetSeconds;
    icaltimetype time = icaltime_null_time();
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.zone = m_Zone;
    return static_cast<Instant>(icaltime_as_timet_with_zone(time, m_Zone));
}

Instant TimeZone::ToUtc(const TimeText& t) const {
    if (t.hasZone)
        return FieldsToInstant(t.year, t.month, t.day, t.hour, t.minute, t.second) - t.offsetSeconds;
    return ToUtc(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace rtmemu
