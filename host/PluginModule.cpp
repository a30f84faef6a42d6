#include "host/PluginModule.h"

#include <dlfcn.h>

namespace {
template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& target, wxString& error) {
    target = reinterpret_cast<Fn>(dlsym(handle, name));
    if (!target)
        error = wxString::Format(wxT("the module does not export %s"), name);
    return target != nullptr;
}
}  // namespace

PluginModule::~PluginModule() {
    if (m_Handle && Uninitialize)
        Uninitialize();
    // The module stays mapped until the process ends: wxWidgets objects it created may outlive us.
}

bool PluginModule::Load(const wxString& path, wxString& error) {
    m_Handle = dlopen(path.utf8_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_Handle) {
        const char* reason = dlerror();
        error = wxString::Format(wxT("cannot load the module \"%s\": %s"), path,
                                 reason ? reason : "unknown error");
        return false;
    }
    bool ok = Resolve(m_Handle, "GetPluginName", GetPluginName, error) &&
              Resolve(m_Handle, "GetPluginVersion", GetPluginVersion, error) &&
              Resolve(m_Handle, "GetPluginAuthor", GetPluginAuthor, error) &&
              Resolve(m_Handle, "GetPluginEventSupportFlags", GetPluginEventSupportFlags, error) &&
              Resolve(m_Handle, "GetPluginTaskSupportFlags", GetPluginTaskSupportFlags, error) &&
              Resolve(m_Handle, "Initialize", Initialize, error) &&
              Resolve(m_Handle, "Uninitialize", Uninitialize, error) &&
              Resolve(m_Handle, "CreateCalendarHandler", CreateCalendarHandler, error);
    if (!ok) {
        Uninitialize = nullptr;
        return false;
    }
    Initialize(0, 0);
    return true;
}
