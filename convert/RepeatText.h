// A to-do's recurrence rule as the English repeat phrase the service's setRecurrence takes.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

// Empty when there is nothing to send: no RRULE, no valid DUE, or a rule the phrases cannot express.
wxString RecurrenceToRepeat(const icalcomponent* todo);

// True when the to-do has a rule but no valid DUE: its phrase is empty for want of a due, not
// because the rule was removed, so the service's repeat must stay as it is.
bool RepeatAwaitsDue(const icalcomponent* todo);
