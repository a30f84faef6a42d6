// The task deletion: the task behind a to-do the user deleted in the host, deleted on the service.
#include "sync/Deletion.h"

#include "convert/Logger.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

uint32_t DeleteTask(CRTMConnection& connection, const Logger* log, const wxString& token,
                    const icalcomponent* todo, const TaskIds* known) {
    wxString timeline;
    const uint32_t timelineResult = connection.CreateTimeline(token, timeline);
    if (timelineResult != RTM_OK)
        return timelineResult;

    TaskIds ids;
    if (known) {
        ids = *known;
    } else if (!ParseTaskUid(todo, ids.list, ids.series, ids.task, log)) {
        return RTM_OK;  // never reached the service: nothing to delete there
    }

    RTMParams params = UserCallParams(token, wxT("rtm.tasks.delete"));
    params[wxT("timeline")] = timeline;
    params[wxT("list_id")] = ids.list;
    params[wxT("taskseries_id")] = ids.series;
    params[wxT("task_id")] = ids.task;
    wxString reply;
    const uint32_t status = connection.CallMethod(params, reply);
    if (!connection.ParseReply(status, wxT("rtm.tasks.delete"), reply))
        return connection.LastWorkResult();
    return RTM_OK;
}
