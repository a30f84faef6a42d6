#include "host/HostContext.h"

#include "plugin/CalendarHandler.h"
#include "plugin/HostApi.h"

#include <wx/datetime.h>
#include <wx/filename.h>
#include <wx/time.h>
#include <wx/utils.h>

#include <unistd.h>
#include <cstdio>
#include <iostream>
#include <string>

HostContext& HostContext::Get() {
    static HostContext context;
    return context;
}

bool HostContext::Open(const wxString& dataDir, unsigned logLevel, wxString& error) {
    m_DataDir = wxFileName::DirName(dataDir).GetPath();
    m_LogLevel = logLevel;
    if (!wxFileName::DirExists(m_DataDir) && !wxFileName::Mkdir(m_DataDir, 0700, wxPATH_MKDIR_FULL)) {
        error = wxString::Format(wxT("cannot create the data directory \"%s\""), m_DataDir);
        return false;
    }
    const wxString logPath = wxFileName(m_DataDir, wxT("corvane.log")).GetFullPath();
    m_LogFile = std::fopen(logPath.utf8_str(), "a");
    if (!m_LogFile) {
        error = wxString::Format(wxT("cannot open the log file \"%s\""), logPath);
        return false;
    }
    const wxString iniPath = wxFileName(m_DataDir, wxT("corvane.ini")).GetFullPath();
    m_Config = std::make_unique<wxFileConfig>(wxT("Corvane"), wxEmptyString, iniPath, wxEmptyString,
                                              wxCONFIG_USE_LOCAL_FILE);
    m_Config->SetPath(wxT("/"));
    return true;
}

void HostContext::Close() {
    for (auto& zone : m_Zones)
        icaltimezone_free(zone.second, 1);
    m_Zones.clear();
    m_Stores.clear();
    if (m_Config)
        m_Config->Flush();
    m_Config.reset();
    if (m_LogFile)
        std::fclose(m_LogFile);
    m_LogFile = nullptr;
}

void HostContext::WriteLogLine(int level, const wxString& text) {
    const wxString stamp = wxDateTime::Now().Format(wxT("%Y-%m-%d %H:%M:%S"));
    const std::string line = std::string(wxString::Format(wxT("%s [%d] %s"), stamp, level, text).utf8_str());
    if (m_LogFile) {
        std::fprintf(m_LogFile, "%s\n", line.c_str());
        std::fflush(m_LogFile);
    }
    if (level & m_LogLevel)
        std::fprintf(stderr, "%s\n", line.c_str());
}

void HostContext::Log(int level, const wxString& text) {
    // The plug-in doubles every "%" because the text is a format with no arguments.
    wxString printed(text);
    printed.Replace(wxT("%%"), wxT("%"));
    std::lock_guard<std::mutex> lock(m_Mutex);
    WriteLogLine(level, printed);
}

int HostContext::Message(const wxString& text, long style, bool returnAtOnce) {
    const char* kind = (style & 0x100) ? "Error" : "Information";
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        ++m_Messages;
        std::cerr << "\n--- " << kind << " ---\n" << text.utf8_str().data() << "\n---\n";
        WriteLogLine(LOG_INFO, wxT("Message box: ") + text);
    }
    // A box that the caller waits on stays open until the person at the terminal closes it.
    if (!returnAtOnce && isatty(STDIN_FILENO)) {
        std::cerr << "Press Enter to continue." << std::endl;
        std::string line;
        std::getline(std::cin, line);
    }
    return 0;
}

void HostContext::SetTrayStatus(int status, const wxString& calendar) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_TrayStatus[calendar] = status;
    ++m_TrayChanges;
    m_TrayHistory[calendar].emplace_back(m_TrayChanges, status);
    WriteLogLine(LOG_DEBUG, wxString::Format(wxT("Tray status of %s: %d"), calendar, status));
}

void HostContext::EventWritten(bool success, const wxString& calendar) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    ++m_EventsWritten;
    if (!success)
        ++m_FailedWrites;
    WriteLogLine(LOG_DEBUG,
                 wxString::Format(wxT("Write to %s %s"), calendar, success ? "succeeded" : "failed"));
}

