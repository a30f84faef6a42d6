#include "convert/TaskUid.h"

#include "convert/Logger.h"
#include "convert/PropertyHelpers.h"
#include "plugin/HostApi.h"

#include <cstring>

const char* const X_TASK_ID = "X-CORVANE-RTM-TASK-ID";

bool ParseTaskUid(const icalcomponent* component, wxString& listId, wxString& seriesId, wxString& taskId,
                  const Logger* log) {
    if (!component)
        return false;
    const char* rawUid = icalcomponent_get_uid(const_cast<icalcomponent*>(component));
    if (!rawUid) {
        LogThrough(log, LOG_ERROR, wxT("The task is missing an UID."));
        return false;
    }
    const wxString uid = FromUtf8(rawUid);
    const int colon = uid.Find(wxT(':'));
    if (colon == wxNOT_FOUND) {
        LogThrough(log, LOG_ERROR, wxT("Unable to parse the task UID: %s."), uid);
        return false;
    }
    listId = uid.Left(colon);
    seriesId = uid.Mid(colon + 1);
    taskId = GetXProperty(component, X_TASK_ID);
    return true;
}

void SetTaskIds(icalcomponent* component, const TaskIds& ids) {
    icalcomponent_set_uid(component, ToUtf8(ids.Uid()).c_str());
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p;) {
        icalproperty* next = icalcomponent_get_next_property(component, ICAL_X_PROPERTY);
        const char* name = icalproperty_get_x_name(p);
        if (name && std::strcmp(name, X_TASK_ID) == 0) {
            icalcomponent_remove_property(component, p);
            icalproperty_free(p);
        }
        p = next;
    }
    AddXProperty(component, X_TASK_ID, ids.task);
}
