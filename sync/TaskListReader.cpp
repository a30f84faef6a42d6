#include "sync/TaskListReader.h"

#include "convert/SameWord.h"

#include <cstring>

namespace {
wxString AttributeText(const char** attributes, const char* name) {
    const char* value = CStreamedReply::FindAttribute(attributes, name);
    return value ? CStreamedReply::TextOf(value, std::strlen(value)) : wxString();
}
}  // namespace

void CTaskListReader::OnBegin() {
    CStreamedReply::OnBegin();
    m_Tasks = DownloadedTasks();
    m_Series.reset();
    m_Part = Part::NONE;
    m_Capture = Capture::NONE;
    m_Text.clear();
    m_Dump.Close();
    if (!m_DumpPath.empty())
        m_Dump.Open(m_DumpPath, wxT("wb"));  // a dump that cannot be written is left out
}

void CTaskListReader::OnData(const char* data, size_t size, int32_t httpStatus) {
    if (m_Dump.IsOpened())
        m_Dump.Write(data, size);
    CStreamedReply::OnData(data, size, httpStatus);
}

void CTaskListReader::OnEnd() {
    CStreamedReply::OnEnd();
    m_Dump.Close();
    // A series cut off by the end of the reply is not a task.
    m_Series.reset();
}

void CTaskListReader::StartElement(int depth, const char* name, const char** attributes) {
    if (m_Capture != Capture::NONE) {
        // An element is the first child of the element whose text is wanted: its content is empty.
        static const std::string none;
        EndCapture(m_Capture == Capture::TEXT ? &m_Text : &none);
    }
    if (!Answering())
        return;
    if (m_Series) {
        if (depth == m_SeriesDepth + 1) {
            m_Part = Part::NONE;
            if (SameWord(name, "tags")) {
                m_Part = Part::TAGS;
            } else if (SameWord(name, "notes")) {
                m_Part = Part::NOTES;
            } else if (SameWord(name, "rrule")) {
                StartCapture(depth, Target::RULE);
            } else if (SameWord(name, "task")) {
                m_Series->AddTask({AttributeText(attributes, "id"), AttributeText(attributes, "due"),
                                   AttributeText(attributes, "has_due_time"),
                                   AttributeText(attributes, "completed"),
                                   AttributeText(attributes, "priority")});
            }
        } else if (depth == m_SeriesDepth + 2 && m_Part == Part::TAGS) {
            StartCapture(depth, Target::TAG);
        } else if (depth == m_SeriesDepth + 2 && m_Part == Part::NOTES) {
            m_NoteId = AttributeText(attributes, "id");
            m_NoteTitle = AttributeText(attributes, "title");
            StartCapture(depth, Target::NOTE);
        }
        return;
    }
    if (depth >= 5)
        return;
    const Kind parent = depth > 1 ? m_Kinds[depth - 1] : Kind::OTHER;
    Kind kind = Kind::OTHER;
    if (depth == 1 && SameWord(name, "tasks"))
        kind = Kind::TASKS;
    else if (depth == 2 && parent == Kind::TASKS && SameWord(name, "list"))
        kind = Kind::LIST;
    else if (depth == 3 && parent == Kind::LIST && SameWord(name, "deleted"))
        kind = Kind::DELETED;
    else if ((parent == Kind::LIST || parent == Kind::DELETED) && SameWord(name, "taskseries"))
        kind = Kind::SERIES;
    m_Kinds[depth] = kind;
    if (kind == Kind::LIST)
        m_ListId = AttributeText(attributes, "id");
    if (kind == Kind::SERIES) {
        m_SeriesDepth = depth;
        m_SeriesDeleted = parent == Kind::DELETED;
        m_Series.emplace(
            SeriesAttributes{AttributeText(attributes, "id"), AttributeText(attributes, "created"),
                             AttributeText(attributes, "modified"), AttributeText(attributes, "name"),
                             AttributeText(attributes, "url")},
            m_Log);
        m_Part = Part::NONE;
    }
}

void CTaskListReader::EndElement(int depth) {
    if (m_Capture != Capture::NONE && depth == m_CaptureDepth)
        EndCapture(m_Capture == Capture::WAITING ? nullptr : &m_Text);
    if (m_Series && depth == m_SeriesDepth + 1)
        m_Part = Part::NONE;
    if (m_Series && depth == m_SeriesDepth)
        EndSeries();
}

void CTaskListReader::EndSeries() {
    icalcomponent* todo = m_Series->Finish(m_ListId);
    m_Series.reset();
    if (!todo)
        return;
    if (m_SeriesDeleted) {
        m_Tasks.deleted.emplace_back(todo);
        return;
    }
    ++m_Tasks.count;
    // A to-do without a UID is counted but neither kept nor shown.
    const wxString uid = ComponentUid(todo);
    if (uid.empty()) {
        icalcomponent_free(todo);
        return;
    }
    m_Tasks.online.Store(uid, todo);
}

void CTaskListReader::StartCapture(int depth, Target target) {
    m_Capture = Capture::WAITING;
    m_CaptureDepth = depth;
    m_Target = target;
    m_Text.clear();
}

void CTaskListReader::EndCapture(const std::string* content) {
    m_Capture = Capture::NONE;
    if (!content)
        return;
    const wxString text = TextOf(content->data(), content->size());
    switch (m_Target) {
        case Target::TAG:
            m_Series->AddTag(text);
            break;
        case Target::NOTE:
            m_Series->AddNote(m_NoteId, m_NoteTitle, text);
            break;
        case Target::RULE:
            m_Series->AddRule(text);
            break;
    }
}

void CTaskListReader::Text(const char* text, int length) {
    // Consecutive character data is one text node; inside a CDATA section it is that section's.
    if (m_Capture == Capture::WAITING)
        m_Capture = Capture::TEXT;
    if (m_Capture == Capture::TEXT || m_Capture == Capture::CDATA)
        m_Text.append(text, length);
}

void CTaskListReader::CdataStart() {
    if (m_Capture == Capture::WAITING)
        m_Capture = Capture::CDATA;
    else if (m_Capture == Capture::TEXT)
        EndCapture(&m_Text);
}

void CTaskListReader::CdataEnd() {
    if (m_Capture == Capture::CDATA)
        EndCapture(&m_Text);
}

void CTaskListReader::OtherNode(const char* content) {
    if (m_Capture == Capture::WAITING) {
        const std::string text(content ? content : "");
        EndCapture(&text);
    } else if (m_Capture == Capture::TEXT) {
        EndCapture(&m_Text);
    }
}
