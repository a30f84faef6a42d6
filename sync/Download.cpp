// The task download: the tasks read from the service, merged with the offline copy and handed to the host.
#include "sync/Download.h"
#include "convert/ServiceTime.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"
#include "sync/TaskListReader.h"
#include "sync/WorkerHandler.h"

#include <wx/filename.h>

#include <ctime>

namespace {
bool IsKnownTime(const icaltimetype& time) {
    return !icaltime_is_null_time(time) && icaltime_is_valid_time(time);
}

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
    RTMParams params = UserCallParams(token, wxT("rtm.tasks.getList"));
    if (!connection.listId.empty())
        params[wxT("list_id")] = connection.listId;
    if (incremental) {
        params[wxT("last_sync")] = FormatServiceTime(lastRead);
    } else {
        params[wxT("filter")] = wxT("status:incomplete");
    }
    // Each series becomes a to-do as it arrives; the to-dos count only once the whole reply has
    // come and answers the call: a reply cut short lacks tasks that a full download would remove.
    CTaskListReader reader(&handler.GetLogger());
    if (Corvane_GetLogLevel() & LOG_DEBUG)
        reader.DumpTo(wxFileName(settings.dataDir.GetPath(), wxT("RTMDump.xml")).GetFullPath());
    const uint32_t status = connection.CallMethod(params, reader);
    const bool answered = connection.CheckEnvelope(status, wxT("rtm.tasks.getList"), reader.Envelope());
    DownloadedTasks tasks;
    if (answered)
        tasks = std::move(reader.Tasks());
    const bool sawElement = answered && reader.Envelope().hasElement;
    const uint32_t result = answered ? RTM_OK : connection.LastWorkResult();

    // A to-do whose change still waits for the service keeps the host's version until the change
    // is sent: the service's older one would undo the user's edit, or bring back a deletion.
    const auto pending = [&handler](const wxString& uid) { return handler.IsChangeWaiting(uid); };
    if (offline && sawElement) {
        std::vector<icalcomponent*> deleted;
        for (const IcalComponentPtr& todo : tasks.deleted)
            deleted.push_back(todo.get());
        offline->MergeTaking(tasks.online, deleted, incremental, settings.lastSync, pending);
        QueueMergeUploads(handler, *offline);
        offline->Save(true);
        for (const IcalComponentPtr& todo : offline->ToRemove()) {
            handler.HandOver(icalcomponent_new_clone(todo.get()), ADD_REMOVE_MERGED_AWAY);
        }
        settings.lastSync = static_cast<int32_t>(std::time(nullptr));
        handler.RecordLastSync(settings.lastSync);
        handler.GetLogger().Format(LOG_DEBUG, wxT("Online and offline synced on %i"), settings.lastSync);
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
            handler.HandOver(todo, ADD_SHOW);
    }
    for (IcalComponentPtr& todo : tasks.deleted)
        handler.HandOver(todo.release(), ADD_REMOVE_DELETED);
    if (sawElement && !incremental) {
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
