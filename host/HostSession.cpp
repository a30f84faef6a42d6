#include "host/HostSession.h"

#include "host/HostContext.h"
#include "plugin/CalendarHandler.h"
#include "plugin/ConfigGroup.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

void HandlerDeleter::operator()(CCalendarHandler* handler) const {
    delete handler;
}

HostSession::~HostSession() {
    if (m_Opened) {
        wxString ignored;
        Flush(ignored);
        HostContext::Get().Close();
    }
}

wxString DefaultDataDir() {
    wxString base;
    if (!wxGetEnv(wxT("XDG_DATA_HOME"), &base) || base.empty()) {
        base = wxFileName(wxGetHomeDir(), wxEmptyString).GetPath() + wxT("/.local/share");
    }
    return base + wxT("/corvane");
}

wxString DefaultModulePath() {
    wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
    return wxFileName(exe.GetPath(), wxT("rtmplugin.so")).GetFullPath();
}

bool HostSession::Open(wxString& error) {
    if (!m_Options.serviceUrl.empty())
        wxSetEnv(wxT("RTM_SERVICE_URL"), m_Options.serviceUrl);
    const wxString dataDir = m_Options.dataDir.empty() ? DefaultDataDir() : m_Options.dataDir;
    if (!HostContext::Get().Open(dataDir, m_Options.logLevel, error))
        return false;
    m_Opened = true;
    HostContext::Get().SetStartupDelay(m_Options.startupDelay);
    const wxString module = m_Options.modulePath.empty() ? DefaultModulePath() : m_Options.modulePath;
    return m_Module.Load(module, error);
}

wxFileConfig* HostSession::Config() {
    return HostContext::Get().Config();
}

HandlerPtr HostSession::CreateHandler(const wxString& calendar) {
    return HandlerPtr(m_Module.CreateCalendarHandler(Config(), calendar.wc_str()));
}

bool HostSession::IsKnownCalendar(const wxString& calendar) {
    wxFileConfig* config = Config();
    const wxString name = m_Module.GetPluginName ? wxString(m_Module.GetPluginName()) : wxString();
    return config && config->HasGroup(wxT("/") + name + wxT("/") + CalendarGroupKey(calendar));
}

bool HostSession::Flush(wxString& error) {
    if (Config() && !Config()->Flush()) {
        error = wxT("cannot write the configuration file");
        return false;
    }
    return HostContext::Get().SaveStores(error);
}
