// The service's identifiers of a task as a to-do carries them: UID = list id ":" series id, and the
// task id in X-CORVANE-RTM-TASK-ID.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class CRTMHandler;

extern const char* const X_TASK_ID;

// False (and the outputs untouched) when the component has no UID of that form; logged at level 1.
bool ParseTaskUid(const icalcomponent* component, wxString& listId, wxString& seriesId, wxString& taskId,
                  const CRTMHandler* handler);
