// The headless host's state behind the Corvane_* services: data directory, log, configuration,
// the calendars' component stores, the time zones and what the plug-in reported.
#pragma once

#include "host/CalendarStore.h"

#include <libical/ical.h>
#include <wx/fileconf.h>
#include <wx/string.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CCalendarHandler;

class HostContext {
  public:
    static HostContext& Get();

    // Opens the data directory (created when missing), the log file and the configuration.
    bool Open(const wxString& dataDir, unsigned logLevel, wxString& error);
    void Close();

    // Services.
    void Log(int level, const wxString& text);
    int Message(const wxString& text, long style, bool returnAtOnce);
    void SetTrayStatus(int status, const wxString& calendar);
    void EventWritten(bool success, const wxString& calendar);
    void AddComponent(icalcomponent* component, CCalendarHandler* handler, unsigned flags);
    bool HasStartupDelayPassed();
    const wchar_t* GetPath(int kind);
    void WriteSetting(const wxString& groupPath, const wxString& key, const wxString& value);
    void AddTimeZone(icalcomponent* timeZone);
    icaltimezone* CheckForTimeZone(icalcomponent* component);
    unsigned LogLevel() const { return m_LogLevel; }

    // For the commands.
    wxFileConfig* Config() { return m_Config.get(); }
    const wxString& DataDir() const { return m_DataDir; }
    CalendarStore& Store(const wxString& calendar);
    bool SaveStores(wxString& error);
    int TrayStatus(const wxString& calendar);
    // Counts of calls the plug-in made, for waiting on the worker.
    unsigned long TrayChanges();
    unsigned long EventsWrittenCount();
    unsigned long FailedWrites();
    void SetStartupDelay(double seconds);

    // What the worker has told through the tray since `since` (a TrayChanges() value).
    enum class WaitResult { Idle, Unreachable, NoActivity, TimedOut };
    // Waits until a pass that began after the call has ended, or else until a pass has ended after
    // `since` and the tray then stayed quiet for `quietMillis`.
    WaitResult WaitForIdle(const wxString& calendar, unsigned long since, long quietMillis,
                           long firstPassMillis, long timeoutMillis);

    // The same question asked without waiting: work handed over after `since` (a TrayChanges()
    // value taken before it) is done once CheckPasses says Idle or Unreachable.
    struct PassWatch {
        unsigned long since = 0;
        unsigned long handedOver = 0;  // TrayChanges() once the work was handed over
        unsigned long lastChange = 0;  // 0 while the worker has shown nothing since
        long long lastChangeAt = 0;
    };
    enum class PassState { Busy, Idle, Unreachable };
    PassWatch WatchPasses(unsigned long since);
    PassState CheckPasses(const wxString& calendar, PassWatch& watch, long quietMillis);

    // The user's own edits, shown at once (takes ownership), and a to-do taken out by the user.
    void ShowComponent(const wxString& calendar, icalcomponent* component);
    icalcomponent* TakeComponent(const wxString& calendar, const std::string& uid);
    // The UIDs of the calendar's to-dos put or removed since the last call.
    std::set<std::string> TakeStoreChanges(const wxString& calendar);
    // A copy of the time zone with this TZID, as the plug-in handed it or built in; null if unknown.
    icalcomponent* TimeZoneComponent(const std::string& tzid);
    size_t MessageCount();

    // A full read's session: components not handed over again by a successful full read are dropped.
    void BeginFullRead(const wxString& calendar);
    void EndFullRead(const wxString& calendar, bool succeeded);
    std::mutex& Mutex() { return m_Mutex; }

  private:
    HostContext() = default;
    void WriteLogLine(int level, const wxString& text);

    std::mutex m_Mutex;
    wxString m_DataDir;
    unsigned m_LogLevel = 3;
    FILE* m_LogFile = nullptr;
    std::unique_ptr<wxFileConfig> m_Config;
    std::map<wxString, std::unique_ptr<CalendarStore>> m_Stores;
    std::map<std::string, icaltimezone*> m_Zones;
    std::map<wxString, int> m_TrayStatus;
    std::map<wxString, std::vector<std::pair<unsigned long, int>>> m_TrayHistory;  // change number, status
    std::map<wxString, std::set<std::string>> m_SeenInFullRead;
    unsigned long m_TrayChanges = 0;
    unsigned long m_EventsWritten = 0;
    unsigned long m_FailedWrites = 0;
    size_t m_Messages = 0;
    long long m_StartupDelayEnd = 0;
};
