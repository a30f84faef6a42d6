#include "convert/TaskSeries.h"

#include "convert/ExtraFieldNote.h"
#include "convert/LeadingInteger.h"
#include "convert/PropertyHelpers.h"
#include "convert/ServiceTime.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"
#include "plugin/RTMHandler.h"

#include <wx/xml/xml.h>

#include <memory>

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// The values of the task element chosen so far.
struct SelectedTask {
    long long id = 0;
    wxString idText;
    wxString due;
    bool hasDueTime = false;
    bool completed = false;  // its completed attribute is not empty
    icaltimetype completedTime = icaltime_null_time();
    int priority = 0;
};

bool IsElement(const wxXmlNode* node) {
    return node->GetType() == wxXML_ELEMENT_NODE;
}

// The content of the first child node; false for an element without any.
bool ChildText(const wxXmlNode* node, wxString& text) {
    const wxXmlNode* first = node->GetChildren();
    if (!first)
        return false;
    text = first->GetContent();
    return true;
}

void AddTimeAttribute(icalcomponent* todo, icalproperty_kind kind, const wxXmlNode* node, const wxChar* name,
                      const CRTMHandler* handler) {
    const wxString text = node->GetAttribute(name);
    if (!text.empty())
        AddTimeProperty(todo, kind, ParseServiceTime(text, handler));
}

void ReadTags(icalcomponent* todo, const wxXmlNode* tags) {
    wxString text;
    for (const wxXmlNode* tag = tags->GetChildren(); tag; tag = tag->GetNext()) {
        if (!IsElement(tag) || !ChildText(tag, text))
            continue;
        // Spaces travel as underscores, since the service separates tags at them.
        text.Replace(wxT("_"), wxT(" "));
        AddTextProperty(todo, ICAL_CATEGORIES_PROPERTY, text);
    }
}

void ReadNotes(icalcomponent* todo, const wxXmlNode* notes, int& status, const CRTMHandler* handler) {
    wxString text;
    for (const wxXmlNode* note = notes->GetChildren(); note; note = note->GetNext()) {
        if (!IsElement(note) || !ChildText(note, text))
            continue;
        const wxString id = note->GetAttribute(wxT("id"));
        if (id.empty())
            continue;
        const wxString title = note->GetAttribute(wxT("title"));
        if (title.IsSameAs(DATA_NOTE_TITLE, false))
            ReadDataNote(todo, text, id, status, handler);
        else if (title.IsSameAs(DESCRIPTION_NOTE_TITLE, false))
            ReadDescriptionNote(todo, text, id);
    }
}

void ReadRule(icalcomponent* todo, const wxXmlNode* rrule, const CRTMHandler* handler) {
    wxString text;
    if (!ChildText(rrule, text) || text.empty())
        return;
    const icalrecurrencetype rule = icalrecurrencetype_from_string(text.utf8_str());
    // A rule libical cannot read would be written as "RRULE:ERROR: No Value" and poison the
    // offline file; it is left out instead.
    if (rule.freq == ICAL_NO_RECURRENCE) {
        LogThrough(handler, LOG_WARNING, wxT("Unable to read the repeat rule: %s."), text);
        return;
    }
    icalcomponent_add_property(todo, icalproperty_new_rrule(rule));
}

void ReadTask(const wxXmlNode* task, SelectedTask& selected, const CRTMHandler* handler) {
    const wxString idText = task->GetAttribute(wxT("id"));
    const long long id = ReadLeadingInteger64(idText);
    const wxString completed = task->GetAttribute(wxT("completed"));
    // The first task, unless a later one is open and has a smaller id.
    if (selected.id != 0 && !(id < selected.id && completed.empty()))
        return;

    selected.id = id;
    selected.idText = idText;
    selected.due = task->GetAttribute(wxT("due"));
    selected.hasDueTime = task->GetAttribute(wxT("has_due_time")) == wxT("1");
    selected.completed = !completed.empty();
    selected.completedTime = icaltime_null_time();
    if (selected.completed) {
        // A completed task with a due shows as completed at its due time.
        selected.completedTime = ParseServiceTime(selected.due.empty() ? completed : selected.due, handler);
    }
    const wxString priority = task->GetAttribute(wxT("priority"));
    if (priority == wxT("3"))
        selected.priority = 9;
    else if (priority == wxT("2"))
        selected.priority = 5;
    else if (priority == wxT("1"))
        selected.priority = 1;
}

