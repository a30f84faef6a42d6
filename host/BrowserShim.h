// The authorisation page must reach the person at the terminal even where no desktop browser can
// start. The plug-in opens it with wxLaunchDefaultBrowser, which runs the first `xdg-open` on the
// PATH; while a shim is installed, that is ours: it prints the address on standard error and hands
// it on to the system's own xdg-open only when a desktop session is there.
#pragma once

#include <wx/string.h>

class BrowserShim {
  public:
    BrowserShim() = default;
    ~BrowserShim();
    BrowserShim(const BrowserShim&) = delete;
    BrowserShim& operator=(const BrowserShim&) = delete;

    // Writes the script into a private temporary directory and puts that first on the PATH.
    bool Install(wxString& error);
    // Takes the directory off the PATH again and removes it.
    void Remove();

    // The script for a given real xdg-open (empty when there is none).
    static wxString Script(const wxString& realOpener);

  private:
    wxString m_Dir;
    wxString m_OldPath;
    bool m_HadPath = false;
};

// Keeps GTK's complaints about the missing display (wxLaunchDefaultBrowser asks GTK first) off the
// terminal; GTK is not initialised in this console program, so they say nothing useful.
void QuietenGtkWarnings();
