#include "sync/OfflineCalendar.h"

#include "convert/PropertyHelpers.h"
#include "plugin/HostApi.h"

#include <libical/ical.h>
#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <unordered_set>

namespace {

const char* const PRODID_TEXT = "-//Corvane/OfflineFile//EN";
const char* const CALENDAR_END = "END:VCALENDAR";

// True when the file holds anything besides white space.
bool HasContent(const wxString& path) {
    wxLogNull quiet;
    wxFFile file(path, wxT("rb"));
    if (!file.IsOpened())
        return true;  // it exists but cannot be looked into: assume it holds data
    char buffer[4096];
    size_t count = 0;
    while ((count = file.Read(buffer, sizeof buffer)) > 0) {
        for (size_t i = 0; i < count; ++i) {
            const char c = buffer[i];
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                return true;
        }
    }
    return false;
}

// The parser's line source: libical's file set reads its file one byte per read(), a buffered
// stream hands the parser the same lines.
char* ReadLine(char* buffer, size_t size, void* stream) {
    return std::fgets(buffer, static_cast<int>(size), static_cast<FILE*>(stream));
}

// What libical's file set holds for the file: the top-level components under one XROOT.
icalcomponent* ParseFile(FILE* file) {
    std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
    icalparser* parser = icalparser_new();
    icalparser_set_gen_data(parser, file);
    icalcomponent* root = icalparser_parse(parser, ReadLine);
    icalparser_free(parser);
    if (root && icalcomponent_isa(root) == ICAL_XROOT_COMPONENT)
        return root;
    icalcomponent* cluster = icalcomponent_new(ICAL_XROOT_COMPONENT);
    if (root)
        icalcomponent_add_component(cluster, root);
    return cluster;
}

// Appends the component's iCalendar text; the same text libical writes for it inside a calendar.
void AppendComponent(std::string& text, icalcomponent* component) {
    char* ical = icalcomponent_as_ical_string_r(component);
    if (ical) {
        text += ical;
        free(ical);
    }
}

// The calendar's own lines: everything before its sub-components, and its end line.
void CalendarFrame(std::string& head, std::string& tail) {
    icalcomponent* calendar = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(calendar, icalproperty_new_prodid(PRODID_TEXT));
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar, icalproperty_new_method(ICAL_METHOD_PUBLISH));
    std::string whole;
    AppendComponent(whole, calendar);
    icalcomponent_free(calendar);
    const size_t end = whole.rfind(CALENDAR_END);
    head = whole.substr(0, end);
    tail = whole.substr(end);
}

}  // namespace

COfflineCalendar::COfflineCalendar(const wxFileName& fileName) : m_Components(100), m_FileName(fileName) {
    Read();
}

COfflineCalendar::~COfflineCalendar() {
    Save(false);
}

void COfflineCalendar::LogText(int level, const wxString& text) const {
    HostLog(level, m_FileName.GetName() + wxT(": ") + text);
}

void COfflineCalendar::Read() {
    const wxString path = m_FileName.GetFullPath();
    Log(LOG_INFO, wxT("Reading offline file \"%s\""), path);
    if (!m_FileName.FileExists()) {
        Log(LOG_DEBUG, wxT("The offline file doesn't exist."));
        return;
    }

    icalcomponent* cluster = nullptr;
    icalcomponent* top = nullptr;
    if (FILE* file = std::fopen(path.fn_str(), "rb")) {
        cluster = ParseFile(file);
        std::fclose(file);
        top = icalcomponent_get_first_component(cluster, ICAL_ANY_COMPONENT);
    }
    // The parser gives nothing for text that is not iCalendar at all, or for a calendar cut off
    // before its end line; such a file is as unreadable as one that cannot be opened.
    if (!cluster || (!top && HasContent(path))) {
        if (cluster)
            icalcomponent_free(cluster);
        Log(LOG_ERROR, wxT("Unable to open file \"%s\" for reading."), path);
        m_Unreadable = true;
        return;
    }

    if (top) {
        // Taking the sub-components out one by one from the front (rather than copying them)
        // keeps reading linear in the size of the file.
        while (icalcomponent* sub = icalcomponent_get_first_component(top, ICAL_ANY_COMPONENT)) {
            icalcomponent_remove_component(top, sub);
            if (icalcomponent_isa(sub) == ICAL_VTIMEZONE_COMPONENT) {
                Corvane_AddTimeZone(sub);  // the host owns it now
                continue;
            }
            const wxString uid = ComponentUid(sub);
            if (uid.empty()) {
                icalcomponent_free(sub);
                continue;
            }
            m_Components.Store(uid, sub);
        }
    }
    icalcomponent_free(cluster);
}

