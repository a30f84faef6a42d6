#include "convert/TaskSeries.h"

#include "convert/ExtraFieldNote.h"
#include "convert/Logger.h"
#include "convert/NumberText.h"
#include "convert/PropertyHelpers.h"
#include "convert/ServiceTime.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"

#include <wx/xml/xml.h>

#include <cwchar>
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

// Element names and note titles are ASCII words, compared without regard to case; done by hand,
// as it runs several times per element of every series.
bool SameWord(const wxString& text, const wchar_t* word) {
    const size_t length = std::wcslen(word);
    if (text.length() != length)
        return false;
    const wchar_t* s = text.wc_str();
    for (size_t i = 0; i < length; ++i) {
        wchar_t a = s[i], b = word[i];
        if (a >= L'A' && a <= L'Z')
            a += L'a' - L'A';
        if (b >= L'A' && b <= L'Z')
            b += L'a' - L'A';
        if (a != b)
            return false;
    }
    return true;
}

// The value of the attribute named exactly `name`, or an empty text.
const wxString& Attribute(const wxXmlNode* node, const wchar_t* name) {
    static const wxString empty;
    for (const wxXmlAttribute* attribute = node->GetAttributes(); attribute; attribute = attribute->GetNext())
        if (std::wcscmp(attribute->GetName().wc_str(), name) == 0)
            return attribute->GetValue();
    return empty;
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
                      const Logger* log) {
    const wxString& text = Attribute(node, name);
    if (!text.empty())
        AddTimeProperty(todo, kind, ParseServiceTime(text, log));
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

void ReadNotes(icalcomponent* todo, const wxXmlNode* notes, int& status, const Logger* log) {
    wxString text;
    for (const wxXmlNode* note = notes->GetChildren(); note; note = note->GetNext()) {
        if (!IsElement(note) || !ChildText(note, text))
            continue;
        const wxString& id = Attribute(note, L"id");
        if (id.empty())
            continue;
        const wxString& title = Attribute(note, L"title");
        if (SameWord(title, DATA_NOTE_TITLE))
            ReadDataNote(todo, text, id, status, log);
        else if (SameWord(title, DESCRIPTION_NOTE_TITLE))
            ReadDescriptionNote(todo, text, id);
    }
}

void ReadRule(icalcomponent* todo, const wxXmlNode* rrule, const Logger* log) {
    wxString text;
    if (!ChildText(rrule, text) || text.empty())
        return;
    icalrecurrencetype rule = icalrecurrencetype_from_string(ToUtf8(text).c_str());
    // A rule libical cannot read would be written as "RRULE:ERROR: No Value" and poison the
    // offline file; it is left out instead.
    if (rule.freq == ICAL_NO_RECURRENCE)
        LogThrough(log, LOG_WARNING, wxT("Unable to read the repeat rule: %s."), text);
    else
        icalcomponent_add_property(todo, icalproperty_new_rrule(rule));
    // The property keeps its own copy of the calendar scale; the parser's is ours to free.
    icalmemory_free_buffer(rule.rscale);
}

void ReadTask(const wxXmlNode* task, SelectedTask& selected, const Logger* log) {
    const wxString& idText = Attribute(task, L"id");
    const long long id = ReadLeadingInteger64(idText);
    const wxString& completed = Attribute(task, L"completed");
    // The first task, unless a later one is open and has a smaller id.
    if (selected.id != 0 && !(id < selected.id && completed.empty()))
        return;

    selected.id = id;
    selected.idText = idText;
    selected.due = Attribute(task, L"due");
    selected.hasDueTime = Attribute(task, L"has_due_time") == wxT("1");
    selected.completed = !completed.empty();
    selected.completedTime = icaltime_null_time();
    if (selected.completed) {
        // A completed task with a due shows as completed at its due time.
        selected.completedTime = ParseServiceTime(selected.due.empty() ? completed : selected.due, log);
    }
    const wxString& priority = Attribute(task, L"priority");
    if (priority == wxT("3"))
        selected.priority = 9;
    else if (priority == wxT("2"))
        selected.priority = 5;
    else if (priority == wxT("1"))
        selected.priority = 1;
}

void AddDue(icalcomponent* todo, const wxXmlNode* taskSeries, const SelectedTask& selected,
            const Logger* log) {
    icaltimetype due = ParseServiceTime(selected.due, log);
    if (!selected.hasDueTime) {
        // The local date of an unreadable time cannot be known; the to-do is shown without a due
        // rather than with an invented one.
        if (icaltime_is_null_time(due) || !HasValidTimeFields(due)) {
            LogThrough(log, LOG_WARNING,
                       wxT("The due date \"%s\" of the task \"%s\" cannot be read; it is left out."),
                       selected.due, Attribute(taskSeries, L"name"));
            return;
        }
        due = UtcToLocalDate(due);
    }
    AddTimeProperty(todo, ICAL_DUE_PROPERTY, due);
}

}  // namespace