void AddDue(icalcomponent* todo, const wxXmlNode* taskSeries, const SelectedTask& selected,
            const CRTMHandler* handler) {
    icaltimetype due = ParseServiceTime(selected.due, handler);
    if (!selected.hasDueTime) {
        // The local date of an unreadable time cannot be known; the to-do is shown without a due
        // rather than with an invented one.
        if (icaltime_is_null_time(due) || !HasValidTimeFields(due)) {
            LogThrough(handler, LOG_WARNING,
                       wxT("The due date \"%s\" of the task \"%s\" cannot be read; it is left out."),
                       selected.due, taskSeries->GetAttribute(wxT("name")));
            return;
        }
        due = UtcToLocalDate(due);
    }
    AddTimeProperty(todo, ICAL_DUE_PROPERTY, due);
}

}  // namespace

icalcomponent* ConvertTaskSeries(const wxXmlNode* taskSeries, const wxString& listId,
                                 const CRTMHandler* handler) {
    if (!taskSeries)
        return nullptr;
    ComponentPtr todo(icalcomponent_new_vtodo());
    icalcomponent* c = todo.get();

    AddTimeAttribute(c, ICAL_CREATED_PROPERTY, taskSeries, wxT("created"), handler);
    AddTimeAttribute(c, ICAL_LASTMODIFIED_PROPERTY, taskSeries, wxT("modified"), handler);
    const wxString name = taskSeries->GetAttribute(wxT("name"));
    if (!name.empty())
        AddTextProperty(c, ICAL_SUMMARY_PROPERTY, name);
    const wxString url = taskSeries->GetAttribute(wxT("url"));
    if (!url.empty())
        AddTextProperty(c, ICAL_URL_PROPERTY, url);

    SelectedTask selected;
    int status = NOTE_STATUS_ABSENT;
    for (const wxXmlNode* child = taskSeries->GetChildren(); child; child = child->GetNext()) {
        if (!IsElement(child))
            continue;
        const wxString& childName = child->GetName();
        if (childName.IsSameAs(wxT("tags"), false))
            ReadTags(c, child);
        else if (childName.IsSameAs(wxT("notes"), false))
            ReadNotes(c, child, status, handler);
        else if (childName.IsSameAs(wxT("rrule"), false))
            ReadRule(c, child, handler);
        else if (childName.IsSameAs(wxT("task"), false))
            ReadTask(child, selected, handler);
    }
    // A COMPLETED status carried by the note never stands for a task the service has open.
    if (status == NOTE_STATUS_COMPLETED && !selected.completed)
        status = NOTE_STATUS_NEEDS_ACTION;

    if (!selected.due.empty())
        AddDue(c, taskSeries, selected, handler);

    icalproperty_status icalStatus;
    if (!icaltime_is_null_time(selected.completedTime)) {
        AddTimeProperty(c, ICAL_COMPLETED_PROPERTY, selected.completedTime);
        icalcomponent_set_status(c, ICAL_STATUS_COMPLETED);
    } else if (status != NOTE_STATUS_ABSENT && IcalStatusFromNote(status, icalStatus)) {
        icalcomponent_set_status(c, icalStatus);
    }
    AddIntegerProperty(c, ICAL_PRIORITY_PROPERTY, selected.priority);

    const wxString seriesId = taskSeries->GetAttribute(wxT("id"));
    if (seriesId.empty() || selected.idText.empty() || listId.empty()) {
        LogThrough(handler, LOG_ERROR, wxT("Unable to create the task because the ID is missing."));
        LogThrough(handler, LOG_ERROR, wxT("Parsing of the task failed."));
        return nullptr;
    }
    const wxString uid = listId + wxT(":") + seriesId;
    icalcomponent_set_uid(c, uid.utf8_str());
    AddXProperty(c, X_TASK_ID, selected.idText);
    return todo.release();
}
