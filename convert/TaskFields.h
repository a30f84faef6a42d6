// A to-do reduced to the values the service stores, in the service's terms. The upload makes one
// record from the host's to-do and one from the service's copy, and sends the fields that differ.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

struct TaskFields {
    wxString name;
    wxString due;           // FormatServiceTime of DUE
    wxString data_note;     // the extra-field note text
    wxString data_note_id;  // X-CORVANE-RTM-DATA-ID
    wxString description;
    wxString description_note_id;  // X-CORVANE-RTM-DESCRIPTION-ID
    wxString has_due_time;         // "0" for a DATE due, "1" otherwise, empty without due
    wxString priority;             // "0" to "3"
    wxString repeat;               // the repeat phrase
    wxString tags;                 // comma-separated, spaces as underscores
    wxString url;
    bool completed = false;  // STATUS:COMPLETED
};

bool operator==(const TaskFields& a, const TaskFields& b);
inline bool operator!=(const TaskFields& a, const TaskFields& b) {
    return !(a == b);
}

// The component is only read.
TaskFields MakeTaskFields(const icalcomponent* todo);

// iCalendar priority (0 none, 1 highest ... 9 lowest) as the service's "0" to "3".
wxString PriorityToService(int priority);
