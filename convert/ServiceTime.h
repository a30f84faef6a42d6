// The service's time texts (2006-05-07T10:19:54Z, 2012-05-02) and libical's time structure, plus the
// rule that turns a due without time of day into the user's local calendar date.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class Logger;

// Never fails: text it cannot read is logged ("Unknown time format: %s") and gives the null time,
// or a best-effort value. Every date-time it returns is UTC; a date-only text gives a DATE.
icaltimetype ParseServiceTime(const wxString& text, const Logger* log);

// A DATE as YYYY-MM-DD; anything else as YYYY-MM-DDTHH:MM:SS, with a final Z only when it is UTC.
wxString FormatServiceTime(const icaltimetype& time);

// The value of a DTSTART or DUE property as the service must receive it: a DATE as it stands, a
// date-time as its UTC instant. A time with a TZID goes through that zone (the component's own
// VTIMEZONE, else the host's, else libical's built-in one); a floating time, or one whose zone is
// unknown, is read as local time.
icaltimetype ServiceInstant(const icalproperty* property);

// The local calendar date (a DATE) of a UTC instant, daylight saving included. A time whose fields
// form no valid date-time (such as the null time) is returned unchanged.
icaltimetype UtcToLocalDate(const icaltimetype& time);

// True when year, month and day (and, for a date-time, hour, minute and second) are in range,
// so that calendar arithmetic on them means something.
bool HasValidTimeFields(const icaltimetype& time);
