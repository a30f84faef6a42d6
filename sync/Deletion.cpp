// The task deletion: the task behind a to-do the user deleted in the host, deleted on the service.
#include "convert/TaskUid.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

uint32_t CRTMConnection::DeleteTask(const wxString& token, const icalcomponent* todo) {
    wxString timeline;
    const uint32_t timelineStatus = CreateTimeline(token, timeline);
    if (timeline.empty())
        return timelineStatus;

    wxString list, series, task;
    if (!ParseTaskUid(todo, list, series, task, handler))
        return timelineStatus;

    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("timeline")] = timeline;
    params[wxT("list_id")] = list;
    params[wxT("taskseries_id")] = series;
    params[wxT("task_id")] = task;
    params[wxT("method")] = wxT("rtm.tasks.delete");
    wxString reply;
    const uint32_t status = CallMethod(params, reply);
    ParseReply(status, wxT("rtm.tasks.delete"), reply);
    return status;
}
