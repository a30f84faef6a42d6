// The service's identifiers of a task as a to-do carries them: UID = list id ":" series id, and the
// task id in X-CORVANE-RTM-TASK-ID.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class Logger;

extern const char* const X_TASK_ID;

// The service's identifiers of one task.
struct TaskIds {
    wxString list, series, task;
    // The UID of the task's to-do.
    wxString Uid() const { return list + wxT(":") + series; }
};

// Gives the to-do the UID and task id of the task `ids`.
void SetTaskIds(icalcomponent* component, const TaskIds& ids);

// Whether a UID names a list and a task series, the form every to-do from the service carries.
inline bool HasTaskUidForm(const wxString& uid) {
    return uid.Find(wxT(':')) != wxNOT_FOUND;
}

// False (and the outputs untouched) when the component has no UID of that form; logged at level 1.
bool ParseTaskUid(const icalcomponent* component, wxString& listId, wxString& seriesId, wxString& taskId,
                  const Logger* log);
