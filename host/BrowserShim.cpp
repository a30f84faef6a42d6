#include "host/BrowserShim.h"

#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace {
// A text as one shell word in single quotes.
wxString ShellQuote(const wxString& text) {
    wxString quoted(text);
    quoted.Replace(wxT("'"), wxT("'\\''"));
    return wxT("'") + quoted + wxT("'");
}
}  // namespace

BrowserShim::~BrowserShim() {
    Remove();
}

wxString BrowserShim::Script(const wxString& realOpener) {
    wxString script = wxT("#!/bin/sh\n")
        wxT("# Installed by corvane-host for one run: shows the address to open at the terminal.\n")
            wxT("printf '\\nOpen this address in a web browser and allow access:\\n  %s\\n\\n' \"$1\" >&2\n");
    if (!realOpener.empty()) {
        script += wxT("if [ -n \"$DISPLAY$WAYLAND_DISPLAY\" ]; then exec ") + ShellQuote(realOpener) +
                  wxT(" \"$1\" >/dev/null 2>&1; fi\n");
    }
    script += wxT("exit 0\n");
    return script;
}

bool BrowserShim::Install(wxString& error) {
    Remove();
    m_HadPath = wxGetEnv(wxT("PATH"), &m_OldPath);
    wxString realOpener;
    if (m_HadPath)
        wxFindFileInPath(&realOpener, m_OldPath, wxT("xdg-open"));

    wxString pattern = wxFileName(wxFileName::GetTempDir(), wxT("corvane-browser-XXXXXX")).GetFullPath();
    wxCharBuffer buffer = pattern.fn_str();
    if (!mkdtemp(buffer.data())) {
        error = wxT("cannot create a temporary directory for the browser helper");
        return false;
    }
    m_Dir = wxString(buffer.data(), wxConvFile);
    const wxString scriptPath = wxFileName(m_Dir, wxT("xdg-open")).GetFullPath();
    wxFFile file(scriptPath, wxT("w"));
    if (!file.IsOpened() || !file.Write(Script(realOpener)) || !file.Close() ||
        chmod(scriptPath.fn_str(), 0700) != 0) {
        error = wxT("cannot write the browser helper");
        Remove();
        return false;
    }
    wxSetEnv(wxT("PATH"), m_HadPath && !m_OldPath.empty() ? m_Dir + wxT(":") + m_OldPath : m_Dir);
    return true;
}

void BrowserShim::Remove() {
    if (m_Dir.empty())
        return;
    if (m_HadPath) {
        wxSetEnv(wxT("PATH"), m_OldPath);
    } else {
        wxUnsetEnv(wxT("PATH"));
    }
    wxFileName::Rmdir(m_Dir, wxPATH_RMDIR_RECURSIVE);
    m_Dir.clear();
}

void QuietenGtkWarnings() {
    // GLib comes in with the module's GTK port of wxWidgets (loaded privately, hence no
    // RTLD_DEFAULT); its headers are not needed for this one call.
    using LogFunction = void (*)(const char*, int, const char*, void*);
    using SetHandler = unsigned (*)(const char*, int, LogFunction, void*);
    void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!glib)
        return;
    auto setHandler = reinterpret_cast<SetHandler>(dlsym(glib, "g_log_set_handler"));
    dlclose(glib);  // only drops the reference taken above; the library stays loaded
    if (!setHandler)
        return;
    const int criticalAndWarning = (1 << 3) | (1 << 4);  // G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING
    LogFunction ignore = [](const char*, int, const char*, void*) {};
    for (const char* domain : {"Gdk", "Gtk", "GLib-GObject", "GLib-GIO"})
        setHandler(domain, criticalAndWarning, ignore, nullptr);
}
