#include "convert/TaskSeriesBuilder.h"

#include "convert/ExtraFieldNote.h"
#include "convert/Logger.h"
#include "convert/NumberText.h"
#include "convert/PropertyHelpers.h"
#include "convert/SameWord.h"
#include "convert/ServiceTime.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"

namespace {
void AddTime(icalcomponent* todo, icalproperty_kind kind, const wxString& text, const Logger* log) {
    if (!text.empty())
        AddTimeProperty(todo, kind, ParseServiceTime(text, log));
}
}  // namespace

CTaskSeriesBuilder::CTaskSeriesBuilder(const SeriesAttributes& series, const Logger* log)
    : m_Log(log),
      m_Todo(icalcomponent_new_vtodo()),
      m_SeriesId(series.id),
      m_Name(series.name),
      m_NoteStatus(NOTE_STATUS_ABSENT) {
    AddTime(m_Todo, ICAL_CREATED_PROPERTY, series.created, log);
    AddTime(m_Todo, ICAL_LASTMODIFIED_PROPERTY, series.modified, log);
    if (!series.name.empty())
        AddTextProperty(m_Todo, ICAL_SUMMARY_PROPERTY, series.name);
    if (!series.url.empty())
        AddTextProperty(m_Todo, ICAL_URL_PROPERTY, series.url);
}

CTaskSeriesBuilder::~CTaskSeriesBuilder() {
    if (m_Todo)
        icalcomponent_free(m_Todo);
}

void CTaskSeriesBuilder::AddTag(wxString text) {
    // Spaces travel as underscores, since the service separates tags at them.
    text.Replace(wxT("_"), wxT(" "));
    AddTextProperty(m_Todo, ICAL_CATEGORIES_PROPERTY, text);
}

void CTaskSeriesBuilder::AddNote(const wxString& id, const wxString& title, const wxString& text) {
    if (id.empty())
        return;
    if (SameWord(title, DATA_NOTE_TITLE))
        ReadDataNote(m_Todo, text, id, m_NoteStatus, m_Log);
    else if (SameWord(title, DESCRIPTION_NOTE_TITLE))
        ReadDescriptionNote(m_Todo, text, id);
}

void CTaskSeriesBuilder::AddRule(const wxString& text) {
    if (text.empty())
        return;
    icalrecurrencetype rule = icalrecurrencetype_from_string(ToUtf8(text).c_str());
    // A rule libical cannot read would be written as "RRULE:ERROR: No Value" and poison the
    // offline file; it is left out instead.
    if (rule.freq == ICAL_NO_RECURRENCE)
        LogThrough(m_Log, LOG_WARNING, wxT("Unable to read the repeat rule: %s."), text);
    else
        icalcomponent_add_property(m_Todo, icalproperty_new_rrule(rule));
    // The property keeps its own copy of the calendar scale; the parser's is ours to free.
    icalmemory_free_buffer(rule.rscale);
}

void CTaskSeriesBuilder::AddTask(const TaskAttributes& task) {
    const long long id = ReadLeadingInteger64(task.id);
    SelectedTask& selected = m_Selected;
    // The first task, unless a later one is open and has a smaller id.
    if (selected.id != 0 && !(id < selected.id && task.completed.empty()))
        return;

    selected.id = id;
    selected.idText = task.id;
    selected.due = task.due;
    selected.hasDueTime = task.hasDueTime == wxT("1");
    selected.completed = !task.completed.empty();
    selected.completedTime = icaltime_null_time();
    if (selected.completed) {
        // A completed task with a due shows as completed at its due time.
        selected.completedTime =
            ParseServiceTime(selected.due.empty() ? task.completed : selected.due, m_Log);
    }
    if (task.priority == wxT("3"))
        selected.priority = 9;
    else if (task.priority == wxT("2"))
        selected.priority = 5;
    else if (task.priority == wxT("1"))
        selected.priority = 1;
}

void CTaskSeriesBuilder::AddDue() {
    icaltimetype due = ParseServiceTime(m_Selected.due, m_Log);
    if (!m_Selected.hasDueTime) {
        // The local date of an unreadable time cannot be known; the to-do is shown without a due
        // rather than with an invented one.
        if (icaltime_is_null_time(due) || !HasValidTimeFields(due)) {
            LogThrough(m_Log, LOG_WARNING,
                       wxT("The due date \"%s\" of the task \"%s\" cannot be read; it is left out."),
                       m_Selected.due, m_Name);
            return;
        }
        due = UtcToLocalDate(due);
    }
    AddTimeProperty(m_Todo, ICAL_DUE_PROPERTY, due);
}

icalcomponent* CTaskSeriesBuilder::Finish(const wxString& listId) {
    int status = m_NoteStatus;
    // A COMPLETED status carried by the note never stands for a task the service has open.
    if (status == NOTE_STATUS_COMPLETED && !m_Selected.completed)
        status = NOTE_STATUS_NEEDS_ACTION;

    if (!m_Selected.due.empty())
        AddDue();

    icalproperty_status icalStatus;
    if (!icaltime_is_null_time(m_Selected.completedTime)) {
        AddTimeProperty(m_Todo, ICAL_COMPLETED_PROPERTY, m_Selected.completedTime);
        icalcomponent_set_status(m_Todo, ICAL_STATUS_COMPLETED);
    } else if (status != NOTE_STATUS_ABSENT && IcalStatusFromNote(status, icalStatus)) {
        icalcomponent_set_status(m_Todo, icalStatus);
    }
    AddIntegerProperty(m_Todo, ICAL_PRIORITY_PROPERTY, m_Selected.priority);

    if (m_SeriesId.empty() || m_Selected.idText.empty() || listId.empty()) {
        LogThrough(m_Log, LOG_ERROR, wxT("Unable to create the task because the ID is missing."));
        LogThrough(m_Log, LOG_ERROR, wxT("Parsing of the task failed."));
        return nullptr;
    }
    const wxString uid = listId + wxT(":") + m_SeriesId;
    icalcomponent_set_uid(m_Todo, ToUtf8(uid).c_str());
    AddXProperty(m_Todo, X_TASK_ID, m_Selected.idText);
    icalcomponent* todo = m_Todo;
    m_Todo = nullptr;
    return todo;
}
