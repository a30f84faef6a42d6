// The task upload: one to-do of the host written to the service, sending only the fields that
// differ from what the service holds, then read back into the host and the offline copy.
#include "sync/Upload.h"
#include "convert/RepeatText.h"
#include "convert/ServiceTime.h"
#include "convert/TaskFields.h"
#include "convert/TaskSeries.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"
#include "sync/RecentTasks.h"
#include "sync/WorkerHandler.h"

#include <ctime>
#include <functional>

namespace {

bool IsNamed(const wxXmlNode* node, const wchar_t* name) {
    return node && node->GetType() == wxXML_ELEMENT_NODE && node->GetName().IsSameAs(name, false);
}

const wxXmlNode* FirstElement(const wxXmlNode* parent) {
    for (const wxXmlNode* child = parent->GetChildren(); child; child = child->GetNext()) {
        if (child->GetType() == wxXML_ELEMENT_NODE)
            return child;
    }
    return nullptr;
}

// Calls `use` with every task series of a reply (the first child of each "list" element),
// converted; stops when `use` returns false. The component is the caller's to keep or free.
bool ForEachSeries(const wxXmlNode* first, const Logger* log,
                   const std::function<bool(icalcomponent*)>& use) {
    for (const wxXmlNode* node = first; node; node = node->GetNext()) {
        if (!IsNamed(node, L"list"))
            continue;
        const wxXmlNode* series = FirstElement(node);
        if (!IsNamed(series, L"taskseries"))
            continue;
        icalcomponent* todo = ConvertTaskSeries(series, node->GetAttribute(wxT("id"), wxString()), log);
        if (todo && !use(todo))
            return false;
    }
    return true;
}

void AddTaskPath(RTMParams& params, const TaskIds& ids, const wxString& timeline) {
    params[wxT("list_id")] = ids.list;
    params[wxT("taskseries_id")] = ids.series;
    params[wxT("task_id")] = ids.task;
    params[wxT("timeline")] = timeline;
}
}  // namespace

namespace {
// The note id to edit: the service's own when it told us the task's current notes (a queued copy
// of the to-do may not know a note an earlier upload added); none for a task just added, whose
// to-do may still name the notes of another task.
wxString NoteIdToUse(bool isNew, bool haveCurrent, const wxString& wantedId, const wxString& currentId) {
    if (isNew)
        return wxString();
    return haveCurrent ? currentId : wantedId;
}
}  // namespace

const Logger* CTaskUpload::Log() const {
    return &m_Handler.GetLogger();
}

uint32_t CTaskUpload::Run(const wxString& token, const icalcomponent* todo, COfflineCalendar* offline,
                          const UploadTarget& target) {
    m_Token = token;
    m_Todo = todo;
    const uint32_t timelineResult = m_Connection.CreateTimeline(token, m_Timeline);
    if (timelineResult != RTM_OK)
        return timelineResult;

    m_Wanted = MakeTaskFields(todo);
    if (target.known) {
        m_Ids = *target.known;
    } else {
        m_IsNew = !ParseTaskUid(todo, m_Ids.list, m_Ids.series, m_Ids.task, Log());
        if (!m_IsNew && !m_Connection.listId.empty() && m_Connection.listId != m_Ids.list)
            m_IsNew = true;  // moved to the configured list
    }
    m_LastMethod = m_IsNew ? wxT("rtm.tasks.add") : wxT("rtm.tasks.setName");

    uint32_t result = m_IsNew ? Create(target) : Rename();
    if (result == RTM_OK)
        result = SendChangedFields();
    if (result != RTM_OK)
        return result;

    uint32_t readBack = RTM_OK;
    if (m_LastHoldsTask) {
        readBack = ReadBack(m_LastMethod, m_LastReply, todo, offline, target);
    } else if (ComponentUid(todo) != m_Ids.Uid()) {
        // The host still knows the to-do by another UID: it must learn the task's own.
        readBack = FetchAndReadBack(token, m_Ids, todo, offline, target);
    }
    if (readBack != RTM_OK)
        return readBack;
    return m_Refused ? RTM_FAILED : RTM_OK;
}