bool COfflineCalendar::MoveUnreadableAside() {
    const wxString path = m_FileName.GetFullPath();
    if (!m_FileName.FileExists())
        return true;  // gone meanwhile: nothing to keep

    const wxString stamp = wxDateTime::Now().Format(wxT("%Y%m%d-%H%M%S"));
    wxFileName aside(m_FileName);
    wxString candidate;
    for (int attempt = 1;; ++attempt) {
        wxString name = m_FileName.GetName() + wxT(".unreadable-") + stamp;
        if (attempt > 1)
            name += wxString::Format(wxT("-%d"), attempt);
        aside.SetName(name);
        candidate = aside.GetFullPath();
        if (!wxFileExists(candidate) && !wxDirExists(candidate))
            break;
    }
    {
        wxLogNull quiet;
        if (!wxRenameFile(path, candidate, false))
            return false;
    }
    m_SetAsidePath = candidate;
    Log(LOG_WARNING, wxT("The unreadable offline file was kept as \"%s\"."), candidate);
    return true;
}

std::string COfflineCalendar::BuildFileText(bool skipCompleted) {
    std::string head, tail;
    CalendarFrame(head, tail);
    std::string text;
    text.reserve(head.size() + tail.size() + m_Components.Size() * 512);
    text += head;

    std::unordered_set<icaltimezone*> zonesWritten;
    for (const ComponentMap::Entry& entry : m_Components) {
        if (!entry.component)
            continue;
        icaltimezone* zone = Corvane_CheckForTimeZone(entry.component);
        if (zone && zonesWritten.insert(zone).second) {
            if (icalcomponent* zoneComponent = icaltimezone_get_component(zone)) {
                AppendComponent(text, zoneComponent);
            }
        }
        if (skipCompleted && icalcomponent_get_status(entry.component) == ICAL_STATUS_COMPLETED) {
            Log(LOG_INFO, wxT("The task \"%s\" is completed -> ignored"), entry.uid);
            continue;
        }
        AppendComponent(text, entry.component);
    }
    text += tail;
    return text;
}

void COfflineCalendar::ReportWriteFailure(const wxString& text) {
    // The worker saves every second; a lasting failure is reported once at error level and then
    // quietly until a save succeeds again.
    LogText(m_WriteFailing ? LOG_DEBUG : LOG_ERROR, text);
    m_WriteFailing = true;
}

void COfflineCalendar::Save(bool skipCompleted) {
    if (!m_Modified)
        return;
    const wxString path = m_FileName.GetFullPath();
    Log(LOG_INFO, wxT("Writing offline file \"%s\""), path);

    {
        wxLogNull quiet;
        const wxString dir = m_FileName.GetPath();
        if (!dir.empty() && !wxDirExists(dir))
            wxFileName::Mkdir(dir, 0777);
    }
    if (m_Unreadable) {
        if (!MoveUnreadableAside()) {
            ReportWriteFailure(
                wxString::Format(wxT("Unable to move the unreadable offline file \"%s\" aside."), path));
            return;
        }
        m_Unreadable = false;
    }

    if (!WriteFileAtomically(path, BuildFileText(skipCompleted), m_WriteHook)) {
        ReportWriteFailure(wxString::Format(wxT("Unable to open file \"%s\" for writing."), path));
        return;
    }
    m_WriteFailing = false;
    m_Modified = false;
}

void COfflineCalendar::StoreComponent(const icalcomponent* component) {
    const wxString uid = ComponentUid(component);
    if (uid.empty()) {
        Log(LOG_ERROR, wxT("The UID is missing from the component."));
        return;
    }
    m_Components.Store(uid, icalcomponent_new_clone(const_cast<icalcomponent*>(component)));
    m_Modified = true;
}

void COfflineCalendar::RemoveComponent(const icalcomponent* component) {
    const wxString uid = ComponentUid(component);
    if (uid.empty()) {
        Log(LOG_ERROR, wxT("The UID is missing from the component."));
        return;
    }
    RemoveByUid(uid);
}

void COfflineCalendar::RemoveByUid(const wxString& uid) {
    if (!m_Components.Erase(uid))
        Log(LOG_WARNING, wxT("Unable to find component: %s"), uid);
    m_Modified = true;
}
