#include "sync/RecentTasks.h"

#include "convert/ServiceTime.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

bool IsElementNamed(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

void ForEachListedSeries(const wxXmlNode* first,
                         const std::function<bool(const wxXmlNode* series, const wxString& listId)>& use) {
    for (const wxXmlNode* tasks = first; tasks; tasks = tasks->GetNext()) {
        if (!IsElementNamed(tasks, L"tasks"))
            continue;
        for (const wxXmlNode* list = tasks->GetChildren(); list; list = list->GetNext()) {
            if (!IsElementNamed(list, L"list"))
                continue;
            const wxString listId = list->GetAttribute(wxT("id"), wxString());
            for (const wxXmlNode* series = list->GetChildren(); series; series = series->GetNext()) {
                if (IsElementNamed(series, L"taskseries") && !use(series, listId))
                    return;
            }
        }
    }
}

const wxXmlNode* CRTMConnection::GetRecentTasks(const wxString& token, const wxString& list, int64_t since) {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = wxT("rtm.tasks.getList");
    if (!list.empty())
        params[wxT("list_id")] = list;
    params[wxT("last_sync")] = FormatServiceTime(
        icaltime_from_timet_with_zone(static_cast<time_t>(since), 0, icaltimezone_get_utc_timezone()));
    wxString reply;
    const uint32_t status = CallMethod(params, reply);
    return ParseReply(status, wxT("rtm.tasks.getList"), reply);
}