void HostContext::AddComponent(icalcomponent* component, CCalendarHandler* handler, unsigned flags) {
    if (!component)
        return;
    const wxString calendar = handler ? handler->GetName() : wxString();
    std::lock_guard<std::mutex> lock(m_Mutex);
    CalendarStore& store = Store(calendar);
    if (flags & ADD_FLAG_REMOVE) {
        const char* uid = icalcomponent_get_uid(component);
        store.Remove(uid ? uid : "");
        icalcomponent_free(component);
    } else {
        auto session = m_SeenInFullRead.find(calendar);
        const char* uid = icalcomponent_get_uid(component);
        if (session != m_SeenInFullRead.end() && uid)
            session->second.insert(uid);
        store.Put(component);
    }
}

void HostContext::ShowComponent(const wxString& calendar, icalcomponent* component) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    // The user's version stays, whatever a full read running meanwhile brings.
    auto session = m_SeenInFullRead.find(calendar);
    const char* uid = component ? icalcomponent_get_uid(component) : nullptr;
    if (session != m_SeenInFullRead.end() && uid)
        session->second.insert(uid);
    Store(calendar).Put(component);
}

icalcomponent* HostContext::TakeComponent(const wxString& calendar, const std::string& uid) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    CalendarStore& store = Store(calendar);
    const icalcomponent* found = store.Find(uid);
    if (!found)
        return nullptr;
    icalcomponent* copy = icalcomponent_new_clone(const_cast<icalcomponent*>(found));
    store.Remove(uid);
    return copy;
}

std::set<std::string> HostContext::TakeStoreChanges(const wxString& calendar) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return Store(calendar).TakeChanges();
}

icalcomponent* HostContext::TimeZoneComponent(const std::string& tzid) {
    icaltimezone* zone = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        auto found = m_Zones.find(tzid);
        if (found != m_Zones.end())
            zone = found->second;
    }
    if (!zone)
        zone = icaltimezone_get_builtin_timezone_from_tzid(tzid.c_str());
    if (!zone)
        zone = icaltimezone_get_builtin_timezone(tzid.c_str());
    icalcomponent* component = zone ? icaltimezone_get_component(zone) : nullptr;
    return component ? icalcomponent_new_clone(component) : nullptr;
}

size_t HostContext::MessageCount() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Messages;
}

void HostContext::BeginFullRead(const wxString& calendar) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_SeenInFullRead[calendar].clear();
}

void HostContext::EndFullRead(const wxString& calendar, bool succeeded) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto session = m_SeenInFullRead.find(calendar);
    if (session == m_SeenInFullRead.end())
        return;
    if (succeeded) {
        CalendarStore& store = Store(calendar);
        for (const icalcomponent* component : store.Components()) {
            const char* uid = icalcomponent_get_uid(const_cast<icalcomponent*>(component));
            const std::string key = uid ? uid : "";
            if (!session->second.count(key))
                store.Remove(key);
        }
    }
    m_SeenInFullRead.erase(session);
}

HostContext::PassWatch HostContext::WatchPasses(unsigned long since) {
    PassWatch watch;
    watch.since = since;
    watch.handedOver = TrayChanges();
    watch.lastChangeAt = wxGetLocalTimeMillis().GetValue();
    return watch;
}

HostContext::PassState HostContext::CheckPasses(const wxString& calendar, PassWatch& watch,
                                                long quietMillis) {
    // Everything was handed over before the watch began: a pass that begins from there on runs the
    // queue until it is empty, so its end is the end of the work. Only a pass already running may
    // have missed work handed over late in it; then the tray must stay quiet long enough for the
    // loop to take that work.
    const long long now = wxGetLocalTimeMillis().GetValue();
    bool passEnded = false;
    bool passBegunSince = false;
    int status = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (const auto& change : m_TrayHistory[calendar]) {
            if (change.first <= watch.since)
                continue;
            if (change.first > watch.lastChange) {
                watch.lastChange = change.first;
                watch.lastChangeAt = now;
            }
            status = change.second;
            passEnded = passEnded || change.second != 2;
            passBegunSince = passBegunSince || (change.second == 2 && change.first > watch.handedOver);
        }
    }
    if (passEnded && status != 2 && (passBegunSince || now - watch.lastChangeAt >= quietMillis))
        return status == 1 ? PassState::Unreachable : PassState::Idle;
    return PassState::Busy;
}

