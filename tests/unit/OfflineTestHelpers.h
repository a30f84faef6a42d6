// Small helpers shared by the tests of the offline file and its merge.
#pragma once

#include "sync/ComponentMap.h"
#include "sync/OfflineCalendar.h"

#include <libical/ical.h>
#include <wx/ffile.h>
#include <wx/filename.h>

#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

// Readable wide text in test failures.
inline void PrintTo(const wxString& text, std::ostream* os) {
    *os << '"' << text.ToStdString(wxConvUTF8) << '"';
}

namespace offline_test {

// A VTODO with the UID and the extra content lines (each ending in "\r\n").
inline IcalComponentPtr Todo(const std::string& uid, const std::string& lines = "") {
    const std::string text = "BEGIN:VTODO\r\nUID:" + uid + "\r\n" + lines + "END:VTODO\r\n";
    return IcalComponentPtr(icalcomponent_new_from_string(text.c_str()));
}

// A UTC time as iCalendar text.
inline std::string Stamp(time_t seconds) {
    char buffer[32];
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &parts);
    return buffer;
}

inline std::string Modified(time_t seconds) {
    return "LAST-MODIFIED:" + Stamp(seconds) + "\r\n";
}
inline std::string DtStamp(time_t seconds) {
    return "DTSTAMP:" + Stamp(seconds) + "\r\n";
}

inline std::string Text(const icalcomponent* component) {
    if (!component)
        return std::string();
    char* text = icalcomponent_as_ical_string_r(const_cast<icalcomponent*>(component));
    std::string result(text);
    free(text);
    return result;
}

inline std::string ReadFile(const wxString& path) {
    wxFFile file(path, wxT("rb"));
    std::string text;
    if (!file.IsOpened())
        return text;
    char buffer[4096];
    size_t count;
    while ((count = file.Read(buffer, sizeof buffer)) > 0)
        text.append(buffer, count);
    return text;
}

inline void WriteFile(const wxString& path, const std::string& text) {
    wxFFile file(path, wxT("wb"));
    file.Write(text.data(), text.size());
}

// The UIDs of the entries that hold a component, in store order.
inline std::vector<std::string> Uids(const ComponentMap& map) {
    std::vector<std::string> uids;
    for (const auto& entry : map) {
        if (entry.component)
            uids.push_back(entry.uid.ToStdString(wxConvUTF8));
    }
    return uids;
}

inline size_t Count(const std::string& text, const std::string& fragment) {
    size_t count = 0;
    for (size_t at = text.find(fragment); at != std::string::npos; at = text.find(fragment, at + 1))
        ++count;
    return count;
}

}  // namespace offline_test
