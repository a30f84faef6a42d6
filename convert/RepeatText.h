// A to-do's recurrence rule as the English repeat phrase the service's setRecurrence takes.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

// Empty when there is nothing to send: no RRULE, no valid DUE, or a rule the phrases cannot express.
wxString RecurrenceToRepeat(const icalcomponent* todo);