uint32_t CTaskUpload::Rename() {
    RTMParams params = UserCallParams(m_Token, wxT("rtm.tasks.setName"));
    AddTaskPath(params, m_Ids, m_Timeline);
    params[wxT("name")] = m_Wanted.name;
    wxString reply;
    const uint32_t status = m_Connection.CallMethod(params, reply);
    const wxXmlNode* first = m_Connection.ParseReply(status, wxT("rtm.tasks.setName"), reply);
    if (!first)
        return m_Connection.LastWorkResult();
    ForEachSeries(first, Log(), [&](icalcomponent* c) {
        m_Current = MakeTaskFields(c);
        m_HaveCurrent = true;
        icalcomponent_free(c);
        return true;
    });
    m_LastReply = reply;
    return RTM_OK;
}

uint32_t CTaskUpload::Create(const UploadTarget& target) {
    RTMParams params = UserCallParams(m_Token, wxT("rtm.tasks.add"));
    params[wxT("timeline")] = m_Timeline;
    if (!m_Connection.listId.empty())
        params[wxT("list_id")] = m_Connection.listId;
    params[wxT("name")] = m_Wanted.name;
    if (target.beforeAdd)
        target.beforeAdd(m_Wanted.name);
    wxString reply;
    const uint32_t status = m_Connection.CallMethod(params, reply);
    const wxXmlNode* first = m_Connection.ParseReply(status, wxT("rtm.tasks.add"), reply);
    if (!first)
        return m_Connection.LastWorkResult();
    const bool parsed = ForEachSeries(first, Log(), [&](icalcomponent* c) {
        TaskIds read;
        const bool ok = ParseTaskUid(c, read.list, read.series, read.task, Log());
        icalcomponent_free(c);
        if (ok)
            m_Ids = read;
        return ok;
    });
    if (!parsed || m_Ids.series.empty()) {
        // The task may exist now; the retry looks for it before it adds again.
        m_Connection.ReportError(Translate(wxT("Unable to parse the ID from the task.")), 0, 200);
        return RTM_RETRY_LATER;
    }
    if (target.afterAdd)
        target.afterAdd(m_Ids);
    m_LastReply = reply;
    return RTM_OK;
}

uint32_t CTaskUpload::SendField(const wxString& method, bool condition, bool differs, const RTMParams& own,
                                bool withPath) {
    if (!condition || (m_HaveCurrent && !differs))
        return RTM_OK;
    RTMParams params = UserCallParams(m_Token, method);
    if (withPath)
        AddTaskPath(params, m_Ids, m_Timeline);
    for (const auto& p : own)
        params[p.first] = p.second;
    params[wxT("timeline")] = m_Timeline;
    wxString reply;
    const uint32_t status = m_Connection.CallMethod(params, reply);
    if (m_Connection.ParseReply(status, method, reply)) {
        m_LastReply = reply;
        m_LastMethod = method;
        m_LastHoldsTask = reply.Contains(wxT("<taskseries"));  // a note's answer holds the note alone
        return RTM_OK;
    }
    // A call the service refuses is reported and skipped; one that may be repeated ends the upload.
    if (m_Connection.LastWorkResult() == RTM_FAILED) {
        m_Refused = true;
        return RTM_OK;
    }
    return m_Connection.LastWorkResult();
}

uint32_t CTaskUpload::SendChangedFields() {
    const TaskFields& wanted = m_Wanted;
    const TaskFields& current = m_Current;
    const struct Field {
        const wchar_t* method;
        bool condition;
        bool differs;
        RTMParams own;
    } fields[] = {
        {L"rtm.tasks.setDueDate",
         !wanted.due.empty(),
         wanted.due != current.due,
         {{wxT("due"), wanted.due}, {wxT("has_due_time"), wanted.has_due_time}}},
        {L"rtm.tasks.setPriority",
         true,
         wanted.priority != current.priority,
         {{wxT("priority"), wanted.priority}}},
        {L"rtm.tasks.setRecurrence",
         !RepeatAwaitsDue(m_Todo),
         wanted.repeat != current.repeat,
         {{wxT("repeat"), wanted.repeat}}},
        {L"rtm.tasks.setTags", true, wanted.tags != current.tags, {{wxT("tags"), wanted.tags}}},
        {L"rtm.tasks.setURL", true, wanted.url != current.url, {{wxT("url"), wanted.url}}},
    };
    for (const Field& field : fields) {
        const uint32_t result = SendField(field.method, field.condition, field.differs, field.own, true);
        if (result != RTM_OK)
            return result;
    }
    const struct {
        const wxString& text;
        wxString noteId;
        const wxString& currentText;
        const wchar_t* title;
    } notes[] = {
        {wanted.data_note, NoteIdToUse(m_IsNew, m_HaveCurrent, wanted.data_note_id, current.data_note_id),
         current.data_note, L"C2:data"},
        {wanted.description,
         NoteIdToUse(m_IsNew, m_HaveCurrent, wanted.description_note_id, current.description_note_id),
         current.description, L"C2:description"}};
    for (const auto& note : notes) {
        const bool add = note.noteId.empty();
        RTMParams own = {{wxT("note_title"), note.title}, {wxT("note_text"), note.text}};
        if (!add)
            own[wxT("note_id")] = note.noteId;
        const uint32_t result = SendField(add ? wxT("rtm.tasks.notes.add") : wxT("rtm.tasks.notes.edit"),
                                          !note.text.empty(), note.text != note.currentText, own, add);
        if (result != RTM_OK)
            return result;
    }
    return SendField(wanted.completed ? wxT("rtm.tasks.complete") : wxT("rtm.tasks.uncomplete"), true,
                     wanted.completed != current.completed, {}, true);
}

