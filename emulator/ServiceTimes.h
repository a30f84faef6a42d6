// Times as the service writes and reads them: UTC instants in ISO 8601 text, and the user's time
// zone that a date-only due or a due without a zone is read in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct _icaltimezone;

namespace rtmemu {

// Seconds since 1970-01-01T00:00:00Z.
using Instant = std::int64_t;

// "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatUtc(Instant instant);
// Appends the same text, without a temporary (replies hold thousands of them).
void AppendUtc(std::string& out, Instant instant);
// "YYYYMMDD" of the instant's UTC date.
std::string FormatBasicDate(int year, int month, int day);

// The fields of an ISO 8601 text: a date ("2012-05-02"), a date-time without a zone (read in the
// user's zone), with "Z", or with a "+HH:MM"/"-HH:MM" offset; fractions of seconds are skipped.
struct TimeText {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool dateOnly = false;
    bool hasZone = false;   // "Z" or an offset was given
    int offsetSeconds = 0;  // east of UTC
};
std::optional<TimeText> ParseTimeText(const std::string& text);

// A user's time zone: "UTC", a fixed offset ("+10:00", "UTC-05:30") or a zone name of the
// tz database ("Europe/Berlin", with its daylight saving).
class TimeZone {
  public:
    TimeZone() = default;
    static std::optional<TimeZone> Find(const std::string& name);
    const std::string& Name() const { return m_Name; }
    // The instant of a wall-clock time in this zone.
    Instant ToUtc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) const;
    // The instant of a parsed text: its own zone when it has one, else this zone; a date alone is
    // this zone's midnight.
    Instant ToUtc(const TimeText& text) const;

  private:
    std::string m_Name = "UTC";
    int m_OffsetSeconds = 0;
    _icaltimezone* m_Zone = nullptr;  // libical's built-in zone, never freed; null for fixed offsets
};

}  // namespace rtmemu
