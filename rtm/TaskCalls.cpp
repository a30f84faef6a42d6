// The service's calls that the task operations build on: the list look-up, a timeline, and the
// tasks changed since a time.
#include "convert/Logger.h"
#include "convert/ServiceTime.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

namespace {
bool IsNamed(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

wxString Attribute(const wxXmlNode* node, const wchar_t* name) {
    return node->GetAttribute(name, wxString());
}
}  // namespace

RTMParams UserCallParams(const wxString& token, const wxString& method) {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = method;
    return params;
}

uint32_t CRTMConnection::FindListId(const wxString& token, const wxString& listName, wxString& listIdOut) {
    RTMParams params = UserCallParams(token, wxT("rtm.lists.getList"));
    wxString reply;
    const uint32_t status = CallMethod(params, reply);

    wxString available;
    const wxXmlNode* first = ParseReply(status, wxT("rtm.lists.getList"), reply);
    // Without the account's lists the configured one cannot be told from "all lists".
    if (!first)
        return LastWorkResult();
    for (const wxXmlNode* node = first; node; node = node->GetNext()) {
        if (!IsNamed(node, L"lists"))
            continue;
        for (const wxXmlNode* list = node->GetChildren(); list; list = list->GetNext()) {
            if (!IsNamed(list, L"list"))
                continue;
            const wxString name = Attribute(list, L"name");
            if (name.IsSameAs(listName, false)) {
                listIdOut = Attribute(list, L"id");
                return status;
            }
            available += name + wxT("\n");
        }
    }
    if (listName.empty() || available.empty())
        return status;

    const wxString text =
        Translate(wxT("Unable to find the Remember The Milk task list!")) + wxT("\n") +
        wxString::Format(Translate(wxT("The list \"%s\" could not be found. Available lists are:")),
                         listName) +
        wxT("\n\n") + available + wxT("\n") +
        Translate(wxT("Please write the name exactly like it is in the above list."));
    Corvane_Message(text.wc_str(), MSG_STYLE_INFO, true);
    return RTM_FAILED;
}

uint32_t CRTMConnection::CreateTimeline(const wxString& token, wxString& timeline) {
    RTMParams params = UserCallParams(token, wxT("rtm.timelines.create"));
    wxString reply;
    const uint32_t status = CallMethod(params, reply);
    if (!ParseReply(status, wxT("rtm.timelines.create"), reply))
        return LastWorkResult();
    timeline = ExtractElement(reply, wxT("timeline"));
    if (timeline.empty()) {
        ReportError(Translate(wxT("Unable to parse the timeline.")), 0, 200);
        // An answer without its one value is no refusal of the work: it is tried again later.
        return RTM_RETRY_LATER;
    }
    return RTM_OK;
}

const wxXmlNode* CRTMConnection::GetRecentTasks(const wxString& token, const wxString& list, int64_t since) {
    RTMParams params = UserCallParams(token, wxT("rtm.tasks.getList"));
    if (!list.empty())
        params[wxT("list_id")] = list;
    params[wxT("last_sync")] = FormatServiceTime(
        icaltime_from_timet_with_zone(static_cast<time_t>(since), 0, icaltimezone_get_utc_timezone()));
    wxString reply;
    const uint32_t status = CallMethod(params, reply);
    return ParseReply(status, wxT("rtm.tasks.getList"), reply);
}