uint32_t CTaskUpload::ReadBack(const wxString& method, const wxString& reply, const icalcomponent* todo,
                               COfflineCalendar* offline, const UploadTarget& target) {
    // The reply was read once already; reading it again cannot fail for want of an answer.
    m_Connection.ForgetLastFailure();
    const wxXmlNode* first = m_Connection.ParseReply(RTM_OK, method, reply);
    if (!first) {
        m_Connection.ReportError(Translate(wxT("Unable to create the task.")), 0, 200);
        return RTM_RETRY_LATER;
    }
    const bool parsed =
        ForEachSeries(first, Log(), [&](icalcomponent* c) { return Deliver(c, todo, offline, target); });
    if (!parsed) {
        m_Connection.ReportError(Translate(wxT("Unable to parse the ID from the task.")), 0, 200);
        return RTM_FAILED;
    }
    return RTM_OK;
}

uint32_t CTaskUpload::FetchAndReadBack(const wxString& token, const TaskIds& ids, const icalcomponent* todo,
                                       COfflineCalendar* offline, const UploadTarget& target) {
    // The upload has just changed it: it is among the tasks changed in the last hour.
    const wxXmlNode* first =
        m_Connection.GetRecentTasks(token, ids.list, static_cast<int64_t>(std::time(nullptr)) - 3600);
    if (!first)
        return m_Connection.LastWorkResult();
    uint32_t result = RTM_OK;
    ForEachListedSeries(first, [&](const wxXmlNode* series, const wxString& listId) {
        if (series->GetAttribute(wxT("id"), wxString()) != ids.series)
            return true;
        if (icalcomponent* c = ConvertTaskSeries(series, listId, Log()))
            result = Deliver(c, todo, offline, target) ? RTM_OK : RTM_FAILED;
        return false;
    });
    return result;  // not among them (a clock far off): the next download brings it
}

bool CTaskUpload::Deliver(icalcomponent* c, const icalcomponent* todo, COfflineCalendar* offline,
                          const UploadTarget& target) {
    TaskIds read;
    if (!ParseTaskUid(c, read.list, read.series, read.task, Log())) {
        icalcomponent_free(c);
        return false;
    }
    const wxString oldUid = ComponentUid(todo);
    const wxString newUid = ComponentUid(c);
    if (target.changeWaits && (target.changeWaits(oldUid) || target.changeWaits(newUid))) {
        // Changed or deleted in the host meanwhile: this older version would undo that change
        // there; the waiting change's own read-back follows.
        Log()->Format(LOG_INFO, wxT("The task \"%s\" has a newer change waiting; not read back."), newUid);
        icalcomponent_free(c);
        return true;
    }
    if (oldUid.empty() || oldUid != newUid) {
        Log()->Format(LOG_INFO, wxT("Removed old component since the new uid doesn't match (%s <> %s)."),
                      oldUid, newUid);
        icalcomponent* old = icalcomponent_new_clone(const_cast<icalcomponent*>(todo));
        if (offline)
            offline->RemoveComponent(todo);
        m_Handler.HandOver(old, ADD_REMOVE_DELETED);
    }
    if (offline)
        offline->StoreComponent(c);
    m_Handler.HandOver(c, ADD_READ_BACK);
    // The host may have handed over a newer change while this version was on its way: the host
    // gets its own newer version back, under the task's UID, until that change's read-back follows.
    if (target.newerCopy) {
        if (icalcomponent* newer = target.newerCopy(newUid)) {
            SetTaskIds(newer, read);
            m_Handler.HandOver(newer, ADD_READ_BACK);
        }
    }
    return true;
}
