#include "sync/OfflineFileName.h"

#include "convert/PropertyHelpers.h"
#include "convert/TaskUid.h"
#include "plugin/HostApi.h"
#include "sync/OfflineCalendar.h"

#include <cstdint>

namespace {

const wxChar* const UNSAFE = wxT("\\/:*?\"<>|");

wxString Replaced(const wxString& name, const wxString& characters) {
    wxString safe(name);
    for (const wxChar bad : characters)
        safe.Replace(wxString(bad), wxT("_"));
    return safe;
}

// FNV-1a over the UTF-8 bytes: stable across runs, platforms and versions.
wxString Digest(const wxString& name) {
    const wxScopedCharBuffer utf8 = name.utf8_str();
    uint64_t hash = 14695981039346656037ULL;
    for (size_t i = 0; i < utf8.length(); ++i) {
        hash ^= static_cast<unsigned char>(utf8.data()[i]);
        hash *= 1099511628211ULL;
    }
    return wxString::Format(wxT("%08x"), static_cast<unsigned>(hash ^ (hash >> 32)));
}

}  // namespace

wxFileName DescribedOfflineFile(const wxString& directory, const wxString& name) {
    wxFileName file(Replaced(name, UNSAFE));
    file.MakeAbsolute(directory);
    file.SetExt(wxT("ics"));
    return file;
}

wxFileName OfflineFileName(const wxString& directory, const wxString& name) {
    if (Replaced(name, wxString(UNSAFE) + wxT(".")) == name)
        return DescribedOfflineFile(directory, name);
    wxFileName file(directory, wxString());
    file.SetFullName(Replaced(name, wxString(UNSAFE) + wxT(".")) + wxT(".") + Digest(name) + wxT(".ics"));
    return file;
}

int TakeOverEarlierTodos(COfflineCalendar& offline, const wxFileName& earlier, const wxString& listId) {
    if (listId.empty() || !earlier.FileExists() || earlier == offline.FileName())
        return 0;
    const COfflineCalendar old(earlier);  // only read: it saves nothing unless changed
    int taken = 0;
    for (const ComponentMap::Entry& entry : old.Components()) {
        const icalcomponent* todo = entry.component;
        if (!todo || entry.uid.BeforeFirst(wxT(':')) != listId || entry.uid.Find(wxT(':')) == wxNOT_FOUND ||
            GetXProperty(todo, X_TASK_ID).empty() || offline.Components().Find(entry.uid))
            continue;
        offline.StoreComponent(todo);
        ++taken;
    }
    if (taken > 0) {
        offline.Log(LOG_INFO, wxT("Took %i tasks of the list %s over from \"%s\"."), taken, listId,
                    earlier.GetFullPath());
    }
    return taken;
}
