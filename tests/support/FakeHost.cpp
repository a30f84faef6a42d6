#include "tests/support/FakeHost.h"

#include <openssl/evp.h>
#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <algorithm>
#include <cstdio>

FakeHost& FakeHost::Get() {
    static FakeHost host;
    return host;
}

void FakeHost::FreeZones() {
    for (auto& entry : zones)
        icaltimezone_free(entry.second, 1);
    zones.clear();
}

void FakeHost::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    logLevel = 31;
    dataDir.clear();
    cookieDir.clear();
    network = NetworkParameters();
    startupDelayPassed = true;
    recordComponents = true;
    addedCount = 0;
    logs.clear();
    messages.clear();
    trayStatuses.clear();
    eventsWritten.clear();
    added.clear();
    settingsWritten.clear();
    timeZonesAdded.clear();
    decodeCalls = 0;
    FreeZones();
}

bool FakeHost::HasLog(const wxString& fragment) {
    return CountLogs(fragment) > 0;
}

bool FakeHost::HasLog(int level, const wxString& fragment) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(logs.begin(), logs.end(),
                       [&](const FakeLogLine& l) { return l.level == level && l.text.Contains(fragment); });
}

size_t FakeHost::CountLogs(const wxString& fragment) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::count_if(logs.begin(), logs.end(),
                         [&](const FakeLogLine& l) { return l.text.Contains(fragment); });
}

std::vector<wxString> FakeHost::LogTexts() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<wxString> texts;
    for (const auto& l : logs)
        texts.push_back(l.text);
    return texts;
}

void FakeHostTest::SetUp() {
    FakeHost::Get().Reset();
    char pattern[] = "/tmp/corvane-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    tempDir = wxString::FromUTF8(dir);
    FakeHost::Get().dataDir = tempDir;
    FakeHost::Get().cookieDir = tempDir;
}

void FakeHostTest::TearDown() {
    FakeHost::Get().Reset();
    if (!tempDir.empty())
        wxFileName::Rmdir(tempDir, wxPATH_RMDIR_RECURSIVE);
}

// The host services, as the plug-in imports them.
extern "C" {

void Corvane_Log(int level, const wchar_t* text) {
    FakeHost& host = FakeHost::Get();
    if (!host.recordComponents)
        return;
    wxString raw(text ? text : L"");
    wxString printed(raw);
    printed.Replace(wxT("%%"), wxT("%"));
    std::lock_guard<std::mutex> lock(host.mutex);
    host.logs.push_back({level, printed, raw});
}

unsigned Corvane_GetLogLevel() {
    return FakeHost::Get().logLevel;
}

int Corvane_Message(const wchar_t* text, long style, bool returnAtOnce) {
    FakeHost& host = FakeHost::Get();
    std::lock_guard<std::mutex> lock(host.mutex);
    host.messages.push_back({wxString(text ? text : L""), style, returnAtOnce});
    return 0;
}

void Corvane_SetTrayStatus(int status, const wchar_t* calendarName) {
    FakeHost& host = FakeHost::Get();
    std::lock_guard<std::mutex> lock(host.mutex);
    host.trayStatuses.emplace_back(status, wxString(calendarName ? calendarName : L""));
}

void Corvane_EventWritten(bool success, const wchar_t* calendarName) {
    FakeHost& host = FakeHost::Get();
    std::lock_guard<std::mutex> lock(host.mutex);
    host.eventsWritten.emplace_back(success, wxString(calendarName ? calendarName : L""));
}

void Corvane_AddComponent(icalcomponent* component, CCalendarHandler* handler, unsigned flags) {
    FakeHost& host = FakeHost::Get();
    if (!host.recordComponents) {
        // As a host that only keeps the component: no text made for assertions.
        if (component)
            icalcomponent_free(component);
        std::lock_guard<std::mutex> lock(host.mutex);
        ++host.addedCount;
        return;
    }
    FakeAdded added;
    added.flags = flags;
    added.handler = handler;
    if (component) {
        char* text = icalcomponent_as_ical_string(component);
        added.ical = text ? text : "";
        const char* uid = icalcomponent_get_uid(component);
        added.uid = uid ? uid : "";
        icalcomponent_free(component);
    }
    std::lock_guard<std::mutex> lock(host.mutex);
    host.added.push_back(added);
    ++host.addedCount;
}

bool Corvane_HasStartupDelayPassed() {
    return FakeHost::Get().startupDelayPassed;
}

const wchar_t* Corvane_GetPath(int kind) {
    FakeHost& host = FakeHost::Get();
    return kind == PATH_COOKIES ? host.cookieDir.wc_str() : host.dataDir.wc_str();
}

void Corvane_GetNetworkParameters(NetworkParameters* network, bool* concurrentSync) {
    FakeHost& host = FakeHost::Get();
    if (network)
        *network = host.network;
    if (concurrentSync)
        *concurrentSync = false;
}

void Corvane_Decode(wxString& text, const wxString& /*key*/) {
    FakeHost& host = FakeHost::Get();
    ++host.decodeCalls;
    std::wstring reversed(text.ToStdWstring());
    std::reverse(reversed.begin(), reversed.end());
    text = wxString(reversed);
}

void Corvane_CalculateMD5(const unsigned char* bytes, size_t length, wxString& digest) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLength = 0;
    EVP_Digest(bytes, length, md, &mdLength, EVP_md5(), nullptr);
    digest.clear();
    for (unsigned int i = 0; i < mdLength; ++i)
        digest += wxString::Format(wxT("%02x"), md[i]);
}

void Corvane_WriteSetting(const wchar_t* groupPath, const wchar_t* key, const wchar_t* value) {
    FakeHost& host = FakeHost::Get();
    std::lock_guard<std::mutex> lock(host.mutex);
    host.settingsWritten.push_back({wxString(groupPath), wxString(key), wxString(value)});
}

void Corvane_AddTimeZone(icalcomponent* timeZone) {
    FakeHost& host = FakeHost::Get();
    if (!timeZone)
        return;
    icalproperty* tzid = icalcomponent_get_first_property(timeZone, ICAL_TZID_PROPERTY);
    std::string id = tzid ? icalproperty_get_tzid(tzid) : "";
    std::lock_guard<std::mutex> lock(host.mutex);
    host.timeZonesAdded.push_back(wxString::FromUTF8(id.c_str()));
    icaltimezone* zone = icaltimezone_new();
    if (!icaltimezone_set_component(zone, timeZone)) {
        icaltimezone_free(zone, 1);
        icalcomponent_free(timeZone);
        return;
    }
    auto old = host.zones.find(id);
    if (old != host.zones.end())
        icaltimezone_free(old->second, 1);
    host.zones[id] = zone;  // the zone now owns the component
}

icaltimezone* Corvane_CheckForTimeZone(icalcomponent* component) {
    FakeHost& host = FakeHost::Get();
    if (!component)
        return nullptr;
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
        icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
        if (!param)
            continue;
        const char* tzid = icalparameter_get_tzid(param);
        if (!tzid)
            continue;
        std::lock_guard<std::mutex> lock(host.mutex);
        auto found = host.zones.find(tzid);
        if (found != host.zones.end())
            return found->second;
        icaltimezone* builtin = icaltimezone_get_builtin_timezone(tzid);
        if (builtin)
            return builtin;
    }
    return nullptr;
}
}
