// What every command of the headless host shares: the options, the opened data directory and the
// loaded module, and the way handlers are made and destroyed.
#pragma once

#include "host/PluginModule.h"

#include <wx/string.h>

#include <memory>
#include <vector>

class CCalendarHandler;
class wxFileConfig;

struct HostOptions {
    wxString dataDir;     // default: a per-user directory
    wxString modulePath;  // default: the module beside the executable
    wxString serviceUrl;  // sets RTM_SERVICE_URL
    unsigned logLevel = 3;
    double startupDelay = 0;
};

struct HandlerDeleter {
    void operator()(CCalendarHandler* handler) const;
};
using HandlerPtr = std::unique_ptr<CCalendarHandler, HandlerDeleter>;

class HostSession {
  public:
    explicit HostSession(const HostOptions& options) : m_Options(options) {}
    ~HostSession();

    // Opens the data directory and loads the module; false with a one-line reason.
    bool Open(wxString& error);
    PluginModule& Module() { return m_Module; }
    wxFileConfig* Config();
    const HostOptions& Options() const { return m_Options; }

    HandlerPtr CreateHandler(const wxString& calendar);
    // A calendar is known once its settings group exists (created by `settings`).
    bool IsKnownCalendar(const wxString& calendar);
    // Saves the configuration and the calendars' stores.
    bool Flush(wxString& error);

  private:
    HostOptions m_Options;
    PluginModule m_Module;
    bool m_Opened = false;
};

// The per-user data directory used when --data is not given.
wxString DefaultDataDir();
// The module built beside the executable.
wxString DefaultModulePath();
