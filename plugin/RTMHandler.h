// The plug-in's own calendar handler: settings, the settings page and the worker thread.
#pragma once

#include "convert/Logger.h"
#include "plugin/PluginHandler.h"
#include "plugin/Settings.h"
#include "rtm/ServiceContext.h"

class CRTMThread;

// The plug-in's name; also the settings section of every handler.
extern const wchar_t* const RTM_PLUGIN_NAME;

class CRTMHandler : public CPluginHandler {
  public:
    CRTMHandler(wxConfigBase* config, const wxString& name, const wxString& section);
    ~CRTMHandler() override;

    CCalendarHandler* Clone() override;
    void Start(void* argument) override;
    void SetEnabled(bool enable) override;
    SettingsRow** GetSettings(bool argument) override;
    void ApplySettings(void* argument) override;
    void RunAuthorisation(void* argument) override;
    wxString GetSettingsHelp() override;
    wxString GetDisplayName() override;

    // The calendar's log: its name and ": " before the text, every "%" doubled for the host.
    void Log(int level, const wxString& text) const { m_Logger.Log(level, text); }
    template <typename... Args>
    void LogFormat(int level, const wxString& format, Args... args) const {
        m_Logger.Format(level, format, args...);
    }

    RTMSettings& Settings() { return m_Settings; }
    const RTMSettings& Settings() const { return m_Settings; }

    void ReadSettings();
    void WriteSettings();
    // Re-reads the token from the settings section (after an authorisation run).
    void ReadAuthToken();
    // Stops and destroys the worker, if one runs.
    void StopWorker();
    bool HasWorker() const { return m_Thread != nullptr; }
    // Where the service is, the spacing of its calls and the browser; the process's defaults
    // until replaced. Takes effect at the next authorisation and the next worker.
    void SetServiceContext(const ServiceContext& services) { m_Services = services; }
    // The time of the last completed merge, kept for the next worker of this handler and written
    // to the calendar's settings.
    void RecordLastSync(int32_t lastSync) override;

  protected:
    // One authorisation exchange on a connection of its own; false when it failed.
    bool Authorise();

    static const int ROW_COUNT = 4;
    SettingsRow* m_Rows[ROW_COUNT + 1];
    RTMSettings m_Settings;
    ServiceContext m_Services;
    CRTMThread* m_Thread;
};
