// The task upload: one to-do of the host written to the service, sending only the fields that
// differ from what the service holds, then read back into the host and the offline copy.
#include "convert/RepeatText.h"
#include "convert/TaskFields.h"
#include "convert/TaskSeries.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"
#include "plugin/RTMHandler.h"
#include "rtm/RTMConnection.h"
#include "rtm/ServiceAddress.h"
#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"

#include <functional>

namespace {
struct TaskIds {
    wxString list, series, task;
};

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
bool ForEachSeries(const wxXmlNode* first, const CRTMHandler* handler,
                   const std::function<bool(icalcomponent*)>& use) {
    for (const wxXmlNode* node = first; node; node = node->GetNext()) {
        if (!IsNamed(node, L"list"))
            continue;
        const wxXmlNode* series = FirstElement(node);
        if (!IsNamed(series, L"taskseries"))
            continue;
        icalcomponent* todo = ConvertTaskSeries(series, node->GetAttribute(wxT("id"), wxString()), handler);
        if (todo && !use(todo))
            return false;
    }
    return true;
}

RTMParams BaseParams(const wxString& token, const wxString& method) {
    RTMParams params;
    params[wxT("api_key")] = RTM_API_KEY;
    params[wxT("auth_token")] = token;
    params[wxT("method")] = method;
    return params;
}

void AddTaskPath(RTMParams& params, const TaskIds& ids, const wxString& timeline) {
    params[wxT("list_id")] = ids.list;
    params[wxT("taskseries_id")] = ids.series;
    params[wxT("task_id")] = ids.task;
    params[wxT("timeline")] = timeline;
}
}  // namespace

uint32_t CRTMConnection::CreateTimeline(const wxString& token, wxString& timeline) {
    wxString reply;
    const uint32_t status = CallMethod(BaseParams(token, wxT("rtm.timelines.create")), reply);
    if (!ParseReply(status, wxT("rtm.timelines.create"), reply))
        return status;
    timeline = ExtractElement(reply, wxT("timeline"));
    if (timeline.empty())
        ReportError(Translate(wxT("Unable to parse the timeline.")), 0, 200);
    return status;
}

