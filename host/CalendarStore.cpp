#include "host/CalendarStore.h"

#include "plugin/HostApi.h"

#include <wx/filename.h>

#include <vector>

#include <unistd.h>
#include <cstdio>

CalendarStore::CalendarStore(const wxString& path) : m_Path(path) {}

wxString CalendarStore::FileNameFor(const wxString& calendar) {
    wxString safe(calendar);
    for (wxChar bad : wxString(wxT("\\/:*?\"<>|.")))
        safe.Replace(wxString(bad), wxT("_"));
    if (safe == calendar)
        return calendar + wxT(".ics");
    const wxScopedCharBuffer utf8 = calendar.utf8_str();
    wxString digest;
    Corvane_CalculateMD5(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.length(), digest);
    return safe + wxT(".") + digest.Left(8) + wxT(".ics");
}

CalendarStore::~CalendarStore() {
    for (auto& entry : m_Components)
        icalcomponent_free(entry.second);
}

void CalendarStore::Put(icalcomponent* component) {
    if (!component)
        return;
    const char* uid = icalcomponent_get_uid(component);
    std::string key = uid ? uid : "";
    m_Changes.insert(key);
    auto found = m_Components.find(key);
    if (found != m_Components.end()) {
        icalcomponent_free(found->second);
        found->second = component;
    } else {
        m_Components.emplace(key, component);
    }
    m_Modified = true;
}

void CalendarStore::Remove(const std::string& uid) {
    auto found = m_Components.find(uid);
    if (found == m_Components.end())
        return;
    icalcomponent_free(found->second);
    m_Components.erase(found);
    m_Changes.insert(uid);
    m_Modified = true;
}

std::set<std::string> CalendarStore::TakeChanges() {
    std::set<std::string> changes;
    changes.swap(m_Changes);
    return changes;
}

const icalcomponent* CalendarStore::Find(const std::string& uid) const {
    auto found = m_Components.find(uid);
    return found == m_Components.end() ? nullptr : found->second;
}

std::vector<const icalcomponent*> CalendarStore::Components() const {
    std::vector<const icalcomponent*> all;
    all.reserve(m_Components.size());
    for (const auto& entry : m_Components)
        all.push_back(entry.second);
    return all;
}

bool CalendarStore::Load(wxString& error) {
    if (!wxFileName::FileExists(m_Path))
        return true;
    // Read as bytes in large blocks and parsed from memory: one wide copy of the text and
    // per-byte reads cost more than the parse.
    std::string text;
    bool readable = false;
    if (FILE* in = std::fopen(m_Path.fn_str(), "rb")) {
        char block[1 << 16];
        size_t count = 0;
        while ((count = std::fread(block, 1, sizeof block, in)) > 0)
            text.append(block, count);
        readable = !std::ferror(in);
        std::fclose(in);
    }
    if (!readable || wxConvUTF8.ToWChar(nullptr, 0, text.data(), text.size()) == wxCONV_FAILED) {
        error = wxString::Format(wxT("cannot read \"%s\""), m_Path);
        return false;
    }
    icalcomponent* root = icalparser_parse_string(text.c_str());
    if (!root) {
        if (text.find_first_not_of(" \t\r\n\f\v") == std::string::npos)
            return true;
        error = wxString::Format(wxT("\"%s\" is not an iCalendar file"), m_Path);
        return false;
    }
    // The components are taken out of the parsed calendar, not copied: a copy of each costs as
    // much as the parse.
    std::vector<icalcomponent*> taken;
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(c) != ICAL_VTIMEZONE_COMPONENT)
            taken.push_back(c);
    }
    for (icalcomponent* c : taken) {
        icalcomponent_remove_component(root, c);
        Put(c);
    }
    icalcomponent_free(root);
    m_Modified = false;
    m_Changes.clear();
    return true;
}

std::string CalendarStore::AsText() const {
    std::string text = "BEGIN:VCALENDAR\r\nPRODID:-//Corvane/HeadlessHost//EN\r\nVERSION:2.0\r\n";
    for (const auto& entry : m_Components) {
        char* component = icalcomponent_as_ical_string(entry.second);
        if (component)
            text += component;
    }
    text += "END:VCALENDAR\r\n";
    return text;
}

bool CalendarStore::Save(wxString& error) {
    const std::string text = AsText();
    const std::string path(m_Path.utf8_str());
    const std::string temporary = path + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        error = wxString::Format(wxT("cannot write \"%s\""), m_Path);
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = std::fflush(out) == 0 && ok;
    ok = fsync(fileno(out)) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = wxString::Format(wxT("cannot write \"%s\""), m_Path);
        return false;
    }
    m_Modified = false;
    return true;
}
