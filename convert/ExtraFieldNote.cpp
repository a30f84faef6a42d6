#include "convert/ExtraFieldNote.h"

#include "convert/NumberText.h"
#include "convert/PropertyHelpers.h"
#include "convert/ServiceTime.h"

#include <climits>
#include <cwchar>

const wxChar* const DATA_NOTE_TITLE = wxT("C2:data");
const wxChar* const DESCRIPTION_NOTE_TITLE = wxT("C2:description");

const char* const X_DATA_ID = "X-CORVANE-RTM-DATA-ID";
const char* const X_DESCRIPTION_ID = "X-CORVANE-RTM-DESCRIPTION-ID";
const char* const X_LAST_ALARM_ACK = "X-CORVANE-LASTALARMACK";
const char* const X_TASK_POSITION = "X-CORVANE-TASK-POSITION";

namespace {

const wxChar* const KEY_START = wxT("Start: ");
const wxChar* const KEY_LOCATION = wxT("Location: ");
const wxChar* const KEY_STATUS = wxT("Status: ");
const wxChar* const KEY_PERCENT = wxT("Percent: ");
const wxChar* const KEY_LAST_ACK = wxT("LastAck: ");
const wxChar* const KEY_POSITION = wxT("Position: ");
const wxChar* const KEY_TRIGGER = wxT("Trigger: ");

struct StatusPair {
    int number;
    icalproperty_status status;
};

const StatusPair STATUS_PAIRS[] = {
    {NOTE_STATUS_X, ICAL_STATUS_X},
    {NOTE_STATUS_TENTATIVE, ICAL_STATUS_TENTATIVE},
    {NOTE_STATUS_CONFIRMED, ICAL_STATUS_CONFIRMED},
    {NOTE_STATUS_COMPLETED, ICAL_STATUS_COMPLETED},
    {NOTE_STATUS_NEEDS_ACTION, ICAL_STATUS_NEEDSACTION},
    {NOTE_STATUS_CANCELLED, ICAL_STATUS_CANCELLED},
    {NOTE_STATUS_IN_PROCESS, ICAL_STATUS_INPROCESS},
    {NOTE_STATUS_DRAFT, ICAL_STATUS_DRAFT},
    {NOTE_STATUS_FINAL, ICAL_STATUS_FINAL},
    {NOTE_STATUS_NONE, ICAL_STATUS_NONE},
};

// The value after `key` when the line [begin, end) starts with it.
bool TakeValue(const wxChar* begin, const wxChar* end, const wxChar* key, wxString& value) {
    const size_t keyLength = std::wcslen(key);
    if (static_cast<size_t>(end - begin) < keyLength || std::wmemcmp(begin, key, keyLength) != 0)
        return false;
    value.assign(begin + keyLength, static_cast<size_t>(end - begin) - keyLength);
    return true;
}

void AddAlarm(icalcomponent* todo, int minutes) {
    // Seconds before the reference time; clamped so that no text can overflow the arithmetic.
    long long seconds = -static_cast<long long>(minutes) * 60;
    if (seconds > INT_MAX)
        seconds = INT_MAX;
    if (seconds < -INT_MAX)
        seconds = -INT_MAX;
    icaltriggertype trigger;
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_from_int(static_cast<int>(seconds));
    icalcomponent* alarm = icalcomponent_new_valarm();
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_AUDIO));
    icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
    icalcomponent_add_component(todo, alarm);
}

void ApplyLine(icalcomponent* todo, const wxChar* begin, const wxChar* end, int& status, const Logger* log) {
    wxString value;
    if (TakeValue(begin, end, KEY_START, value)) {
        AddTimeProperty(todo, ICAL_DTSTART_PROPERTY, ParseServiceTime(value, log));
    } else if (TakeValue(begin, end, KEY_LOCATION, value)) {
        AddTextProperty(todo, ICAL_LOCATION_PROPERTY, value);
    } else if (TakeValue(begin, end, KEY_STATUS, value)) {
        status = ReadLeadingInteger(value);
    } else if (TakeValue(begin, end, KEY_PERCENT, value)) {
        AddIntegerProperty(todo, ICAL_PERCENTCOMPLETE_PROPERTY, ReadLeadingInteger(value));
    } else if (TakeValue(begin, end, KEY_LAST_ACK, value)) {
        AddXProperty(todo, X_LAST_ALARM_ACK, value);
    } else if (TakeValue(begin, end, KEY_POSITION, value)) {
        AddXProperty(todo, X_TASK_POSITION, value);
    } else if (TakeValue(begin, end, KEY_TRIGGER, value)) {
        AddAlarm(todo, ReadLeadingInteger(value));
    }
}

