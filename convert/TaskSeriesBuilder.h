// The to-do of one task series, built from the parts of the series in the order the reply gives
// them. The reader of a reply's tree and the reader of a reply as a stream both feed it, so both
// make the same to-do.
#pragma once

#include <libical/ical.h>
#include <wx/string.h>

class Logger;

// The attributes of a taskseries element that the to-do takes (empty when absent).
struct SeriesAttributes {
    wxString id, created, modified, name, url;
};

// The attributes of a task element that the to-do takes (empty when absent).
struct TaskAttributes {
    wxString id, due, hasDueTime, completed, priority;
};

class CTaskSeriesBuilder {
  public:
    CTaskSeriesBuilder(const SeriesAttributes& series, const Logger* log);
    ~CTaskSeriesBuilder();
    CTaskSeriesBuilder(const CTaskSeriesBuilder&) = delete;
    CTaskSeriesBuilder& operator=(const CTaskSeriesBuilder&) = delete;

    // The text of an element under "tags".
    void AddTag(wxString text);
    // An element under "notes" with its attributes and its text.
    void AddNote(const wxString& id, const wxString& title, const wxString& text);
    // The text of the "rrule" element.
    void AddRule(const wxString& text);
    // A "task" element: the first one is taken, unless a later open one has a smaller id.
    void AddTask(const TaskAttributes& task);
    // The finished to-do, owned by the caller; null (logged) when the series, its task or the
    // list has no id. Call once.
    icalcomponent* Finish(const wxString& listId);

  private:
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
    void AddDue();

    const Logger* m_Log;
    icalcomponent* m_Todo;  // owned until Finish
    wxString m_SeriesId;
    wxString m_Name;
    int m_NoteStatus;
    SelectedTask m_Selected;
};
