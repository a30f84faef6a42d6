// The task download: the configured list found by name, and the tasks read from the service,
// merged with the offline copy and handed to the host.
#include "convert/ServiceTime.h"
#include "plugin/ConfigGroup.h"
#include "plugin/HostApi.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"
#include "sync/TaskListReader.h"

#include <wx/filename.h>

#include <ctime>

namespace {
bool IsNamed(const wxXmlNode* node, const wchar_t* name) {
    return node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

wxString Attribute(const wxXmlNode* node, const wchar_t* name) {
    return node->GetAttribute(name, wxString());
}

bool IsKnownTime(const icaltimetype& time) {
    return !icaltime_is_null_time(time) && icaltime_is_valid_time(time);
}

}  // namespace

uint32_t CRTMConnection::FindListId(const wxString& token, const wxString& listName, wxString& listIdOut) {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = wxT("rtm.lists.getList");
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

uint32_t CRTMConnection::DownloadTasks(const wxString& token, COfflineCalendar* offline,
                                       const icaltimetype& lastRead) {
    const bool incremental = IsKnownTime(lastRead);
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = wxT("rtm.tasks.getList");
    if (!listId.empty())
        params[wxT("list_id")] = listId;
    if (incremental) {
        params[wxT("last_sync")] = FormatServiceTime(lastRead);
    } else {
        params[wxT("filter")] = wxT("status:incomplete");
    }
    // Each series becomes a to-do as it arrives; the to-dos count only once the whole reply has
    // come and answers the call: a reply cut short lacks tasks that a full download would remove.
    CTaskListReader reader(handler);
    if (Corvane_GetLogLevel() & LOG_DEBUG)
        reader.DumpTo(wxFileName(settings->dataDir.GetPath(), wxT("RTMDump.xml")).GetFullPath());
    const uint32_t status = CallMethod(params, reader);
    const bool answered = CheckEnvelope(status, wxT("rtm.tasks.getList"), reader.Envelope());
    DownloadedTasks tasks;
    if (answered)
        tasks = std::move(reader.Tasks());
    const bool sawElement = answered && reader.Envelope().hasElement;
    const uint32_t result = answered ? RTM_OK : LastWorkResult();

    // A to-do whose change still waits for the service keeps the host's version until the change
    // is sent: the service's older one would undo the user's edit, or bring back a deletion.
    const auto pending = [this](const wxString& uid) { return handler->IsChangeWaiting(uid); };
    if (offline && sawElement) {
        std::vector<icalcomponent*> deleted;
        for (const IcalComponentPtr& todo : tasks.deleted)
            deleted.push_back(todo.get());
        offline->MergeTaking(tasks.online, deleted, incremental, settings->lastSync, pending);
        QueueMergeUploads(*offline);
        offline->Save(true);
        for (const IcalComponentPtr& todo : offline->ToRemove()) {
            Corvane_AddComponent(icalcomponent_new_clone(todo.get()), handler, 0x8006);
        }
        settings->lastSync = static_cast<int32_t>(std::time(nullptr));
        handler->RecordLastSync(settings->lastSync);
        const wxString group = handler->GetSection() + wxT("/") + CalendarGroupKey(handler->GetName());
        Corvane_WriteSetting(group.wc_str(), L"LastSync",
                             wxString::Format(wxT("%i"), settings->lastSync).wc_str());
        handler->LogFormat(LOG_DEBUG, wxT("Online and offline synced on %i"), settings->lastSync);
    }

    for (const ComponentMap::Entry& entry : tasks.online) {
        if (pending(entry.uid))
            continue;
        icalcomponent* todo = tasks.online.Detach(entry.uid);
        // A to-do the merge moved into the offline store reaches the host as a copy of it.
        const icalcomponent* kept = todo || !offline ? nullptr : offline->Components().Find(entry.uid);
        if (kept)
            todo = icalcomponent_new_clone(const_cast<icalcomponent*>(kept));
        if (todo)
            Corvane_AddComponent(todo, handler, 0);
    }
    for (IcalComponentPtr& todo : tasks.deleted)
        Corvane_AddComponent(todo.release(), handler, 0x8004);
    if (sawElement && !incremental) {
        // A host's copy of a to-do whose upload made its task stands under the task's UID now; one
        // that a failure or a crossing edit left behind under the host's UID goes.
        for (const wxString& uid : handler->SettledHostUids()) {
            icalcomponent* gone = icalcomponent_new_vtodo();
            icalcomponent_set_uid(gone, uid.utf8_str());
            Corvane_AddComponent(gone, handler, 0x8004);
        }
    }
    handler->LogFormat(LOG_INFO, wxT("Read %i tasks from calendar: %s"), tasks.count, handler->GetName());
    return result;
}

void CRTMConnection::QueueMergeUploads(COfflineCalendar& offline) {
    for (const IcalComponentPtr& todo : offline.ToUpload()) {
        const wxString uid = ComponentUid(todo.get());
        TaskIdentity identity;
        if (handler->FindIdentity(uid, identity) && identity.state == TaskIdentity::CREATED) {
            // The host's copy of a to-do whose upload already made its task, left behind under the
            // host's UID: the task stands under its own UID, so this copy goes.
            offline.RemoveByUid(uid);
            continue;
        }
        handler->EnqueueUnlessWaiting(icalcomponent_new_clone(todo.get()));
    }
}