icalcomponent* ConvertTaskSeries(const wxXmlNode* taskSeries, const wxString& listId, const Logger* log) {
    if (!taskSeries)
        return nullptr;
    ComponentPtr todo(icalcomponent_new_vtodo());
    icalcomponent* c = todo.get();

    AddTimeAttribute(c, ICAL_CREATED_PROPERTY, taskSeries, wxT("created"), log);
    AddTimeAttribute(c, ICAL_LASTMODIFIED_PROPERTY, taskSeries, wxT("modified"), log);
    const wxString& name = Attribute(taskSeries, L"name");
    if (!name.empty())
        AddTextProperty(c, ICAL_SUMMARY_PROPERTY, name);
    const wxString& url = Attribute(taskSeries, L"url");
    if (!url.empty())
        AddTextProperty(c, ICAL_URL_PROPERTY, url);

    SelectedTask selected;
    int status = NOTE_STATUS_ABSENT;
    for (const wxXmlNode* child = taskSeries->GetChildren(); child; child = child->GetNext()) {
        if (!IsElement(child))
            continue;
        const wxString& childName = child->GetName();
        if (SameWord(childName, L"tags"))
            ReadTags(c, child);
        else if (SameWord(childName, L"notes"))
            ReadNotes(c, child, status, log);
        else if (SameWord(childName, L"rrule"))
            ReadRule(c, child, log);
        else if (SameWord(childName, L"task"))
            ReadTask(child, selected, log);
    }
    // A COMPLETED status carried by the note never stands for a task the service has open.
    if (status == NOTE_STATUS_COMPLETED && !selected.completed)
        status = NOTE_STATUS_NEEDS_ACTION;

    if (!selected.due.empty())
        AddDue(c, taskSeries, selected, log);

    icalproperty_status icalStatus;
    if (!icaltime_is_null_time(selected.completedTime)) {
        AddTimeProperty(c, ICAL_COMPLETED_PROPERTY, selected.completedTime);
        icalcomponent_set_status(c, ICAL_STATUS_COMPLETED);
    } else if (status != NOTE_STATUS_ABSENT && IcalStatusFromNote(status, icalStatus)) {
        icalcomponent_set_status(c, icalStatus);
    }
    AddIntegerProperty(c, ICAL_PRIORITY_PROPERTY, selected.priority);

    const wxString& seriesId = Attribute(taskSeries, L"id");
    if (seriesId.empty() || selected.idText.empty() || listId.empty()) {
        LogThrough(log, LOG_ERROR, wxT("Unable to create the task because the ID is missing."));
        LogThrough(log, LOG_ERROR, wxT("Parsing of the task failed."));
        return nullptr;
    }
    const wxString uid = listId + wxT(":") + seriesId;
    icalcomponent_set_uid(c, ToUtf8(uid).c_str());
    AddXProperty(c, X_TASK_ID, selected.idText);
    return todo.release();
}
