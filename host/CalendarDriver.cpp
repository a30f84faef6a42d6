#include "host/CalendarDriver.h"

#include "host/TaskFormat.h"
#include "plugin/CalendarHandler.h"

#include <wx/ffile.h>

#include <algorithm>
#include <cstdio>

namespace {
// How long the tray must stay quiet after a pass that was already running when the wait began
// before the worker counts as idle: the loop takes queued work within a second, so work the pass
// missed shows as a new pass well within this.
const long QUIET_MILLIS = 2500;
const long FIRST_PASS_MILLIS = 20000;
const long TIMEOUT_MILLIS = 15 * 60 * 1000;

// The VTODOs of an iCalendar text (a VCALENDAR, or bare components), as new components.
std::vector<icalcomponent*> ParseTodos(const std::string& text) {
    std::vector<icalcomponent*> todos;
    icalcomponent* root = icalparser_parse_string(text.c_str());
    if (!root)
        return todos;
    if (icalcomponent_isa(root) == ICAL_VTODO_COMPONENT) {
        todos.push_back(root);
        return todos;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VTODO_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VTODO_COMPONENT)) {
        todos.push_back(icalcomponent_new_clone(c));
    }
    icalcomponent_free(root);
    return todos;
}
}  // namespace

const char* WaitResultText(HostContext::WaitResult result) {
    switch (result) {
        case HostContext::WaitResult::Idle:
            return "idle";
        case HostContext::WaitResult::Unreachable:
            return "idle, the service was unreachable";
        case HostContext::WaitResult::NoActivity:
            return "no synchronisation started (is the calendar authorised and enabled?)";
        case HostContext::WaitResult::TimedOut:
            return "timed out waiting for the worker";
    }
    return "";
}

CalendarDriver::CalendarDriver(HostSession& session, const wxString& calendar)
    : m_Session(session), m_Calendar(calendar) {}

CalendarDriver::~CalendarDriver() {
    Destroy();
}

bool CalendarDriver::Create(wxString& error) {
    if (!m_Browser.Install(error))
        return false;
    QuietenGtkWarnings();
    m_Handler = m_Session.CreateHandler(m_Calendar);
    if (!m_Handler)
        error = wxT("the module did not create a handler");
    m_MessagesAtStart = HostContext::Get().MessageCount();
    m_Mark = HostContext::Get().TrayChanges();
    return m_Handler != nullptr;
}

void CalendarDriver::Start() {
    if (!m_Handler)
        return;
    m_Handler->SetEnabled(true);
    m_Handler->Start(nullptr);
}

void CalendarDriver::Refresh() {
    if (m_Handler)
        m_Handler->Refresh();
}

bool CalendarDriver::Write(const wxString& file, wxString& error) {
    wxFFile in(file, wxT("rb"));
    wxString text;
    if (!in.IsOpened() || !in.ReadAll(&text, wxConvUTF8)) {
        error = wxString::Format(wxT("cannot read \"%s\""), file);
        return false;
    }
    std::vector<icalcomponent*> todos = ParseTodos(std::string(text.utf8_str()));
    if (todos.empty()) {
        error = wxString::Format(wxT("\"%s\" holds no VTODO"), file);
        return false;
    }
    ComponentArray array;
    for (icalcomponent* todo : todos) {
        // The host shows the edited to-do at once; the plug-in gets its own copies.
        HostContext::Get().ShowComponent(m_Calendar, icalcomponent_new_clone(todo));
        array.Add(todo);
    }
    const bool queued = m_Handler && m_Handler->WriteComponents(array);
    for (icalcomponent* todo : todos)
        icalcomponent_free(todo);
    if (!queued)
        error = wxT("the handler did not take the to-dos");
    return queued;
}

bool CalendarDriver::Delete(const wxString& uid, wxString& error) {
    if (!m_Handler) {
        error = wxT("the handler did not take the deletion");
        return false;
    }
    if (!DeleteTodo(std::string(uid.utf8_str()))) {
        error = wxString::Format(wxT("calendar \"%s\" has no to-do with UID \"%s\""), m_Calendar, uid);
        return false;
    }
    return true;
}

bool CalendarDriver::WriteTodo(const icalcomponent* todo) {
    icalcomponent* copy = icalcomponent_new_clone(const_cast<icalcomponent*>(todo));
    HostContext::Get().ShowComponent(m_Calendar, icalcomponent_new_clone(copy));
    ComponentArray array;
    array.Add(copy);
    const bool queued = m_Handler && m_Handler->WriteComponents(array);
    icalcomponent_free(copy);
    return queued;
}

bool CalendarDriver::DeleteTodo(const std::string& uid) {
    if (!m_Handler)
        return false;
    icalcomponent* todo = HostContext::Get().TakeComponent(m_Calendar, uid);
    if (!todo)
        return false;
    ComponentArray array;
    array.Add(todo);
    const bool queued = m_Handler && m_Handler->DeleteComponents(array);
    icalcomponent_free(todo);
    return queued;
}

HostContext::WaitResult CalendarDriver::Wait(long firstPassMillis) {
    const long firstPass = firstPassMillis > 0 ? firstPassMillis : FIRST_PASS_MILLIS;
    const HostContext::WaitResult result = HostContext::Get().WaitForIdle(
        m_Calendar, m_Mark, QUIET_MILLIS, firstPass, std::max(firstPass, TIMEOUT_MILLIS));
    m_Mark = HostContext::Get().TrayChanges();
    return result;
}

void CalendarDriver::Disable() {
    if (m_Handler)
        m_Handler->SetEnabled(false);
}

void CalendarDriver::Destroy() {
    if (!m_Handler)
        return;
    m_Handler->SetEnabled(false);
    m_Handler.reset();
}

void CalendarDriver::PrintTasks() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
        lines = FormatTasks(HostContext::Get().Store(m_Calendar).Components());
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    std::printf("%zu task%s in %s\n", lines.size(), lines.size() == 1 ? "" : "s",
                static_cast<const char*>(m_Calendar.utf8_str()));
    std::fflush(stdout);
}

bool CalendarDriver::Export(const wxString& file, wxString& error) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(HostContext::Get().Mutex());
        text = HostContext::Get().Store(m_Calendar).AsText();
    }
    wxFFile out(file, wxT("wb"));
    if (!out.IsOpened() || !out.Write(text.data(), text.size()) || !out.Close()) {
        error = wxString::Format(wxT("cannot write \"%s\""), file);
        return false;
    }
    return true;
}

size_t CalendarDriver::MessagesShown() const {
    return HostContext::Get().MessageCount() - m_MessagesAtStart;
}
