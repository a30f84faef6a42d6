// After an add whose answer was lost: did the service make the task? It is looked for among the
// tasks changed since the add went out, by list, name and creation time.
#include "sync/AddedTaskLookup.h"
#include "convert/Logger.h"
#include "convert/ServiceTime.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/RecentTasks.h"

namespace {
// The two clocks need not agree to the second.
const int64_t CLOCK_MARGIN_SECONDS = 120;

const wxXmlNode* FirstChildNamed(const wxXmlNode* parent, const wchar_t* name) {
    for (const wxXmlNode* child = parent->GetChildren(); child; child = child->GetNext()) {
        if (IsElementNamed(child, name))
            return child;
    }
    return nullptr;
}

struct Candidate {
    TaskIds ids;
    int64_t created = 0;
};
}  // namespace

LookupResult FindAddedTask(CRTMConnection& connection, const Logger* log, const wxString& token,
                           const wxString& list, const wxString& name, int64_t since, TaskIds& found) {
    const int64_t from = since - CLOCK_MARGIN_SECONDS;
    const wxXmlNode* first = connection.GetRecentTasks(token, list, from);
    if (!first)
        return connection.LastWorkResult() == RTM_FAILED ? LookupResult::UNDECIDED : LookupResult::FAILED;

    std::vector<Candidate> candidates;
    ForEachListedSeries(first, [&](const wxXmlNode* series, const wxString& listId) {
        const wxXmlNode* task = FirstChildNamed(series, L"task");
        if (series->GetAttribute(wxT("name"), wxString()) != name || !task ||
            !task->GetAttribute(wxT("deleted"), wxString()).empty())
            return true;
        const icaltimetype created = ParseServiceTime(series->GetAttribute(wxT("created"), wxString()), log);
        Candidate c;
        c.created = icaltime_is_null_time(created) ? 0 : static_cast<int64_t>(icaltime_as_timet(created));
        c.ids = {listId, series->GetAttribute(wxT("id"), wxString()),
                 task->GetAttribute(wxT("id"), wxString())};
        if (c.created >= from)
            candidates.push_back(c);
        return true;
    });
    if (candidates.empty())
        return LookupResult::NOT_FOUND;
    // The earliest one made after the add went out is the add's own.
    const Candidate* best = &candidates.front();
    for (const Candidate& c : candidates) {
        if (c.created < best->created)
            best = &c;
    }
    if (candidates.size() > 1) {
        LogThrough(log, LOG_WARNING,
                   wxT("%i tasks named \"%s\" were added since; the first is taken as ours."),
                   static_cast<int>(candidates.size()), name);
    }
    found = best->ids;
    return LookupResult::FOUND;
}