uint32_t CRTMConnection::UploadTask(const wxString& token, const icalcomponent* todo,
                                    COfflineCalendar* offline) {
    wxString timeline;
    uint32_t status = CreateTimeline(token, timeline);
    if (timeline.empty())
        return status;

    const TaskFields wanted = MakeTaskFields(todo, handler);
    TaskIds ids;
    bool isNew = !ParseTaskUid(todo, ids.list, ids.series, ids.task, handler);
    if (!isNew && !listId.empty() && listId != ids.list)
        isNew = true;  // moved to the configured list

    TaskFields current;
    bool haveCurrent = false;
    wxString reply;
    wxString lastMethod = isNew ? wxT("rtm.tasks.add") : wxT("rtm.tasks.setName");
    if (!isNew) {
        RTMParams params = BaseParams(token, wxT("rtm.tasks.setName"));
        AddTaskPath(params, ids, timeline);
        params[wxT("name")] = wanted.name;
        status = CallMethod(params, reply);
        const wxXmlNode* first = ParseReply(status, wxT("rtm.tasks.setName"), reply);
        if (!first)
            return status;
        ForEachSeries(first, handler, [&](icalcomponent* c) {
            current = MakeTaskFields(c, handler);
            haveCurrent = true;
            icalcomponent_free(c);
            return true;
        });
    } else {
        RTMParams params = BaseParams(token, wxT("rtm.tasks.add"));
        params[wxT("timeline")] = timeline;
        if (!listId.empty())
            params[wxT("list_id")] = listId;
        params[wxT("name")] = wanted.name;
        status = CallMethod(params, reply);
        const wxXmlNode* first = ParseReply(status, wxT("rtm.tasks.add"), reply);
        if (!first)
            return status;
        const bool parsed = ForEachSeries(first, handler, [&](icalcomponent* c) {
            TaskIds read;
            const bool ok = ParseTaskUid(c, read.list, read.series, read.task, handler);
            icalcomponent_free(c);
            if (ok)
                ids = read;
            return ok;
        });
        if (!parsed) {
            ReportError(Translate(wxT("Unable to parse the ID from the task.")), 0, 200);
            return status;
        }
    }

    // One field call: sent when its own condition holds and the service's value differs.
    bool failed = false;
    auto send = [&](const wxString& method, bool condition, bool differs, const RTMParams& own,
                    bool withPath) {
        if (failed || !condition || (haveCurrent && !differs))
            return;
        RTMParams params = BaseParams(token, method);
        if (withPath)
            AddTaskPath(params, ids, timeline);
        for (const auto& p : own)
            params[p.first] = p.second;
        params[wxT("timeline")] = timeline;
        status = CallMethod(params, reply);
        lastMethod = method;
        if (method.StartsWith(wxT("rtm.tasks.complete")) || method.StartsWith(wxT("rtm.tasks.uncomplete")))
            return;
        if (!ParseReply(status, method, reply))
            failed = true;
    };
    send(wxT("rtm.tasks.setDueDate"), !wanted.due.empty(), wanted.due != current.due,
         {{wxT("due"), wanted.due}, {wxT("has_due_time"), wanted.has_due_time}}, true);
    send(wxT("rtm.tasks.setPriority"), true, wanted.priority != current.priority,
         {{wxT("priority"), wanted.priority}}, true);
    send(wxT("rtm.tasks.setRecurrence"), !RepeatAwaitsDue(todo), wanted.repeat != current.repeat,
         {{wxT("repeat"), wanted.repeat}}, true);
    send(wxT("rtm.tasks.setTags"), true, wanted.tags != current.tags, {{wxT("tags"), wanted.tags}}, true);
    send(wxT("rtm.tasks.setURL"), true, wanted.url != current.url, {{wxT("url"), wanted.url}}, true);
    const struct {
        const wxString& text;
        const wxString& noteId;
        const wxString& currentText;
        const wchar_t* title;
    } notes[] = {{wanted.data_note, wanted.data_note_id, current.data_note, L"C2:data"},
                 {wanted.description, wanted.description_note_id, current.description, L"C2:description"}};
    for (const auto& note : notes) {
        const bool add = note.noteId.empty();
        RTMParams own = {{wxT("note_title"), note.title}, {wxT("note_text"), note.text}};
        if (!add)
            own[wxT("note_id")] = note.noteId;
        send(add ? wxT("rtm.tasks.notes.add") : wxT("rtm.tasks.notes.edit"), !note.text.empty(),
             note.text != note.currentText, own, add);
    }
    if (failed)
        return status;
    send(wanted.completed ? wxT("rtm.tasks.complete") : wxT("rtm.tasks.uncomplete"), true,
         wanted.completed != current.completed, {}, true);

    return ReadBack(status, lastMethod, reply, todo, offline);
}

uint32_t CRTMConnection::ReadBack(uint32_t status, const wxString& method, const wxString& reply,
                                  const icalcomponent* todo, COfflineCalendar* offline) {
    const wxXmlNode* first = ParseReply(status, method, reply);
    if (!first) {
        // A call cancelled by a stop is no failure: the item waits for the next worker.
        if (!m_Aborted)
            ReportError(Translate(wxT("Unable to create the task.")), 0, 200);
        return status;
    }
    const wxString oldUid = ComponentUid(todo);
    const bool parsed = ForEachSeries(first, handler, [&](icalcomponent* c) {
        TaskIds read;
        if (!ParseTaskUid(c, read.list, read.series, read.task, handler)) {
            icalcomponent_free(c);
            return false;
        }
        const wxString newUid = ComponentUid(c);
        if (oldUid.empty() || oldUid != newUid) {
            handler->LogFormat(LOG_INFO,
                               wxT("Removed old component since the new uid doesn't match (%s <> %s)."),
                               oldUid, newUid);
            icalcomponent* old = icalcomponent_new_clone(const_cast<icalcomponent*>(todo));
            if (offline)
                offline->RemoveComponent(todo);
            Corvane_AddComponent(old, handler, 0x8004);
        }
        if (offline)
            offline->StoreComponent(c);
        Corvane_AddComponent(c, handler, 2);
        return true;
    });
    if (!parsed)
        ReportError(Translate(wxT("Unable to parse the ID from the task.")), 0, 200);
    return status;
}
