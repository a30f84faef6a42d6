// After an add whose answer was lost: did the service make the task? It is looked for among the
// tasks changed since the add went out, by list, name and creation time.
#include "convert/ServiceTime.h"
#include "plugin/HostApi.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"

namespace {
// The two clocks need not agree to the second.
const int64_t CLOCK_MARGIN_SECONDS = 120;

bool IsElement(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

const wxXmlNode* FirstChildNamed(const wxXmlNode* parent, const wchar_t* name) {
    for (const wxXmlNode* child = parent->GetChildren(); child; child = child->GetNext()) {
        if (IsElement(child, name))
            return child;
    }
    return nullptr;
}

struct Candidate {
    TaskIds ids;
    int64_t created = 0;
};
}  // namespace

LookupResult CRTMConnection::FindAddedTask(const wxString& token, const wxString& list, const wxString& name,
                                           int64_t since, TaskIds& found) {
    const int64_t from = since - CLOCK_MARGIN_SECONDS;
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = wxT("rtm.tasks.getList");
    if (!list.empty())
        params[wxT("list_id")] = list;
    params[wxT("last_sync")] = FormatServiceTime(
        icaltime_from_timet_with_zone(static_cast<time_t>(from), 0, icaltimezone_get_utc_timezone()));
    wxString reply;
    const uint32_t status = CallMethod(params, reply);
    const wxXmlNode* first = ParseReply(status, wxT("rtm.tasks.getList"), reply);
    if (!first) {
        const uint32_t result = LastWorkResult();
        return result == RTM_FAILED ? LookupResult::UNDECIDED : LookupResult::FAILED;
    }

    std::vector<Candidate> candidates;
    for (const wxXmlNode* node = first; node; node = node->GetNext()) {
        if (!IsElement(node, L"tasks"))
            continue;
        for (const wxXmlNode* listNode = node->GetChildren(); listNode; listNode = listNode->GetNext()) {
            if (!IsElement(listNode, L"list"))
                continue;
            for (const wxXmlNode* series = listNode->GetChildren(); series; series = series->GetNext()) {
                if (!IsElement(series, L"taskseries") ||
                    series->GetAttribute(wxT("name"), wxString()) != name)
                    continue;
                const icaltimetype created =
                    ParseServiceTime(series->GetAttribute(wxT("created"), wxString()), handler);
                const wxXmlNode* task = FirstChildNamed(series, L"task");
                if (icaltime_is_null_time(created) || !task)
                    continue;
                Candidate c;
                c.created = static_cast<int64_t>(icaltime_as_timet(created));
                c.ids.list = listNode->GetAttribute(wxT("id"), wxString());
                c.ids.series = series->GetAttribute(wxT("id"), wxString());
                c.ids.task = task->GetAttribute(wxT("id"), wxString());
                if (c.created >= from && task->GetAttribute(wxT("deleted"), wxString()).empty())
                    candidates.push_back(c);
            }
        }
    }
    if (candidates.empty())
        return LookupResult::NOT_FOUND;
    // The earliest one made after the add went out is the add's own.
    const Candidate* best = &candidates.front();
    for (const Candidate& c : candidates) {
        if (c.created < best->created)
            best = &c;
    }
    if (candidates.size() > 1) {
        LogThrough(handler, LOG_WARNING,
                   wxT("%i tasks named \"%s\" were added since; the first is taken as ours."),
                   static_cast<int>(candidates.size()), name);
    }
    found = best->ids;
    return LookupResult::FOUND;
}
