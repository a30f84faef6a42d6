// The Corvane_* services the module imports from this executable.
#include "host/HostContext.h"
#include "host/PasswordCodec.h"
#include "plugin/HostApi.h"
#include "plugin/Settings.h"

#include <openssl/evp.h>

extern "C" {

void Corvane_Log(int level, const wchar_t* text) {
    HostContext::Get().Log(level, text ? text : L"");
}

unsigned Corvane_GetLogLevel() {
    return HostContext::Get().LogLevel();
}

int Corvane_Message(const wchar_t* text, long style, bool returnAtOnce) {
    return HostContext::Get().Message(text ? text : L"", style, returnAtOnce);
}

void Corvane_SetTrayStatus(int status, const wchar_t* calendarName) {
    HostContext::Get().SetTrayStatus(status, calendarName ? calendarName : L"");
}

void Corvane_EventWritten(bool success, const wchar_t* calendarName) {
    HostContext::Get().EventWritten(success, calendarName ? calendarName : L"");
}

void Corvane_AddComponent(icalcomponent* component, CCalendarHandler* handler, unsigned flags) {
    HostContext::Get().AddComponent(component, handler, flags);
}

bool Corvane_HasStartupDelayPassed() {
    return HostContext::Get().HasStartupDelayPassed();
}

const wchar_t* Corvane_GetPath(int kind) {
    return HostContext::Get().GetPath(kind);
}

void Corvane_GetNetworkParameters(NetworkParameters* network, bool* concurrentSync) {
    wxFileConfig* config = HostContext::Get().Config();
    if (!config)
        return;
    const wxString oldPath = config->GetPath();
    config->SetPath(wxT("/Network"));
    if (network) {
        network->proxyServer = config->Read(wxT("ProxyServer"), wxString());
        network->proxyUser = config->Read(wxT("ProxyUser"), wxString());
        network->proxyPassword = config->Read(wxT("ProxyPassword"), wxString());
        network->proxyType = static_cast<int32_t>(config->ReadLong(wxT("ProxyType"), 0));
        network->fallBackToDirect = config->ReadBool(wxT("FallBackToDirect"), false);
    }
    if (concurrentSync)
        *concurrentSync = config->ReadBool(wxT("ConcurrentSync"), false);
    config->SetPath(oldPath.empty() ? wxString(wxT("/")) : oldPath);
}

void Corvane_Decode(wxString& text, const wxString& key) {
    wxString decoded;
    if (DecodeSecret(text, key, decoded))
        text = decoded;
}

void Corvane_CalculateMD5(const unsigned char* bytes, size_t length, wxString& digest) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLength = 0;
    digest.clear();
    if (!EVP_Digest(bytes, length, md, &mdLength, EVP_md5(), nullptr))
        return;
    for (unsigned int i = 0; i < mdLength; ++i)
        digest += wxString::Format(wxT("%02x"), md[i]);
}

void Corvane_WriteSetting(const wchar_t* groupPath, const wchar_t* key, const wchar_t* value) {
    HostContext::Get().WriteSetting(groupPath ? groupPath : L"", key ? key : L"", value ? value : L"");
}

void Corvane_AddTimeZone(icalcomponent* timeZone) {
    HostContext::Get().AddTimeZone(timeZone);
}

icaltimezone* Corvane_CheckForTimeZone(icalcomponent* component) {
    return HostContext::Get().CheckForTimeZone(component);
}
}