void AppendLine(wxString& text, const wxChar* key, const wxString& value) {
    text += key;
    text += value;
    text += wxT('\n');
}

}  // namespace

int NoteStatusFromIcal(icalproperty_status status) {
    if (status == 0)
        return NOTE_STATUS_ABSENT;
    for (const StatusPair& pair : STATUS_PAIRS)
        if (pair.status == status)
            return pair.number;
    return NOTE_STATUS_X;
}

bool IcalStatusFromNote(int number, icalproperty_status& status) {
    // A STATUS of the extension kind without its text would be written as an empty "STATUS:".
    if (number == NOTE_STATUS_X)
        return false;
    for (const StatusPair& pair : STATUS_PAIRS) {
        if (pair.number == number) {
            status = pair.status;
            return true;
        }
    }
    return false;
}

void ReadDataNote(icalcomponent* todo, const wxString& text, const wxString& noteId, int& status,
                  const Logger* log) {
    const wxChar* cursor = text.wc_str();
    const wxChar* const end = cursor + text.length();
    while (cursor < end) {
        const wxChar* lineEnd = std::wmemchr(cursor, wxT('\n'), end - cursor);
        if (!lineEnd)
            lineEnd = end;
        if (lineEnd > cursor)
            ApplyLine(todo, cursor, lineEnd, status, log);
        cursor = lineEnd + 1;
    }
    AddXProperty(todo, X_DATA_ID, noteId);
}

void ReadDescriptionNote(icalcomponent* todo, const wxString& text, const wxString& noteId) {
    AddTextProperty(todo, ICAL_DESCRIPTION_PROPERTY, text);
    AddXProperty(todo, X_DESCRIPTION_ID, noteId);
}

wxString MakeDataNoteText(const icalcomponent* todo) {
    auto* c = const_cast<icalcomponent*>(todo);
    wxString text;
    if (!c)
        return text;

    if (icalproperty* start = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY)) {
        const icaltimetype time = ServiceInstant(start);
        if (icaltime_is_valid_time(time) && !icaltime_is_null_time(time))
            AppendLine(text, KEY_START, FormatServiceTime(time));
    }
    if (icalproperty* location = icalcomponent_get_first_property(c, ICAL_LOCATION_PROPERTY))
        AppendLine(text, KEY_LOCATION, FromUtf8(icalproperty_get_location(location)));

    const int status = NoteStatusFromIcal(icalcomponent_get_status(c));
    AppendLine(text, KEY_STATUS, DecimalText(status));

    if (status == NOTE_STATUS_IN_PROCESS) {
        icalproperty* percent = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY);
        if (percent && icalproperty_get_value(percent))
            AppendLine(text, KEY_PERCENT, DecimalText(icalproperty_get_percentcomplete(percent)));
    }
    const wxString lastAck = GetXProperty(c, X_LAST_ALARM_ACK);
    if (!lastAck.empty())
        AppendLine(text, KEY_LAST_ACK, lastAck);
    const wxString position = GetXProperty(c, X_TASK_POSITION);
    if (!position.empty())
        AppendLine(text, KEY_POSITION, position);

    if (icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT)) {
        if (icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY)) {
            const icaltriggertype value = icalproperty_get_trigger(trigger);
            // Minutes before the reference time; an absolute trigger has no duration and gives 0.
            AppendLine(text, KEY_TRIGGER, DecimalText(icaldurationtype_as_int(value.duration) / -60));
        }
    }
    return text;
}

wxString MakeDescriptionText(const icalcomponent* todo) {
    auto* c = const_cast<icalcomponent*>(todo);
    if (!c)
        return wxString();
    icalproperty* description = icalcomponent_get_first_property(c, ICAL_DESCRIPTION_PROPERTY);
    return description ? FromUtf8(icalproperty_get_description(description)) : wxString();
}