HostContext::WaitResult HostContext::WaitForIdle(const wxString& calendar, unsigned long since,
                                                 long quietMillis, long firstPassMillis, long timeoutMillis) {
    const long long started = wxGetLocalTimeMillis().GetValue();
    PassWatch watch = WatchPasses(since);
    while (true) {
        const PassState state = CheckPasses(calendar, watch, quietMillis);
        if (state != PassState::Busy)
            return state == PassState::Unreachable ? WaitResult::Unreachable : WaitResult::Idle;
        const long long now = wxGetLocalTimeMillis().GetValue();
        if (watch.lastChange == 0 && now - started >= firstPassMillis)
            return WaitResult::NoActivity;
        if (now - started >= timeoutMillis)
            return WaitResult::TimedOut;
        wxMilliSleep(10);
    }
}

CalendarStore& HostContext::Store(const wxString& calendar) {
    auto found = m_Stores.find(calendar);
    if (found != m_Stores.end())
        return *found->second;
    auto store = std::make_unique<CalendarStore>(
        wxFileName(m_DataDir, CalendarStore::FileNameFor(calendar)).GetFullPath());
    wxString error;
    if (!store->Load(error))
        WriteLogLine(LOG_ERROR, wxT("Host store: ") + error);
    CalendarStore& result = *store;
    m_Stores.emplace(calendar, std::move(store));
    return result;
}

bool HostContext::SaveStores(wxString& error) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (auto& entry : m_Stores) {
        if (entry.second->IsModified() && !entry.second->Save(error))
            return false;
    }
    return true;
}

int HostContext::TrayStatus(const wxString& calendar) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto found = m_TrayStatus.find(calendar);
    return found == m_TrayStatus.end() ? 0 : found->second;
}

unsigned long HostContext::TrayChanges() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_TrayChanges;
}

unsigned long HostContext::EventsWrittenCount() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_EventsWritten;
}

unsigned long HostContext::FailedWrites() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_FailedWrites;
}

void HostContext::SetStartupDelay(double seconds) {
    m_StartupDelayEnd = wxGetLocalTimeMillis().GetValue() + static_cast<long long>(seconds * 1000);
}

bool HostContext::HasStartupDelayPassed() {
    return wxGetLocalTimeMillis().GetValue() >= m_StartupDelayEnd;
}

const wchar_t* HostContext::GetPath(int) {
    // Cookies (9) and the offline file (11) both live in the data directory.
    return m_DataDir.wc_str();
}

void HostContext::WriteSetting(const wxString& groupPath, const wxString& key, const wxString& value) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Config)
        return;
    const wxString oldPath = m_Config->GetPath();
    m_Config->SetPath(wxT("/") + groupPath);
    m_Config->Write(key, value);
    m_Config->SetPath(oldPath.empty() ? wxString(wxT("/")) : oldPath);
    m_Config->Flush();
}

void HostContext::AddTimeZone(icalcomponent* timeZone) {
    if (!timeZone)
        return;
    icalproperty* tzid = icalcomponent_get_first_property(timeZone, ICAL_TZID_PROPERTY);
    const std::string id = tzid && icalproperty_get_tzid(tzid) ? icalproperty_get_tzid(tzid) : "";
    icaltimezone* zone = icaltimezone_new();
    if (id.empty() || !icaltimezone_set_component(zone, timeZone)) {
        icaltimezone_free(zone, 1);
        icalcomponent_free(timeZone);
        return;
    }
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto old = m_Zones.find(id);
    if (old != m_Zones.end()) {
        // Components already handed out may point at the old zone: keep the first one.
        icaltimezone_free(zone, 1);
        return;
    }
    m_Zones.emplace(id, zone);
}

icaltimezone* HostContext::CheckForTimeZone(icalcomponent* component) {
    if (!component)
        return nullptr;
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
        icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
        const char* tzid = param ? icalparameter_get_tzid(param) : nullptr;
        if (!tzid)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            auto found = m_Zones.find(tzid);
            if (found != m_Zones.end())
                return found->second;
        }
        if (icaltimezone* builtin = icaltimezone_get_builtin_timezone(tzid))
            return builtin;
    }
    return nullptr;
}
