// The task download: the tasks read from the service, merged with the offline copy and handed to the host.
#include "sync/Download.h"
#include "convert/ServiceTime.h"
#include "convert/TaskSeries.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"
#include "sync/WorkerHandler.h"

#include <wx/ffile.h>

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

struct DownloadedTasks {
    ComponentMap online;
    ComponentList deleted;
    int32_t count = 0;
};

void AddSeries(const wxXmlNode* series, const wxString& listId, const Logger* log, DownloadedTasks& into) {
    icalcomponent* todo = ConvertTaskSeries(series, listId, log);
    if (!todo)
        return;
    ++into.count;
    const wxString uid = ComponentUid(todo);
    if (uid.empty()) {
        icalcomponent_free(todo);
        return;
    }
    into.online.Store(uid, todo);
}

void AddDeleted(const wxXmlNode* deleted, const wxString& listId, const Logger* log, DownloadedTasks& into) {
    for (const wxXmlNode* series = deleted->GetChildren(); series; series = series->GetNext()) {
        if (!IsNamed(series, L"taskseries"))
            continue;
        if (icalcomponent* todo = ConvertTaskSeries(series, listId, log))
            into.deleted.emplace_back(todo);
    }
}

// Reads the elements under "rsp"; false when there was none.
bool ReadTaskLists(const wxXmlNode* first, const Logger* log, DownloadedTasks& into) {
    bool sawElement = false;
    for (const wxXmlNode* node = first; node; node = node->GetNext()) {
        if (node->GetType() != wxXML_ELEMENT_NODE)
            continue;
        sawElement = true;
        if (!IsNamed(node, L"tasks"))
            continue;
        for (const wxXmlNode* list = node->GetChildren(); list; list = list->GetNext()) {
            if (!IsNamed(list, L"list"))
                continue;
            const wxString listId = Attribute(list, L"id");
            for (const wxXmlNode* child = list->GetChildren(); child; child = child->GetNext()) {
                if (IsNamed(child, L"taskseries")) {
                    AddSeries(child, listId, log, into);
                } else if (IsNamed(child, L"deleted")) {
                    AddDeleted(child, listId, log, into);
                }
            }
        }
    }
    return sawElement;
}

void WriteDump(const RTMSettings& settings, const wxString& reply) {
    const wxString path = wxFileName(settings.dataDir.GetPath(), wxT("RTMDump.xml")).GetFullPath();
    wxFFile dump(path, wxT("wb"));
    if (!dump.IsOpened())
        return;
    const wxScopedCharBuffer utf8 = reply.utf8_str();
    dump.Write(utf8.data(), utf8.length());
}
}  // namespace

namespace {
// Queues the merge's uploads, leaving out copies of to-dos whose task exists already.
void QueueMergeUploads(WorkerHandler& handler, COfflineCalendar& offline) {
    for (const IcalComponentPtr& todo : offline.ToUpload()) {
        const wxString uid = ComponentUid(todo.get());
        TaskIdentity identity;
        if (handler.FindIdentity(uid, identity) && identity.state == TaskIdentity::CREATED) {
            // The host's copy of a to-do whose upload already made its task, left behind under the
            // host's UID: the task stands under its own UID, so this copy goes.
            offline.RemoveByUid(uid);
            continue;
        }
        handler.EnqueueUnlessWaiting(icalcomponent_new_clone(todo.get()));
    }
}
}  // namespace

uint32_t DownloadTasks(CRTMConnection& connection, WorkerHandler& handler, const wxString& token,
                       COfflineCalendar* offline, const icaltimetype& lastRead) {
    RTMSettings& settings = connection.Settings();
    const bool incremental = IsKnownTime(lastRead);
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = wxT("rtm.tasks.getList");
    if (!connection.listId.empty())
        params[wxT("list_id")] = connection.listId;
    if (incremental) {
        params[wxT("last_sync")] = FormatServiceTime(lastRead);
    } else {
        params[wxT("filter")] = wxT("status:incomplete");
    }
    wxString reply;
    const uint32_t status = connection.CallMethod(params, reply);
    if (Corvane_GetLogLevel() & LOG_DEBUG)
        WriteDump(settings, reply);

    DownloadedTasks tasks;
    const wxXmlNode* first = connection.ParseReply(status, wxT("rtm.tasks.getList"), reply);
    const uint32_t result = first ? RTM_OK : connection.LastWorkResult();
    // Neither the reply text nor, once read, its tree is needed again: freed early, a large
    // download does not hold them beside the to-dos, the merge and the save.
    reply.clear();
    reply.Shrink();
    const bool sawElement = ReadTaskLists(first, &handler.GetLogger(), tasks);
    connection.ReleaseReply();

    // A to-do whose change still waits for the service keeps the host's version until the change
    // is sent: the service's older one would undo the user's edit, or bring back a deletion.
    const auto pending = [&handler](const wxString& uid) { return handler.IsChangeWaiting(uid); };
    if (offline && sawElement) {
        std::vector<icalcomponent*> deleted;
        for (const IcalComponentPtr& todo : tasks.deleted)
            deleted.push_back(todo.get());
        offline->Merge(tasks.online, deleted, incremental, settings.lastSync, pending);
        QueueMergeUploads(handler, *offline);
        offline->Save(true);
        for (const IcalComponentPtr& todo : offline->ToRemove()) {
            handler.HandOver(icalcomponent_new_clone(todo.get()), ADD_REMOVE_MERGED_AWAY);
        }
        settings.lastSync = static_cast<int32_t>(std::time(nullptr));
        handler.RecordLastSync(settings.lastSync);
        handler.GetLogger().Format(LOG_DEBUG, wxT("Online and offline synced on %i"), settings.lastSync);
    }

    for (IcalComponentPtr& todo : tasks.online.TakeAll()) {
        if (pending(ComponentUid(todo.get())))
            continue;
        handler.HandOver(todo.release(), ADD_SHOW);
    }
    for (IcalComponentPtr& todo : tasks.deleted)
        handler.HandOver(todo.release(), ADD_REMOVE_DELETED);
    if (first && !incremental) {
        // A host's copy of a to-do whose upload made its task stands under the task's UID now; one
        // that a failure or a crossing edit left behind under the host's UID goes.
        for (const wxString& uid : handler.SettledHostUids()) {
            icalcomponent* gone = icalcomponent_new_vtodo();
            icalcomponent_set_uid(gone, uid.utf8_str());
            handler.HandOver(gone, ADD_REMOVE_DELETED);
        }
    }
    handler.GetLogger().Format(LOG_INFO, wxT("Read %i tasks from calendar: %s"), tasks.count,
                               handler.GetName());
    return result;
}
