// The handler's settings record and the proxy record inside it; the worker and its connection
// work on a copy of their own.
#pragma once

#include <wx/filename.h>
#include <wx/string.h>

#include <cstdint>

struct NetworkParameters {
    wxString proxyServer;  // empty means no proxy
    wxString proxyUser;
    wxString proxyPassword;  // encoded as the host delivers it, until the worker decodes its copy
    int32_t proxyType = 0;   // 1 SOCKS4, 2 SOCKS5, anything else HTTP
    bool fallBackToDirect = false;
};

struct RTMSettings {
    wxString list;              // empty means all lists
    int32_t pollFrequency = 0;  // minutes; 0 never polls
    bool suppressErrors = false;
    bool keepOfflineCopy = false;
    bool concurrentSync = false;
    int32_t lastSync = 0;  // seconds since 1970
    NetworkParameters network;
    wxFileName dataDir;
    wxString authToken;

    // A copy that shares no storage with this record (the worker's own).
    RTMSettings DeepCopy() const;
};
