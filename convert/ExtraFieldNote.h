// The two notes that carry what the service has no field for: the extra-field note ("C2:data", key
// lines for start, location, status, percent, alarm and two host values) and the description note
// ("C2:description", the DESCRIPTION as it stands).
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class Logger;

extern const wxChar* const DATA_NOTE_TITLE;         // "C2:data"
extern const wxChar* const DESCRIPTION_NOTE_TITLE;  // "C2:description"

extern const char* const X_DATA_ID;
extern const char* const X_DESCRIPTION_ID;
extern const char* const X_LAST_ALARM_ACK;
extern const char* const X_TASK_POSITION;

// The status numbers stored in the note. They are part of the note format and stay fixed, whatever
// numbers the libical in use gives its status enumeration.
enum NoteStatus {
    NOTE_STATUS_ABSENT = 0,  // no STATUS property
    NOTE_STATUS_X = 10051,
    NOTE_STATUS_TENTATIVE = 10052,
    NOTE_STATUS_CONFIRMED = 10053,
    NOTE_STATUS_COMPLETED = 10054,
    NOTE_STATUS_NEEDS_ACTION = 10055,
    NOTE_STATUS_CANCELLED = 10056,
    NOTE_STATUS_IN_PROCESS = 10057,
    NOTE_STATUS_DRAFT = 10058,
    NOTE_STATUS_FINAL = 10059,
    NOTE_STATUS_NONE = 10060,
};

// libical's status (0 for none) as the note's number. Statuses the note has no number for are
// written as an extension value.
int NoteStatusFromIcal(icalproperty_status status);
// The libical status to set for a note number; false when no STATUS should be set (0, unknown
// numbers, and the extension value, whose text the note does not keep).
bool IcalStatusFromNote(int number, icalproperty_status& status);

// Applies an extra-field note to the to-do being built: DTSTART, LOCATION, PERCENT-COMPLETE, the two
// host values, one VALARM per "Trigger: " line, then X-CORVANE-RTM-DATA-ID. A "Status: " line sets
// `status` (a note number), which the caller applies once all of the series is read.
void ReadDataNote(icalcomponent* todo, const wxString& text, const wxString& noteId, int& status,
                  const Logger* log);
// DESCRIPTION with the whole text, then X-CORVANE-RTM-DESCRIPTION-ID.
void ReadDescriptionNote(icalcomponent* todo, const wxString& text, const wxString& noteId);

// The extra-field note text of a to-do; never empty, as the "Status: " line is always written.
wxString MakeDataNoteText(const icalcomponent* todo);
// The DESCRIPTION text, or empty.
wxString MakeDescriptionText(const icalcomponent* todo);
