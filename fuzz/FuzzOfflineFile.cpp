// The offline file as read at start, then written back.
#include "fuzz/FuzzSupport.h"
#include "sync/OfflineCalendar.h"

#include <wx/ffile.h>
#include <wx/filename.h>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareFuzzInput();
    static const wxString path =
        wxFileName::GetTempDir() +
        wxString::Format(wxT("/corvane-fuzz-offline-%d.ics"), static_cast<int>(getpid()));
    {
        wxFFile file(path, wxT("wb"));
        file.Write(data, size);
    }
    COfflineCalendar offline{wxFileName(path)};
    // Storing what was read again marks the store changed, so the destructor writes it back.
    std::vector<icalcomponent*> todos;
    for (const ComponentMap::Entry& entry : offline.Components())
        if (entry.component)
            todos.push_back(icalcomponent_new_clone(entry.component));
    for (icalcomponent* todo : todos) {
        offline.StoreComponent(todo);
        icalcomponent_free(todo);
    }
    return 0;
}
